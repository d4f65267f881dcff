#include "windows/frmAbout.h"

#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QPointer>
#include <QPushButton>

#include "windows/modWindowHelpers.h"

using namespace litvorot::windows;

namespace {

QPointer<frmAbout> g_instance;

constexpr int kClientWidth = 272;
constexpr int kClientHeight = 126;

}  // namespace

frmAbout* frmAbout::Open() {
    if (!g_instance) g_instance = new frmAbout();
    g_instance->show();
    g_instance->raise();
    g_instance->activateWindow();
    return g_instance;
}

frmAbout* frmAbout::Instance() { return g_instance; }

frmAbout::frmAbout() : QDialog(nullptr, FixedDialogFlags()) {
    setObjectName(QStringLiteral("frmAbout"));
    MarkFixedDialog(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("About ") + QString::fromLatin1(kProductName));
    setWindowIcon(ProgramIcon());
    setFixedSize(kClientWidth, kClientHeight);

    // Created in tab order: the button first.
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(180, 96, 84, 23);
    // The default button (Enter); QDialog sends Escape to reject(), which closes the box as well.
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(this, &QDialog::rejected, this, &frmAbout::cmdOK_Click);

    lblTitle = AddLabel(this, "lblTitle", QStringLiteral("Litvorot Transliteration Software"),
                        QRect(8, 8, 259, 15));
    QPalette black = lblTitle->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    lblTitle->setPalette(black);
    lblVersion = AddLabel(this, "lblVersion", QStringLiteral("Version 1.5"), QRect(8, 68, 53, 13));
    Line1 = AddLine(this, "Line1", 8, 264, 88, QColor(128, 128, 128));

    cmdOK->setFocus();
}

frmAbout::~frmAbout() = default;

void frmAbout::cmdOK_Click() { close(); }

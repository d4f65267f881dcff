#include "windows/dlgStatus.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPointer>
#include <QPushButton>
#include <algorithm>

#include "windows/modWindowHelpers.h"

using namespace litvorot::windows;

namespace {

QPointer<dlgStatus> g_instance;

constexpr int kClientWidth = 164;
constexpr int kClientHeight = 109;
// Room kept to the right of the widest label: 164 - (4 + 153).
constexpr int kRightMargin = 7;

}  // namespace

dlgStatus* dlgStatus::Open(litvorot::TextFormat source, litvorot::TextFormat dest,
                           const QString& reading) {
    if (!g_instance) g_instance = new dlgStatus(source, dest, reading);
    g_instance->show();
    g_instance->raise();
    g_instance->activateWindow();
    return g_instance;
}

dlgStatus* dlgStatus::Instance() { return g_instance; }

QString dlgStatus::FormatName(litvorot::TextFormat format) {
    switch (format) {
        case litvorot::kKoi8:
            return QStringLiteral("KOI8");
        case litvorot::kCp1251:
            return QStringLiteral("CP 1251");
        case litvorot::kTranslit:
            return QStringLiteral("Transliteration");
        case litvorot::kUnicode:
            return QStringLiteral("Unicode");
        default:
            return {};
    }
}

dlgStatus::dlgStatus(litvorot::TextFormat source, litvorot::TextFormat dest, const QString& reading)
    : QDialog(nullptr, FixedDialogFlags()) {
    setObjectName(QStringLiteral("dlgStatus"));
    MarkFixedDialog(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromLatin1(kProductName));
    setWindowIcon(ProgramIcon());

    labStatus =
        AddLabel(this, "labStatus", QStringLiteral("Conversion complete:"), QRect(4, 12, 149, 13));
    Line1 = AddLine(this, "Line1", 4, 156, 32, palette().color(QPalette::WindowText));
    labSource =
        AddLabel(this, "labSource", QStringLiteral("Source format:"), QRect(4, 44, 153, 13));
    labDest =
        AddLabel(this, "labDest", QStringLiteral("Destination format:"), QRect(4, 60, 153, 13));
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    // Neither default nor cancel button: Enter presses it only while it has the focus, and
    // Escape does nothing.
    cmdClose->setAutoDefault(false);
    cmdClose->setDefault(false);
    connect(cmdClose, &QPushButton::clicked, this, &dlgStatus::cmdClose_Click);

    cmdClose->setGeometry(12, 80, 137, 21);

    Form_Load(source, dest, reading);
    FitToFont();
}

dlgStatus::~dlgStatus() = default;

void dlgStatus::Form_Load(litvorot::TextFormat source, litvorot::TextFormat dest,
                          const QString& reading) {
    // A code outside 1..4 leaves the label at its design text.
    if (const QString name = FormatName(source); !name.isEmpty())
        labSource->setText(QStringLiteral("Source format: ") + name);
    else if (source == litvorot::kAuto && !reading.isEmpty())
        labSource->setText(QStringLiteral("Source format: Auto (") + reading + u')');
    if (const QString name = FormatName(dest); !name.isEmpty())
        labDest->setText(QStringLiteral("Destination format: ") + name);
}

void dlgStatus::FitToFont() {
    // The design width suits a small dialog font; with a wider one the window grows so that the
    // longest text, "Destination format: Transliteration", stays on one line.
    const QString shown = labDest->text();
    labDest->setText(QStringLiteral("Destination format: ") + FormatName(litvorot::kTranslit));
    // A reading of the automatic source may be longer still.
    const int textWidth = std::max(labDest->sizeHint().width(), labSource->sizeHint().width());
    labDest->setText(shown);
    const int width = std::max(kClientWidth, 4 + std::max(153, textWidth) + kRightMargin);
    for (QLabel* label : {labStatus, labSource, labDest}) FitLabel(label);
    labSource->resize(width - 4 - kRightMargin, labSource->height());
    labDest->resize(width - 4 - kRightMargin, labDest->height());
    // At the design width the line runs from x = 4 to 156 and the button from x = 12 to 148.
    Line1->resize(width - 8 - 4 + 1, 1);
    cmdClose->resize(width - 12 - 15, cmdClose->height());
    cmdClose->setFocus();
    setFixedSize(width, kClientHeight);
}

void dlgStatus::cmdClose_Click() { close(); }

void dlgStatus::keyPressEvent(QKeyEvent* event) {
    // QDialog closes on Escape; this dialog closes only through its button or the title bar.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

#include "windows/dlgTable.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QWindow>

#include "windows/modWindowHelpers.h"

using namespace litvorot::windows;

namespace {

QPointer<dlgTable> g_instance;

constexpr int kClientWidth = 188;
constexpr int kClientHeight = 263;
constexpr int kPictureWidth = 187;
constexpr int kPictureHeight = 263;

}  // namespace

dlgTable* dlgTable::Open() {
    if (!g_instance) g_instance = new dlgTable();
    g_instance->show();
    g_instance->raise();
    g_instance->activateWindow();
    return g_instance;
}

dlgTable* dlgTable::Instance() { return g_instance; }

dlgTable::dlgTable() : QDialog(nullptr, FixedDialogFlags()) {
    setObjectName(QStringLiteral("dlgTable"));
    MarkFixedDialog(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Transliteration Table"));
    setWindowIcon(ProgramIcon());
    setFixedSize(kClientWidth, kClientHeight);

    imgTable = new QLabel(this);
    imgTable->setObjectName(QStringLiteral("imgTable"));
    imgTable->setFrameShape(QFrame::NoFrame);
    imgTable->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    imgTable->setPixmap(QPixmap(QStringLiteral(":/litvorot/table.png")));
    imgTable->setGeometry(0, 0, kPictureWidth, kPictureHeight);

    Form_Load();
}

dlgTable::~dlgTable() = default;

void dlgTable::Form_Load() { StayOnTop(true); }

void dlgTable::keyPressEvent(QKeyEvent* event) {
    // QDialog closes on Escape, which would take the card away from under the user's fingers.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void dlgTable::StayOnTop(bool topMost) {
    const Qt::WindowFlags flags = windowFlags().setFlag(Qt::WindowStaysOnTopHint, topMost);
    if (QWindow* window = windowHandle(); window != nullptr && isVisible()) {
        // setWindowFlags would hide a visible window and build it anew; the native window can
        // change its stacking band in place.
        overrideWindowFlags(flags);
        window->setFlags(flags);
    } else {
        setWindowFlags(flags);
    }
    // Show, but leave the keyboard where it is: only Open() activates the window.
    setAttribute(Qt::WA_ShowWithoutActivating, true);
    show();
    setAttribute(Qt::WA_ShowWithoutActivating, false);
}

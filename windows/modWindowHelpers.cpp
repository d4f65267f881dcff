#include "windows/modWindowHelpers.h"

#include <QCursor>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace litvorot::windows {

Qt::WindowFlags FixedDialogFlags() {
    return Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
           Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
}

void MarkFixedDialog(QWidget* window) {
    // Qt's X11 platform reads this property of the native window whenever it sets the window's
    // type: a mask of extra types that come before the one the window flags give (0x8 is
    // _NET_WM_WINDOW_TYPE_TOOLBAR). Other platforms ignore it. The type is written again on the
    // next change of the flags, so one flag that only widgets use is switched there and back.
    constexpr int kToolbarWindowType = 0x8;
    window->winId();
    QWindow* handle = window->windowHandle();
    if (handle == nullptr) return;
    handle->setProperty("_q_xcb_wm_window_type", kToolbarWindowType);
    const Qt::WindowFlags flags = handle->flags();
    handle->setFlags(flags ^ Qt::BypassGraphicsProxyWidget);
    handle->setFlags(flags);
}

QIcon ProgramIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/litvorot/icon-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/litvorot/icon-32.png"), QSize(32, 32));
    return icon;
}

QLabel* AddLabel(QWidget* parent, const char* name, const QString& text, QRect place) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(false);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(place);
    FitLabel(label);
    return label;
}

void FitLabel(QLabel* label) {
    const QSize needed = label->sizeHint();
    const QRect place = label->geometry();
    label->resize(std::max(place.width(), needed.width()),
                  std::max(place.height(), needed.height()));
}

QFrame* AddLine(QWidget* parent, const char* name, int x1, int x2, int y, const QColor& color) {
    auto* line = new QFrame(parent);
    line->setObjectName(QString::fromLatin1(name));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setLineWidth(1);
    line->setMidLineWidth(0);
    QPalette palette = line->palette();
    palette.setColor(QPalette::WindowText, color);
    line->setPalette(palette);
    line->setGeometry(x1, y, x2 - x1 + 1, 1);
    return line;
}

void ShowMessageBox(std::string_view text) {
    // Left without a title, the box would show the application name, "litvorot".
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kProductName),
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                    QMessageBox::Ok);
    box.exec();
}

void CentreOnScreen(QWidget* window) {
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    window->move(area.center() - window->rect().center());
}

}  // namespace litvorot::windows

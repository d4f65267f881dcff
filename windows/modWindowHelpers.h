// Small pieces shared by the secondary windows: frame styles, the program icon, labels and lines
// placed at their design positions, and centring on the screen.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPoint>
#include <QRect>
#include <QString>
#include <Qt>
#include <string_view>

class QFrame;
class QLabel;
class QWidget;

namespace litvorot::windows {

// The product name, as the windows' captions show it.
inline constexpr char kProductName[] = "Litvorot";

// A fixed dialog frame: title bar with the close button only, no minimise or maximise button.
// Dialog windows without an owner are marked transient for the program, which keeps them out of
// the taskbar.
Qt::WindowFlags FixedDialogFlags();

// Gives `window` (one with FixedDialogFlags, not yet shown) a fixed dialog frame as well where the
// X11 window manager does not heed the frame hints: openbox, for one, offers minimising (and full
// screen) to every dialog. It is announced as a toolbar first and a dialog after that: window
// managers give a toolbar its title bar and close button but no minimise or maximise button.
void MarkFixedDialog(QWidget* window);

// The program icon, 16 x 16 and 32 x 32.
QIcon ProgramIcon();

// A one-line, left-aligned label at its design place. The design sizes suit a small dialog font;
// where the font needs more room the label grows to the right and down, never to the left or up.
QLabel* AddLabel(QWidget* parent, const char* name, const QString& text, QRect place);

// Grows `label` (right and down only) until its text fits on one line.
void FitLabel(QLabel* label);

// A horizontal line one pixel high from (x1, y) to (x2, y), both ends included.
QFrame* AddLine(QWidget* parent, const char* name, int x1, int x2, int y, const QColor& color);

// The program's modal message: `text` (UTF-8) with an OK button, titled with the product name.
void ShowMessageBox(std::string_view text);

// Moves a top-level window that has not been shown yet to the centre of the screen it will open
// on (the one under the mouse pointer).
void CentreOnScreen(QWidget* window);

}  // namespace litvorot::windows

#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// The About box: product name and version. At most one exists; it is built on first use,
// destroyed when closed, and does not depend on the tray program's main window.
class frmAbout : public QDialog {
    Q_OBJECT
  public:
    // Creates the box on first use, then shows it.
    static frmAbout* Open();
    // The open box, or nullptr.
    static frmAbout* Instance();
    ~frmAbout() override;

    // OK, Enter and Escape all come here.
    void cmdOK_Click();

  private:
    frmAbout();

    QPushButton* cmdOK = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QFrame* Line1 = nullptr;
};

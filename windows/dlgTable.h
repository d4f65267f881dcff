#pragma once

#include <QDialog>

class QKeyEvent;
class QLabel;

// The transliteration reference card; stays above ordinary windows. At most one exists; it is
// built on first use, destroyed when closed, and does not depend on the tray program's main window.
class dlgTable : public QDialog {
    Q_OBJECT
  public:
    // Creates the window on first use (its load step makes it topmost and shows it without
    // activating it), then shows and activates it.
    static dlgTable* Open();
    // The open window, or nullptr.
    static dlgTable* Instance();
    ~dlgTable() override;

    // Puts the window into the always-on-top band (or takes it out), keeping its position and
    // size, and shows it without activating it.
    void StayOnTop(bool topMost);

  protected:
    // Escape does not close the card: only its title bar's close button does.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    dlgTable();
    void Form_Load();

    QLabel* imgTable = nullptr;
};

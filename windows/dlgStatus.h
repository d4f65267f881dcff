#pragma once

#include <QDialog>

#include "tables/modTables.h"

class QFrame;
class QLabel;
class QPushButton;

// Announces a finished conversion with the two formats it used. At most one exists; it is built
// on first use, destroyed when closed, and does not depend on the tray program's main window.
class dlgStatus : public QDialog {
    Q_OBJECT
  public:
    // Creates the dialog on first use (its load step names the formats), then shows it. A dialog
    // that is already open keeps the formats it was opened with. `reading` names the reading the
    // automatic source (5) used: "Source format: Auto (UTF-8 read as CP 1251)"; without it a 5
    // is a code like any other outside 1..4.
    static dlgStatus* Open(litvorot::TextFormat source, litvorot::TextFormat dest,
                           const QString& reading = {});
    // The open dialog, or nullptr.
    static dlgStatus* Instance();
    ~dlgStatus() override;

    // The name the dialog gives a format ("KOI8", "CP 1251", "Transliteration", "Unicode"), or
    // an empty text for a code outside 1..4.
    static QString FormatName(litvorot::TextFormat format);

    void cmdClose_Click();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    dlgStatus(litvorot::TextFormat source, litvorot::TextFormat dest, const QString& reading);
    void Form_Load(litvorot::TextFormat source, litvorot::TextFormat dest, const QString& reading);
    void FitToFont();

    QLabel* labStatus = nullptr;
    QFrame* Line1 = nullptr;
    QLabel* labSource = nullptr;
    QLabel* labDest = nullptr;
    QPushButton* cmdClose = nullptr;
};

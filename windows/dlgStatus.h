#pragma once

#include <QDialog>

#include "tables/modTables.h"

// Announces a finished conversion with the two formats it used. At most one exists.
class dlgStatus : public QDialog {
    Q_OBJECT
public:
    // Creates the dialog on first use (its load step names the formats), then shows it.
    static dlgStatus* Open(litvorot::TextFormat source, litvorot::TextFormat dest);
    // The open dialog, or nullptr.
    static dlgStatus* Instance();
    ~dlgStatus() override;

private:
    dlgStatus(litvorot::TextFormat source, litvorot::TextFormat dest);
};

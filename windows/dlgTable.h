#pragma once

#include <QDialog>

// The transliteration reference card; stays above ordinary windows. At most one exists.
class dlgTable : public QDialog {
    Q_OBJECT
public:
    static dlgTable* Open();
    static dlgTable* Instance();
    ~dlgTable() override;

private:
    dlgTable();
};

#pragma once

#include <QDialog>

// The About box. At most one exists.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    static frmAbout* Open();
    static frmAbout* Instance();
    ~frmAbout() override;

private:
    frmAbout();
};

#pragma once

#include <QWidget>

// Shows help.html in a browser that fills the window. At most one exists.
class frmHelp : public QWidget {
    Q_OBJECT
public:
    static frmHelp* Open();
    static frmHelp* Instance();
    ~frmHelp() override;

private:
    frmHelp();
};

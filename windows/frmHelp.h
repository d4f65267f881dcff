#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class QTextBrowser;

// Shows help.html (beside the executable, or installed) in a browser that fills the window. At most
// one exists; it is built on first use, destroyed when closed, and does not depend on the tray
// program's main window.
class frmHelp : public QWidget {
    Q_OBJECT
  public:
    // Creates the window on first use (its load step opens the page), then shows it. A window that
    // is already open keeps whatever page the user has browsed to.
    static frmHelp* Open();
    // The open window, or nullptr.
    static frmHelp* Instance();
    ~frmHelp() override;

    // Where help.html is looked for, in this order: the directory of the running executable (a
    // portable copy), then the installed data directory.
    static QStringList HelpPageCandidates();
    // The first of those that is a file, or the one beside the executable when none is.
    static QString HelpPagePath();

    // Stretches the browser over the whole client area.
    void Form_Resize();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    frmHelp();
    void Form_Load();
    void Navigate(const QString& path);

    QTextBrowser* WebBrowser1 = nullptr;
};

#include "windows/frmHelp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

#include "windows/modWindowHelpers.h"

using namespace litvorot::windows;

namespace {

QPointer<frmHelp> g_instance;

constexpr int kClientWidth = 538;
constexpr int kClientHeight = 441;

QString Places() {
    QString items;
    for (const QString& place : frmHelp::HelpPageCandidates()) {
        items += QStringLiteral("<li>") + QDir::toNativeSeparators(place).toHtmlEscaped() +
                 QStringLiteral("</li>");
    }
    return items;
}

// What the browser shows when the page cannot be read.
QString MissingPageNotice(const QString& path) {
    return QStringLiteral(
               "<h2>The help page could not be opened</h2>"
               "<p>The file <b>%1</b> is missing or cannot be read.</p>"
               "<p>Litvorot looks for it in these places, in this order:</p><ul>%2</ul>"
               "<p>Reinstalling Litvorot puts it back.</p>")
        .arg(QDir::toNativeSeparators(path).toHtmlEscaped(), Places());
}

}  // namespace

frmHelp* frmHelp::Open() {
    if (!g_instance) {
        g_instance = new frmHelp();
        CentreOnScreen(g_instance);
    }
    g_instance->show();
    if (g_instance->isMinimized()) g_instance->showNormal();
    g_instance->raise();
    g_instance->activateWindow();
    return g_instance;
}

frmHelp* frmHelp::Instance() { return g_instance; }

QStringList frmHelp::HelpPageCandidates() {
    const QString exeDir = QCoreApplication::applicationDirPath();
    QStringList paths{exeDir + QStringLiteral("/help.html")};
#if defined(LITVOROT_HELP_RELATIVE_DIR) && defined(LITVOROT_HELP_INSTALLED_DIR)
    // An installed copy: the data directory seen from the executable's directory (so that the
    // installed tree can be moved as a whole), then where it was installed to.
    paths << QDir::cleanPath(exeDir + QStringLiteral("/" LITVOROT_HELP_RELATIVE_DIR "/help.html"))
          << QStringLiteral(LITVOROT_HELP_INSTALLED_DIR "/help.html");
    paths.removeDuplicates();
#endif
    return paths;
}

QString frmHelp::HelpPagePath() {
    const QStringList paths = HelpPageCandidates();
    for (const QString& path : paths) {
        if (QFileInfo(path).isFile()) return path;
    }
    return paths.front();  // nowhere: the notice names the place beside the executable
}

frmHelp::frmHelp() : QWidget(nullptr, Qt::Window) {
    setObjectName(QStringLiteral("frmHelp"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(ProgramIcon());
    resize(kClientWidth, kClientHeight);

    WebBrowser1 = new QTextBrowser(this);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1->setGeometry(0, 0, 537, 441);
    // Links to the web open in the user's browser; links within the page stay here.
    WebBrowser1->setOpenExternalLinks(true);

    Form_Load();
}

frmHelp::~frmHelp() = default;

void frmHelp::Form_Load() {
    setWindowTitle(QStringLiteral("Help on ") + QString::fromLatin1(kProductName));
    Navigate(HelpPagePath());
}

void frmHelp::Navigate(const QString& path) {
    // QTextBrowser shows an empty page for a file it cannot read; say what went wrong instead.
    QFile page(path);
    if (!QFileInfo(path).isFile() || !page.open(QIODevice::ReadOnly)) {
        WebBrowser1->setHtml(MissingPageNotice(path));
        return;
    }
    page.close();
    WebBrowser1->setSource(QUrl::fromLocalFile(path), QTextDocument::HtmlResource);
}

void frmHelp::Form_Resize() { WebBrowser1->setGeometry(0, 0, width(), height()); }

void frmHelp::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

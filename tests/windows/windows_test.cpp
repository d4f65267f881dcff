// Widget tests of the secondary windows on the offscreen platform: texts, geometry, frames,
// keyboard, and the open-once / destroy-on-close lifecycle.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include "windows/dlgStatus.h"
#include "windows/dlgTable.h"
#include "windows/frmAbout.h"
#include "windows/frmHelp.h"
#include "windows/modWindowHelpers.h"

namespace {

template <typename T>
T* Child(QWidget* window, const char* name) {
    T* child = window->findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) qFatal("no control %s", name);
    return child;
}

QString LabelText(QWidget* window, const char* name) { return Child<QLabel>(window, name)->text(); }

// Closes `window` as its title-bar button does and waits until it is destroyed.
template <typename W>
bool CloseAndWait(W* window) {
    QPointer<W> guard(window);
    window->close();
    return QTest::qWaitFor([&] { return guard.isNull(); });
}

// A fixed dialog frame: dialog type, fixed size, close button, no minimise or maximise button.
void VerifyFixedDialogFrame(QWidget* window) {
    const Qt::WindowFlags flags = window->windowFlags();
    QCOMPARE(window->windowType(), Qt::Dialog);
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    QVERIFY(window->parentWidget() == nullptr);
    QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
    const QIcon icon = window->windowIcon();
    QVERIFY(!icon.pixmap(16, 16).isNull());
    QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
}

bool LabelFits(QLabel* label) {
    return label->sizeHint().width() <= label->width() &&
           label->sizeHint().height() <= label->height();
}

}  // namespace

class WindowsTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup();

    void statusLabelsNameTheFormats_data();
    void statusLabelsNameTheFormats();
    void statusLayoutAndFrame();
    void statusKeepsDesignSizeWithSmallFont();
    void statusIgnoresEscapeAndClosesWithItsButton();
    void statusOpensOnceAndKeepsItsFormats();

    void tableWindowShowsTheCardOnTop();
    void tablePictureFollowsTheLayout();
    void tableStayOnTopCanBeSwitched();
    void tableOpensOnceAndIsRebuiltOnTop();
    void tableIgnoresEscape();

    void helpShowsThePageBesideTheExecutable();
    void helpWithoutPageShowsNotice();
    void helpFindsTheInstalledPage();
    void helpBrowserFollowsResizing();
    void helpSecondOpenDoesNotReload();

    void aboutTextsAndLayout();
    void aboutClosesWithOkEnterEscape_data();
    void aboutClosesWithOkEnterEscape();
    void aboutOpensOnce();

    void windowsOutliveTheMainWindow();
    void messagesAreTitledWithTheProductName();
};

void WindowsTest::cleanup() {
    // Every test leaves no window behind.
    for (QWidget* w : QApplication::topLevelWidgets()) w->close();
    (void)QTest::qWaitFor([] {
        return !dlgStatus::Instance() && !dlgTable::Instance() && !frmHelp::Instance() &&
               !frmAbout::Instance();
    });
    // Only the copies the help cases made: never an installed page.
    QFile::remove(frmHelp::HelpPageCandidates().front());
}

// ---- status dialog ----

void WindowsTest::statusLabelsNameTheFormats_data() {
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("dest");
    QTest::addColumn<QString>("sourceText");
    QTest::addColumn<QString>("destText");
    QTest::newRow("KOI8 to CP 1251") << 1 << 2 << "Source format: KOI8"
                                     << "Destination format: CP 1251";
    QTest::newRow("Translit to Unicode") << 3 << 4 << "Source format: Transliteration"
                                         << "Destination format: Unicode";
    QTest::newRow("Unicode to Translit") << 4 << 3 << "Source format: Unicode"
                                         << "Destination format: Transliteration";
    QTest::newRow("CP 1251 to KOI8") << 2 << 1 << "Source format: CP 1251"
                                     << "Destination format: KOI8";
    QTest::newRow("equal formats") << 2 << 2 << "Source format: CP 1251"
                                   << "Destination format: CP 1251";
    QTest::newRow("destination 0") << 3 << 0 << "Source format: Transliteration"
                                   << "Destination format:";
    QTest::newRow("source 5") << 5 << 4 << "Source format:"
                              << "Destination format: Unicode";
    QTest::newRow("negative and large") << -1 << 32767 << "Source format:"
                                        << "Destination format:";
    QTest::newRow("smallest") << -32768 << 7 << "Source format:"
                              << "Destination format:";
}

void WindowsTest::statusLabelsNameTheFormats() {
    QFETCH(int, source);
    QFETCH(int, dest);
    QFETCH(QString, sourceText);
    QFETCH(QString, destText);
    dlgStatus* dlg = dlgStatus::Open(static_cast<litvorot::TextFormat>(source),
                                     static_cast<litvorot::TextFormat>(dest));
    QCOMPARE(LabelText(dlg, "labStatus"), QStringLiteral("Conversion complete:"));
    QCOMPARE(LabelText(dlg, "labSource"), sourceText);
    QCOMPARE(LabelText(dlg, "labDest"), destText);
    for (const char* name : {"labStatus", "labSource", "labDest"})
        QVERIFY2(LabelFits(Child<QLabel>(dlg, name)), name);
}

void WindowsTest::statusLayoutAndFrame() {
    dlgStatus* dlg = dlgStatus::Open(3, 3);
    QCOMPARE(dlg->windowTitle(), QStringLiteral("Litvorot"));
    VerifyFixedDialogFrame(dlg);
    // The height is the design height; the width grows only as far as the font needs.
    QCOMPARE(dlg->height(), 109);
    QVERIFY(dlg->width() >= 164);
    QCOMPARE(Child<QLabel>(dlg, "labStatus")->pos(), QPoint(4, 12));
    QCOMPARE(Child<QLabel>(dlg, "labSource")->pos(), QPoint(4, 44));
    QCOMPARE(Child<QLabel>(dlg, "labDest")->pos(), QPoint(4, 60));
    QPushButton* close = Child<QPushButton>(dlg, "cmdClose");
    QCOMPARE(close->text(), QStringLiteral("Close"));
    QCOMPARE(close->geometry().topLeft(), QPoint(12, 80));
    QCOMPARE(close->height(), 21);
    QVERIFY(!close->isDefault());
    QVERIFY(close->geometry().right() < dlg->width());
    // The longest text of all stays on one line, whatever this dialog shows.
    QLabel* dest = Child<QLabel>(dlg, "labDest");
    QLabel longest(QStringLiteral("Destination format: Transliteration"));
    longest.setFont(dest->font());
    QVERIFY(longest.sizeHint().width() <= dest->width());
    QVERIFY(dest->geometry().right() < dlg->width());

    // The line: window-text colour, from x = 4 to 8 pixels short of the right edge, at y = 32.
    const QImage image = dlg->grab().toImage();
    const QColor ink = dlg->palette().color(QPalette::WindowText);
    const int lastX = dlg->width() - 8;
    QCOMPARE(image.pixelColor(4, 32), ink);
    QCOMPARE(image.pixelColor(lastX, 32), ink);
    QVERIFY(image.pixelColor(3, 32) != ink);
    QVERIFY(image.pixelColor(lastX + 1, 32) != ink);
    QVERIFY(image.pixelColor(80, 31) != ink);
    QVERIFY(image.pixelColor(80, 33) != ink);
}

void WindowsTest::statusKeepsDesignSizeWithSmallFont() {
    // With a font as small as the one the design was made for, the dialog is 164 x 109.
    const QFont saved = QApplication::font();
    QFont small = saved;
    small.setPixelSize(8);
    QApplication::setFont(small);
    dlgStatus* dlg = dlgStatus::Open(3, 3);
    const QSize size = dlg->size();
    const int labelWidth = Child<QLabel>(dlg, "labDest")->width();
    const int buttonWidth = Child<QPushButton>(dlg, "cmdClose")->width();
    CloseAndWait(dlg);
    QApplication::setFont(saved);
    QCOMPARE(size, QSize(164, 109));
    QCOMPARE(labelWidth, 153);
    QCOMPARE(buttonWidth, 137);
}

void WindowsTest::statusIgnoresEscapeAndClosesWithItsButton() {
    QPointer<dlgStatus> dlg = dlgStatus::Open(1, 4);
    QVERIFY(QTest::qWaitForWindowExposed(dlg));
    QTest::keyClick(dlg, Qt::Key_Escape);
    QTest::qWait(20);
    QVERIFY(dlg && dlg->isVisible());
    QCOMPARE(dlgStatus::Instance(), dlg.data());

    QTest::mouseClick(Child<QPushButton>(dlg, "cmdClose"), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return dlg.isNull(); }));
    QVERIFY(dlgStatus::Instance() == nullptr);
}

void WindowsTest::statusOpensOnceAndKeepsItsFormats() {
    dlgStatus* first = dlgStatus::Open(3, 2);
    QCOMPARE(dlgStatus::Instance(), first);
    // A second conversion, with another destination, while the dialog is open.
    dlgStatus* second = dlgStatus::Open(3, 4);
    QCOMPARE(second, first);
    QCOMPARE(LabelText(second, "labDest"), QStringLiteral("Destination format: CP 1251"));
    int dialogs = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) dialogs += qobject_cast<dlgStatus*>(w) != 0;
    QCOMPARE(dialogs, 1);

    QVERIFY(CloseAndWait(first));
    QVERIFY(dlgStatus::Instance() == nullptr);
    // The next conversion builds a fresh dialog with the current formats.
    dlgStatus* fresh = dlgStatus::Open(3, 4);
    QVERIFY(fresh->isVisible());
    QCOMPARE(LabelText(fresh, "labDest"), QStringLiteral("Destination format: Unicode"));
}

// ---- table window ----

void WindowsTest::tableWindowShowsTheCardOnTop() {
    dlgTable* table = dlgTable::Open();
    QCOMPARE(table->windowTitle(), QStringLiteral("Transliteration Table"));
    VerifyFixedDialogFrame(table);
    QCOMPARE(table->size(), QSize(188, 263));
    QVERIFY(table->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(table->isVisible());
    QLabel* img = Child<QLabel>(table, "imgTable");
    QCOMPARE(img->geometry(), QRect(0, 0, 187, 263));
    QCOMPARE(img->pixmap().size(), QSize(187, 263));
    QCOMPARE(img->frameWidth(), 0);
}

void WindowsTest::tablePictureFollowsTheLayout() {
    const QImage card =
        QImage(QStringLiteral(":/litvorot/table.png")).convertToFormat(QImage::Format_Grayscale8);
    QCOMPARE(card.size(), QSize(187, 263));
    auto black = [&](int x, int y) { return qGray(card.pixel(x, y)) < 128; };
    int grey = 0;
    for (int y = 0; y < card.height(); ++y)
        for (int x = 0; x < card.width(); ++x) grey += qGray(card.pixel(x, y)) % 255 != 0;
    QCOMPARE(grey, 0);  // black and white only

    // The rule at x = 89, from y = 7 to y = 259, and nothing else in its column.
    for (int y = 0; y < card.height(); ++y) QCOMPARE(black(89, y), y >= 7 && y <= 259);

    // Ink rows of a column of text: the capitals of the first row start at y = 7 (left) and
    // y = 8 (right) and are 9 pixels high; rows repeat every 15 pixels.
    auto firstInk = [&](int x0, int x1, int y0, int y1) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (black(x, y)) return y;
        return -1;
    };
    auto lastInk = [&](int x0, int x1, int y0, int y1) {
        for (int y = y1 - 1; y >= y0; --y)
            for (int x = x0; x < x1; ++x)
                if (black(x, y)) return y;
        return -1;
    };
    QCOMPARE(firstInk(0, 88, 0, 20), 7);        // А and A
    QCOMPARE(lastInk(0, 88, 0, 20), 15);        // 9 pixels high
    QCOMPARE(firstInk(91, 187, 0, 20), 8);      // Р and R
    QCOMPARE(firstInk(0, 88, 22, 35), 22);      // second row on the left
    QCOMPARE(firstInk(0, 88, 247, 263), 247);   // П, the 17th row
    QCOMPARE(firstInk(91, 187, 245, 263), -1);  // the right half has 16 rows
    // Column edges near x = 9 / 57 and 106 / 154.
    auto firstInkX = [&](int x0, int x1, int y0, int y1) {
        for (int x = x0; x < x1; ++x)
            for (int y = y0; y < y1; ++y)
                if (black(x, y)) return x;
        return -1;
    };
    QVERIFY(qAbs(firstInkX(0, 50, 0, 260) - 9) <= 1);
    QVERIFY(qAbs(firstInkX(50, 88, 0, 260) - 57) <= 1);
    QVERIFY(qAbs(firstInkX(91, 150, 0, 260) - 106) <= 1);
    QVERIFY(qAbs(firstInkX(150, 187, 0, 260) - 154) <= 1);
}

void WindowsTest::tableStayOnTopCanBeSwitched() {
    dlgTable* table = dlgTable::Open();
    QVERIFY(QTest::qWaitForWindowExposed(table));
    const QPoint where = table->pos();
    QPointer<dlgTable> guard(table);
    table->StayOnTop(false);
    QVERIFY(guard);
    QVERIFY(table->isVisible());
    QVERIFY(!table->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(!table->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
    table->StayOnTop(true);
    QVERIFY(table->isVisible());
    QVERIFY(table->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(table->pos(), where);
    QCOMPARE(table->size(), QSize(188, 263));
}

void WindowsTest::tableOpensOnceAndIsRebuiltOnTop() {
    dlgTable* first = dlgTable::Open();
    QCOMPARE(dlgTable::Open(), first);
    int tables = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) tables += qobject_cast<dlgTable*>(w) != 0;
    QCOMPARE(tables, 1);
    QVERIFY(CloseAndWait(first));
    QVERIFY(dlgTable::Instance() == nullptr);
    dlgTable* again = dlgTable::Open();
    QVERIFY(again->isVisible());
    QVERIFY(again->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

void WindowsTest::tableIgnoresEscape() {
    QPointer<dlgTable> table = dlgTable::Open();
    QVERIFY(QTest::qWaitForWindowExposed(table));
    QTest::keyClick(table, Qt::Key_Escape);
    QTest::qWait(20);
    QVERIFY(table && table->isVisible());
    QCOMPARE(dlgTable::Instance(), table.data());
}

// ---- help window ----

void WindowsTest::helpShowsThePageBesideTheExecutable() {
    const QString besideExe = frmHelp::HelpPageCandidates().front();
    QVERIFY(QFile::copy(QStringLiteral(LITVOROT_HELP_SOURCE), besideExe));
    frmHelp* help = frmHelp::Open();
    QCOMPARE(help->windowTitle(), QStringLiteral("Help on Litvorot"));
    // An ordinary resizable window with minimise and maximise buttons, in the taskbar.
    QCOMPARE(help->windowType(), Qt::Window);
    QVERIFY(help->parentWidget() == nullptr);
    QVERIFY(help->windowFlags().testFlag(Qt::WindowMinimizeButtonHint) ||
            !help->windowFlags().testFlag(Qt::CustomizeWindowHint));
    QVERIFY(help->minimumSize() != help->maximumSize());
    QCOMPARE(help->size(), QSize(538, 441));
    QVERIFY(!help->windowIcon().isNull());

    auto* browser = Child<QTextBrowser>(help, "WebBrowser1");
    QCOMPARE(browser->source(), QUrl::fromLocalFile(besideExe));
    const QString text = browser->toPlainText();
    // The page loaded as UTF-8 and covers its subjects.
    for (const char* words :
         {"Ctrl+Space", "KOI8", "CP 1251", "Unicode", "settings.ini", "<*", "\\.e", "t_s"})
        QVERIFY2(text.contains(QString::fromLatin1(words)), words);
    QVERIFY(text.contains(QStringLiteral("объявление")));
}

void WindowsTest::helpWithoutPageShowsNotice() {
    if (QFile::exists(frmHelp::HelpPagePath())) QSKIP("Litvorot is installed on this machine");
    frmHelp* help = frmHelp::Open();
    QVERIFY(help->isVisible());
    QCOMPARE(help->windowTitle(), QStringLiteral("Help on Litvorot"));
    const QString text = Child<QTextBrowser>(help, "WebBrowser1")->toPlainText();
    QVERIFY(text.contains(QStringLiteral("could not be opened")));
    QVERIFY(text.contains(QStringLiteral("help.html")));
    // It names every place looked in.
    for (const QString& place : frmHelp::HelpPageCandidates())
        QVERIFY2(text.contains(place), qPrintable(place));
}

void WindowsTest::helpFindsTheInstalledPage() {
    // Beside the executable, then share/litvorot seen from bin/, then the absolute data directory.
    const QStringList paths = frmHelp::HelpPageCandidates();
    QCOMPARE(paths.size(), 3);
    QCOMPARE(paths[0], QCoreApplication::applicationDirPath() + QStringLiteral("/help.html"));
    QCOMPARE(paths[1], QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                       QStringLiteral("/../share/litvorot/help.html")));
    QVERIFY(QDir::isAbsolutePath(paths[2]));
    QVERIFY(paths[2].endsWith(QStringLiteral("/share/litvorot/help.html")));

    // A tree laid out as installed, around this test's executable.
    const QString dataDir = QFileInfo(paths[1]).absolutePath();
    QVERIFY(!QFileInfo::exists(dataDir));
    QVERIFY(QDir().mkpath(dataDir));
    const auto removeTree = qScopeGuard([&] {
        QDir(dataDir).removeRecursively();
        QDir().rmdir(QFileInfo(dataDir).absolutePath());  // share/, when nothing else is in it
    });
    QVERIFY(QFile::copy(QStringLiteral(LITVOROT_HELP_SOURCE), paths[1]));
    QCOMPARE(frmHelp::HelpPagePath(), paths[1]);
    frmHelp* help = frmHelp::Open();
    auto* browser = Child<QTextBrowser>(help, "WebBrowser1");
    QCOMPARE(browser->source(), QUrl::fromLocalFile(paths[1]));
    QVERIFY(browser->toPlainText().contains(QStringLiteral("Ctrl+Space")));
    QVERIFY(CloseAndWait(help));

    // A page beside the executable wins: a portable copy keeps its own page.
    QVERIFY(QFile::copy(QStringLiteral(LITVOROT_HELP_SOURCE), paths[0]));
    QCOMPARE(frmHelp::HelpPagePath(), paths[0]);
}

void WindowsTest::helpBrowserFollowsResizing() {
    frmHelp* help = frmHelp::Open();
    QVERIFY(QTest::qWaitForWindowExposed(help));
    auto* browser = Child<QTextBrowser>(help, "WebBrowser1");
    QCOMPARE(browser->geometry(), help->rect());
    for (const QSize size : {QSize(700, 520), QSize(200, 150), QSize(538, 441)}) {
        help->resize(size);
        QTRY_COMPARE(browser->geometry(), QRect(QPoint(0, 0), size));
    }
    help->showMaximized();
    QTRY_COMPARE(browser->geometry(), help->rect());
    help->showMinimized();
    help->showNormal();
    QTRY_COMPARE(browser->geometry(), help->rect());
}

void WindowsTest::helpSecondOpenDoesNotReload() {
    frmHelp* help = frmHelp::Open();
    auto* browser = Child<QTextBrowser>(help, "WebBrowser1");
    browser->setHtml(QStringLiteral("<p>somewhere else</p>"));
    QCOMPARE(frmHelp::Open(), help);
    QCOMPARE(browser->toPlainText(), QStringLiteral("somewhere else"));
    QVERIFY(CloseAndWait(help));
    QVERIFY(frmHelp::Instance() == nullptr);
    frmHelp* fresh = frmHelp::Open();
    QVERIFY(fresh->isVisible());
    QVERIFY(Child<QTextBrowser>(fresh, "WebBrowser1")->toPlainText() !=
            QStringLiteral("somewhere else"));
}

// ---- About box ----

void WindowsTest::aboutTextsAndLayout() {
    frmAbout* about = frmAbout::Open();
    QCOMPARE(about->windowTitle(), QStringLiteral("About Litvorot"));
    VerifyFixedDialogFrame(about);
    QCOMPARE(about->size(), QSize(272, 126));
    QLabel* title = Child<QLabel>(about, "lblTitle");
    QLabel* version = Child<QLabel>(about, "lblVersion");
    QCOMPARE(title->text(), QStringLiteral("Litvorot Transliteration Software"));
    QCOMPARE(version->text(), QStringLiteral("Version 1.5"));
    QCOMPARE(title->pos(), QPoint(8, 8));
    QCOMPARE(version->pos(), QPoint(8, 68));
    QCOMPARE(title->palette().color(QPalette::WindowText), QColor(Qt::black));
    QVERIFY(LabelFits(title));
    QVERIFY(LabelFits(version));
    QPushButton* ok = Child<QPushButton>(about, "cmdOK");
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QCOMPARE(ok->geometry(), QRect(180, 96, 84, 23));
    QVERIFY(ok->isDefault());

    // The grey line from (8, 88) to (264, 88).
    const QImage image = about->grab().toImage();
    const QColor grey(128, 128, 128);
    QCOMPARE(image.pixelColor(8, 88), grey);
    QCOMPARE(image.pixelColor(136, 88), grey);
    QCOMPARE(image.pixelColor(264, 88), grey);
    QVERIFY(image.pixelColor(7, 88) != grey);
    QVERIFY(image.pixelColor(265, 88) != grey);
    QVERIFY(image.pixelColor(136, 87) != grey);
    QVERIFY(image.pixelColor(136, 89) != grey);
}

void WindowsTest::aboutClosesWithOkEnterEscape_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("OK button") << 0;
    QTest::newRow("Enter") << 1;
    QTest::newRow("Return") << 2;
    QTest::newRow("Escape") << 3;
    QTest::newRow("title bar") << 4;
}

void WindowsTest::aboutClosesWithOkEnterEscape() {
    QFETCH(int, how);
    QPointer<frmAbout> about = frmAbout::Open();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    switch (how) {
        case 0:
            QTest::mouseClick(Child<QPushButton>(about, "cmdOK"), Qt::LeftButton);
            break;
        case 1:
            QTest::keyClick(about, Qt::Key_Enter, Qt::KeypadModifier);
            break;
        case 2:
            QTest::keyClick(about, Qt::Key_Return);
            break;
        case 3:
            QTest::keyClick(about, Qt::Key_Escape);
            break;
        default:
            about->close();
            break;
    }
    QVERIFY(QTest::qWaitFor([&] { return about.isNull(); }));
    QVERIFY(frmAbout::Instance() == nullptr);
}

void WindowsTest::aboutOpensOnce() {
    frmAbout* first = frmAbout::Open();
    QCOMPARE(frmAbout::Open(), first);
    QVERIFY(CloseAndWait(first));
    frmAbout* fresh = frmAbout::Open();
    QVERIFY(fresh->isVisible());
    QCOMPARE(frmAbout::Instance(), fresh);
}

// ---- independence from the main window ----

void WindowsTest::windowsOutliveTheMainWindow() {
    auto* mainWindow = new QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint);
    mainWindow->show();
    QPointer<QWidget> windows[] = {dlgStatus::Open(3, 2), dlgTable::Open(), frmHelp::Open(),
                                   frmAbout::Open()};
    mainWindow->hide();
    delete mainWindow;
    QTest::qWait(20);
    for (const QPointer<QWidget>& w : windows) {
        QVERIFY(w);
        QVERIFY(w->isVisible());
    }
}

void WindowsTest::messagesAreTitledWithTheProductName() {
    // The application name is the lower-case program name; the box must not fall back to it.
    QApplication::setApplicationName(QStringLiteral("litvorot"));
    QString title;
    QString text;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        title = box->windowTitle();
        text = box->text();
        box->accept();
    });
    litvorot::windows::ShowMessageBox("Файл \"settings.ini\" не записан.");
    QCOMPARE(title, QStringLiteral("Litvorot"));
    QCOMPARE(text, QStringLiteral("Файл \"settings.ini\" не записан."));
}

QTEST_MAIN(WindowsTest)
#include "windows_test.moc"

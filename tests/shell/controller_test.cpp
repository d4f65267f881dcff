// The controller frmSplash with a clipboard in memory and a hot key the test presses itself.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "FakeClipboard.h"
#include "FakeHotKey.h"
#include "TempDir.h"
#include "detect/modDetect.h"
#include "shell/frmSplash.h"
#include "shell/modSystemTray.h"
#include "tables/modMessages.h"
#include "windows/dlgStatus.h"

namespace litvorot {
namespace {
namespace fs = std::filesystem;

using test::FakeHotKey;

class ControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previousHook_ =
            SetMessageHook([this](std::string_view text) { messages_.emplace_back(text); });
    }
    void TearDown() override {
        delete form_.data();
        if (dlgStatus* status = dlgStatus::Instance()) delete status;
        SetMessageHook(previousHook_);
    }
    frmSplash& Start() {
        form_ = new frmSplash(clipboard_, hotKey_, dir_, dir_ / "config");
        form_->Form_Load(0);
        return *form_;
    }
    void WriteSettings(const std::string& bytes) {
        std::ofstream(dir_ / "settings.ini", std::ios::binary) << bytes;
    }
    std::string SettingsBytes() {
        std::ifstream in(dir_ / "settings.ini", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // The items a menu has always had, without Auto and Undo, which came later; AllCaptions
    // and AllChecked see those too.
    static QList<QAction*> FirstItems(QMenu* menu) {
        QList<QAction*> items;
        for (QAction* action : menu->actions()) {
            if (action->objectName() != "mnuSourceAuto" && action->objectName() != "mnuUndo")
                items << action;
        }
        return items;
    }
    static std::string Marks(const QList<QAction*>& items) {
        std::string marks;
        for (QAction* action : items) marks += action->isChecked() ? 'x' : '.';
        return marks;
    }
    static QStringList Texts(const QList<QAction*>& items) {
        QStringList captions;
        for (QAction* action : items) captions << action->text();
        return captions;
    }
    static std::string Checked(QMenu* menu) { return Marks(FirstItems(menu)); }
    static QStringList Captions(QMenu* menu) { return Texts(FirstItems(menu)); }
    static std::string AllChecked(QMenu* menu) { return Marks(menu->actions()); }
    static QStringList AllCaptions(QMenu* menu) { return Texts(menu->actions()); }

    test::TempDir temp_{"controller"};
    const fs::path dir_ = temp_.Path();
    test::FakeClipboard clipboard_;
    FakeHotKey hotKey_;
    QPointer<frmSplash> form_;
    std::vector<std::string> messages_;
    MessageHook previousHook_;
};

TEST_F(ControllerTest, MenuTreeCaptionsAndOrder) {
    frmSplash& form = Start();
    EXPECT_EQ(Captions(form.PopupMenu()),
              QStringList({"Options", "Go", "", "Show Table", "", "Help", "About...", "Exit"}));
    EXPECT_TRUE(form.mnuSep1->isSeparator());
    EXPECT_TRUE(form.mnuSep2->isSeparator());
    EXPECT_EQ(Captions(form.mnuOptions),
              QStringList({"Source Format", "Destination Format", "Display Status"}));
    const QStringList formats{"Translit", "KOI8", "CP 1251", "Unicode"};
    EXPECT_EQ(Captions(form.mnuSource), formats);
    EXPECT_EQ(Captions(form.mnuDest), formats);
    for (QAction* action : FirstItems(form.PopupMenu())) {
        EXPECT_TRUE(action->isEnabled());
        EXPECT_TRUE(action->shortcut().isEmpty());
    }
}

TEST_F(ControllerTest, FirstStartTakesTheDefaultsAndSetsUpTheHotKey) {
    frmSplash& form = Start();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.size(), QSize(426, 210));
    EXPECT_EQ(form.SourceFormat(), kTranslit);
    EXPECT_EQ(form.DestFormat(), kCp1251);
    EXPECT_FALSE(form.DisplayStatus());
    EXPECT_EQ(Checked(form.mnuSource), "x...");
    EXPECT_EQ(Checked(form.mnuDest), "..x.");
    EXPECT_FALSE(form.mnuDisplayStatus->isChecked());
    EXPECT_EQ(hotKey_.modifiers, kModControl);
    EXPECT_EQ(hotKey_.key, kKeySpace);
    EXPECT_TRUE(form.HotKeyRegistered());
    ASSERT_NE(TrayIcon(), nullptr);
    EXPECT_EQ(TrayIcon()->toolTip(), "Litvorot");
    EXPECT_FALSE(TrayIcon()->icon().isNull());
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ControllerTest, MenuChoicesMoveTheSingleCheckMark) {
    frmSplash& form = Start();
    form.mnuSourceUnicode->trigger();
    EXPECT_EQ(form.SourceFormat(), kUnicode);
    EXPECT_EQ(Checked(form.mnuSource), "...x");
    form.mnuSourceUnicode->trigger();  // already checked: nothing changes
    EXPECT_EQ(Checked(form.mnuSource), "...x");
    form.mnuSourceKOI8->trigger();
    EXPECT_EQ(form.SourceFormat(), kKoi8);
    EXPECT_EQ(Checked(form.mnuSource), ".x..");

    form.mnuDestTranslit->trigger();
    EXPECT_EQ(form.DestFormat(), kTranslit);
    EXPECT_EQ(Checked(form.mnuDest), "x...");

    form.mnuDisplayStatus->trigger();
    EXPECT_TRUE(form.DisplayStatus());
    EXPECT_TRUE(form.mnuDisplayStatus->isChecked());
    form.mnuDisplayStatus->trigger();
    EXPECT_FALSE(form.DisplayStatus());
    EXPECT_FALSE(form.mnuDisplayStatus->isChecked());

    // A value no item stands for is stored and leaves the marks as they were.
    form.SetDestFormat(9);
    EXPECT_EQ(form.DestFormat(), 9);
    EXPECT_EQ(Checked(form.mnuDest), "x...");
}

TEST_F(ControllerTest, HotKeyAndGoConvertTheClipboard) {
    frmSplash& form = Start();
    form.mnuSourceTranslit->trigger();
    form.mnuDestUnicode->trigger();
    clipboard_.Put(u"privet");
    hotKey_.Press();
    EXPECT_EQ(clipboard_.written, u"привет");
    EXPECT_EQ(dlgStatus::Instance(), nullptr);

    form.mnuSourceUnicode->trigger();
    form.mnuDestTranslit->trigger();
    form.mnuDisplayStatus->trigger();
    form.mnuGo->trigger();
    EXPECT_EQ(clipboard_.written, u"privet");
    ASSERT_NE(dlgStatus::Instance(), nullptr);
    EXPECT_TRUE(dlgStatus::Instance()->isVisible());
}

TEST_F(ControllerTest, APressDuringAConversionRunsAfterIt) {
    frmSplash& form = Start();
    form.mnuDestUnicode->trigger();
    int depth = 0;
    int deepest = 0;
    clipboard_.Put(u"a");
    clipboard_.onRead = [&] {
        ++depth;
        deepest = std::max(deepest, depth);
        if (clipboard_.reads == 1) hotKey_.Press();  // as if a message box let it in
        --depth;
    };
    hotKey_.Press();
    EXPECT_EQ(clipboard_.reads, 2);
    EXPECT_EQ(deepest, 1);
}

// The clipboard's owner answers late: presses in the meantime queue and run one after the other
// once it has answered; Exit while a read waits abandons it and everything queued, and writes
// nothing.
TEST_F(ControllerTest, PressesWhileTheOwnerIsSlowQueueAndExitAbandonsThem) {
    frmSplash& form = Start();
    form.mnuSourceTranslit->trigger();
    form.mnuDestUnicode->trigger();
    clipboard_.answerLater = true;
    clipboard_.Put(u"privet");
    hotKey_.Press();
    form.mnuGo->trigger();
    hotKey_.Press();
    EXPECT_EQ(clipboard_.writes, 0);
    ASSERT_TRUE(clipboard_.Answer());
    EXPECT_EQ(clipboard_.written, u"привет");
    // The two queued runs read again, one at a time (a second waiting read would throw).
    ASSERT_TRUE(clipboard_.Answer());
    ASSERT_TRUE(clipboard_.Answer());
    EXPECT_FALSE(clipboard_.Answer());
    EXPECT_EQ(clipboard_.reads, 3);
    EXPECT_EQ(clipboard_.writes, 3);

    clipboard_.Put(u"mir");
    clipboard_.written.reset();
    hotKey_.Press();
    form.mnuGo->trigger();
    auto waiting = clipboard_.waiting;  // an answer already on its way when Exit comes
    form.mnuExit->trigger();
    EXPECT_EQ(clipboard_.abandoned, 1);
    EXPECT_FALSE(clipboard_.Answer());
    waiting(u"mir");
    EXPECT_FALSE(clipboard_.written);
    EXPECT_EQ(clipboard_.content, u"mir" + std::u16string(1, u'\0'));
}

TEST_F(ControllerTest, SettingsFileIsAppliedAndWrittenBackAtExit) {
    WriteSettings(" 7 \r\n-1 \r\ntrue\r\nfourth line\r\n");
    frmSplash& form = Start();
    EXPECT_EQ(form.SourceFormat(), 7);
    EXPECT_EQ(form.DestFormat(), -1);
    EXPECT_EQ(Checked(form.mnuSource), "....");
    EXPECT_EQ(Checked(form.mnuDest), "....");
    EXPECT_TRUE(form.mnuDisplayStatus->isChecked());
    EXPECT_TRUE(messages_.empty());

    QSignalSpy done(&form, &frmSplash::ShutdownDone);
    form.mnuExit->trigger();
    EXPECT_EQ(SettingsBytes(), " 7 \r\n-1 \r\nTrue\r\n");
    EXPECT_EQ(done.count(), 1);
    EXPECT_FALSE(hotKey_.active);
    EXPECT_EQ(TrayIcon(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form_.isNull());
}

TEST_F(ControllerTest, EveryCombinationSurvivesARestart) {
    for (int source = 0; source < 4; ++source) {
        for (int dest = 0; dest < 4; ++dest) {
            for (bool status : {false, true}) {
                frmSplash& form = Start();
                form.mnuSource->actions()[source]->trigger();
                form.mnuDest->actions()[dest]->trigger();
                if (form.DisplayStatus() != status) form.mnuDisplayStatus->trigger();
                const std::string source1 = Checked(form.mnuSource);
                const std::string dest1 = Checked(form.mnuDest);
                form.Shutdown();
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                hotKey_ = FakeHotKey();

                frmSplash& again = Start();
                EXPECT_EQ(Checked(again.mnuSource), source1);
                EXPECT_EQ(Checked(again.mnuDest), dest1);
                EXPECT_EQ(again.mnuDisplayStatus->isChecked(), status);
                delete form_.data();
                hotKey_ = FakeHotKey();
            }
        }
    }
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ControllerTest, ABadSettingsFileIsReportedOnceAndStartUpGoesOn) {
    WriteSettings(" 4 \r\nfour\r\nTrue\r\n");
    frmSplash& form = Start();
    EXPECT_EQ(form.SourceFormat(), kUnicode);
    EXPECT_EQ(form.DestFormat(), kCp1251);
    EXPECT_FALSE(form.DisplayStatus());
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_NE(messages_[0].find((dir_ / "settings.ini").string()), std::string::npos);
    EXPECT_NE(messages_[0].find("line 2"), std::string::npos);
    EXPECT_TRUE(form.HotKeyRegistered());
}

TEST_F(ControllerTest, AnUnwritableSettingsFileIsReportedAndExitCompletes) {
    // The executable's directory lies under an ordinary file, so nothing can be written there.
    std::ofstream(dir_ / "plain") << "x";
    form_ = new frmSplash(clipboard_, hotKey_, dir_ / "plain" / "bin", fs::path());
    form_->Form_Load(0);
    QSignalSpy done(form_.data(), &frmSplash::ShutdownDone);
    form_->Shutdown();
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_NE(messages_[0].find((dir_ / "plain" / "bin" / "settings.ini").string()),
              std::string::npos);
    EXPECT_FALSE(hotKey_.active);
    EXPECT_EQ(TrayIcon(), nullptr);
    EXPECT_EQ(done.count(), 1);
}

TEST_F(ControllerTest, OnlyRightPressAndLeftDoubleClickOpenTheMenu) {
    EXPECT_EQ(TrayMouseMessage(QSystemTrayIcon::Context), 2);
    EXPECT_EQ(TrayMouseMessage(QSystemTrayIcon::DoubleClick), 2);
    EXPECT_EQ(TrayMouseMessage(QSystemTrayIcon::Trigger), 0);
    EXPECT_EQ(TrayMouseMessage(QSystemTrayIcon::MiddleClick), 0);
    EXPECT_EQ(TrayMouseMessage(QSystemTrayIcon::Unknown), 0);

    frmSplash& form = Start();
    emit TrayIcon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(form.PopupMenu()->isVisible());
    emit TrayIcon()->activated(QSystemTrayIcon::Context);
    EXPECT_TRUE(form.PopupMenu()->isVisible());
    form.PopupMenu()->hide();
    emit TrayIcon()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(form.PopupMenu()->isVisible());
    form.PopupMenu()->hide();
}

// Auto and Undo: the items, the setting, the readings one press after another, and undoing.
class AutoTest : public ControllerTest {
  protected:
    frmSplash& StartAuto() {
        frmSplash& form = Start();
        form.SetClock([this] { return now_; });
        form.mnuSourceAuto->trigger();
        form.mnuDestUnicode->trigger();
        return form;
    }
    void Press(std::chrono::milliseconds after = std::chrono::milliseconds(500)) {
        now_ += after;
        hotKey_.Press();
    }
    std::u16string Clipboard() const { return std::u16string(TextBeforeNul(clipboard_.content)); }
    std::chrono::steady_clock::time_point now_{std::chrono::hours(1)};
};

TEST_F(AutoTest, AutoEndsTheSourceMenuUndoFollowsGoAndAutoIsStoredAs5) {
    frmSplash& form = Start();
    EXPECT_EQ(AllCaptions(form.mnuSource),
              QStringList({"Translit", "KOI8", "CP 1251", "Unicode", "Auto"}));
    EXPECT_EQ(AllCaptions(form.mnuDest), QStringList({"Translit", "KOI8", "CP 1251", "Unicode"}));
    EXPECT_EQ(AllCaptions(form.PopupMenu()), QStringList({"Options", "Go", "Undo", "", "Show Table",
                                                          "", "Help", "About...", "Exit"}));
    EXPECT_FALSE(form.mnuUndo->isEnabled());
    EXPECT_FALSE(form.mnuSourceAuto->isChecked());

    form.mnuSourceAuto->trigger();
    EXPECT_EQ(form.SourceFormat(), kAuto);
    EXPECT_EQ(AllChecked(form.mnuSource), "....x");
    form.mnuSourceKOI8->trigger();
    EXPECT_EQ(AllChecked(form.mnuSource), ".x...");
    form.mnuSourceAuto->trigger();
    form.Shutdown();
    EXPECT_EQ(SettingsBytes(), " 5 \r\n 2 \r\nFalse\r\n");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    hotKey_ = FakeHotKey();

    // A file that holds 5 comes back byte for byte.
    WriteSettings(" 5 \r\n 4 \r\nTrue\r\n");
    frmSplash& again = Start();
    EXPECT_EQ(again.SourceFormat(), kAuto);
    EXPECT_EQ(AllChecked(again.mnuSource), "....x");
    again.Shutdown();
    EXPECT_EQ(SettingsBytes(), " 5 \r\n 4 \r\nTrue\r\n");
    EXPECT_TRUE(messages_.empty());
}

TEST_F(AutoTest, PressesCycleThroughTheReadingsToTheOriginalAndStartOver) {
    StartAuto();
    const std::u16string garbled = u"РџСЂРёРІРµС‚";
    clipboard_.Put(garbled);
    Press();
    EXPECT_EQ(Clipboard(), u"Привет");

    std::vector<std::u16string> seen{Clipboard()};
    for (int i = 0; i < 20 && Clipboard() != garbled; ++i) {
        Press(std::chrono::milliseconds(4900));
        seen.push_back(Clipboard());
    }
    ASSERT_EQ(seen.back(), garbled);
    ASSERT_GE(seen.size(), 3u);  // at least one other reading between
    std::vector<std::u16string> sorted = seen;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << "a repeat";

    Press();  // after the original, the first reading again
    EXPECT_EQ(Clipboard(), u"Привет");
    Press();
    EXPECT_EQ(Clipboard(), seen[1]);
}

TEST_F(AutoTest, APressAfterTheTimeOrOnOtherTextStartsANewCycle) {
    StartAuto();
    clipboard_.Put(u"РџСЂРёРІРµС‚");
    Press();
    ASSERT_EQ(Clipboard(), u"Привет");
    Press(std::chrono::seconds(5));  // too late: Привет is read afresh, and it is fine as it is
    EXPECT_EQ(Clipboard(), u"Привет");

    clipboard_.Put(u"РџСЂРёРІРµС‚");
    Press();
    clipboard_.Put(u"ghbdtn");  // copied by the user in between
    Press();
    EXPECT_EQ(Clipboard(), u"привет");

    // Good text is left alone by the first press.
    for (const std::u16string text :
         {u"Привет, мир", u"hello world", u"https://example.org/a?b=1"}) {
        now_ += std::chrono::seconds(10);
        clipboard_.Put(text);
        Press();
        EXPECT_EQ(Clipboard(), text);
    }

    // Nothing on the clipboard: nothing written, nothing to undo.
    now_ += std::chrono::seconds(10);
    clipboard_.content.clear();
    clipboard_.written.reset();
    Press();
    EXPECT_FALSE(clipboard_.written.has_value());
}

TEST_F(AutoTest, TheStatusDialogNamesTheReading) {
    frmSplash& form = StartAuto();
    form.mnuDisplayStatus->trigger();
    clipboard_.Put(u"РџСЂРёРІРµС‚");
    Press();
    ASSERT_NE(dlgStatus::Instance(), nullptr);
    auto* source = dlgStatus::Instance()->findChild<QLabel*>("labSource");
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->text(), "Source format: Auto (UTF-8 read as CP 1251)");
    EXPECT_LE(source->sizeHint().width(), source->width());
    EXPECT_EQ(dlgStatus::Instance()->findChild<QLabel*>("labDest")->text(),
              "Destination format: Unicode");
    delete dlgStatus::Instance();

    form.mnuSourceTranslit->trigger();  // the other sources keep their texts
    clipboard_.Put(u"privet");
    Press();
    ASSERT_NE(dlgStatus::Instance(), nullptr);
    EXPECT_EQ(dlgStatus::Instance()->findChild<QLabel*>("labSource")->text(),
              "Source format: Transliteration");
}

TEST_F(AutoTest, UndoPutsBackWhatTheLastConversionReplacedWhileItsResultIsThere) {
    frmSplash& form = Start();
    form.mnuDestUnicode->trigger();
    clipboard_.Put(u"privet");
    form.mnuGo->trigger();
    ASSERT_EQ(Clipboard(), u"привет");
    EXPECT_TRUE(form.mnuUndo->isEnabled());
    form.mnuUndo->trigger();
    EXPECT_EQ(Clipboard(), u"privet");
    EXPECT_FALSE(form.mnuUndo->isEnabled());
    const int writes = clipboard_.writes;
    form.mnuUndo->trigger();  // greyed, and a second undo has nothing to put back
    EXPECT_EQ(clipboard_.writes, writes);

    // The clipboard changed since: Undo leaves it alone and greys out.
    form.mnuGo->trigger();
    clipboard_.Put(u"something else");
    form.mnuUndo->trigger();
    EXPECT_EQ(Clipboard(), u"something else");
    EXPECT_FALSE(form.mnuUndo->isEnabled());
    EXPECT_EQ(clipboard_.writes, writes + 1);

    // Auto: Undo goes back to the text the cycle started from, and the next press starts over.
    form.SetClock([this] { return now_; });
    form.mnuSourceAuto->trigger();
    clipboard_.Put(u"РџСЂРёРІРµС‚");
    Press();
    Press();
    ASSERT_NE(Clipboard(), u"Привет");
    form.mnuUndo->trigger();
    EXPECT_EQ(Clipboard(), u"РџСЂРёРІРµС‚");
    EXPECT_FALSE(form.mnuUndo->isEnabled());
    Press();
    EXPECT_EQ(Clipboard(), u"Привет");
    EXPECT_TRUE(form.mnuUndo->isEnabled());
}

TEST_F(AutoTest, UndoWaitsForASlowOwnerAndAPressMeanwhileFollows) {
    frmSplash& form = StartAuto();
    clipboard_.Put(u"РџСЂРёРІРµС‚");
    Press();
    ASSERT_EQ(Clipboard(), u"Привет");

    clipboard_.answerLater = true;
    form.mnuUndo->trigger();  // reads the clipboard: nothing written until the owner answers
    EXPECT_EQ(Clipboard(), u"Привет");
    EXPECT_FALSE(form.mnuUndo->isEnabled());
    Press();  // waits behind the undo, no second read
    ASSERT_TRUE(clipboard_.Answer());
    EXPECT_EQ(Clipboard(), u"РџСЂРёРІРµС‚");
    ASSERT_TRUE(clipboard_.Answer());  // the press: a new cycle on the original
    EXPECT_EQ(Clipboard(), u"Привет");

    // An undo asked for while a conversion waits is ignored, and Undo stays offered.
    now_ += std::chrono::seconds(10);
    Press();
    form.mnuUndo->trigger();
    ASSERT_TRUE(clipboard_.Answer());
    EXPECT_FALSE(clipboard_.Answer());
    EXPECT_TRUE(form.mnuUndo->isEnabled());
}

}  // namespace
}  // namespace litvorot

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

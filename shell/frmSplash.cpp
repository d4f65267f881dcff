#include "shell/frmSplash.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QLoggingCategory>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <utility>

#include "detect/modDetect.h"
#include "shell/modMiscRoutines.h"
#include "shell/modSystemTray.h"
#include "windows/dlgStatus.h"
#include "windows/dlgTable.h"
#include "windows/frmAbout.h"
#include "windows/frmHelp.h"

using namespace litvorot;

namespace {

// Silent unless asked for: QT_LOGGING_RULES="litvorot.settings=true".
Q_LOGGING_CATEGORY(lcSettings, "litvorot.settings", QtWarningMsg)
constexpr int kSplashWidth = 426;
constexpr int kSplashHeight = 210;
const QString kSmallIconPath = QStringLiteral(":/litvorot/icon-16.png");
}  // namespace

frmSplash::frmSplash(Clipboard& clipboard, HotKey& hotKey, std::filesystem::path exeDir,
                     std::filesystem::path configHome)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint),
      frmSplashBase(clipboard, std::move(exeDir), std::move(configHome)),
      hotKey_(hotKey) {
    setObjectName(QStringLiteral("frmSplash"));
    setWindowIcon(QIcon(QStringLiteral(":/litvorot/icon-32.png")));

    imgSplash = new QLabel(this);
    imgSplash->setObjectName(QStringLiteral("imgSplash"));
    QPixmap splash(QStringLiteral(":/litvorot/splash.png"));
    if (splash.isNull()) {
        imgSplash->setFixedSize(kSplashWidth, kSplashHeight);
    } else {
        imgSplash->setPixmap(splash);
        imgSplash->setFixedSize(splash.size());
    }
    imgSplash->move(0, 0);

    imgSmallIcon = new QLabel(this);
    imgSmallIcon->setObjectName(QStringLiteral("imgSmallIcon"));
    imgSmallIcon->setPixmap(QPixmap(kSmallIconPath));
    imgSmallIcon->setFixedSize(16, 16);
    imgSmallIcon->hide();

    BuildMenu();
}

frmSplash::~frmSplash() = default;

void frmSplash::BuildMenu() {
    auto item = [this](QMenu* menu, QAction*& action, const char* name, const QString& caption,
                       void (frmSplash::*handler)(), bool checkable) {
        action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setCheckable(checkable);
        connect(action, &QAction::triggered, this, handler);
    };
    mnuPopup = new QMenu(QStringLiteral("Popup Menu Root"), this);
    mnuPopup->setObjectName(QStringLiteral("mnuPopup"));

    mnuOptions = mnuPopup->addMenu(QStringLiteral("Options"));
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    mnuSource = mnuOptions->addMenu(QStringLiteral("Source Format"));
    mnuSource->setObjectName(QStringLiteral("mnuSource"));
    item(mnuSource, mnuSourceTranslit, "mnuSourceTranslit", QStringLiteral("Translit"),
         &frmSplash::mnuSourceTranslit_Click, true);
    item(mnuSource, mnuSourceKOI8, "mnuSourceKOI8", QStringLiteral("KOI8"),
         &frmSplash::mnuSourceKOI8_Click, true);
    item(mnuSource, mnuSourceCP1251, "mnuSourceCP1251", QStringLiteral("CP 1251"),
         &frmSplash::mnuSourceCP1251_Click, true);
    item(mnuSource, mnuSourceUnicode, "mnuSourceUnicode", QStringLiteral("Unicode"),
         &frmSplash::mnuSourceUnicode_Click, true);
    item(mnuSource, mnuSourceAuto, "mnuSourceAuto", QStringLiteral("Auto"),
         &frmSplash::mnuSourceAuto_Click, true);
    mnuDest = mnuOptions->addMenu(QStringLiteral("Destination Format"));
    mnuDest->setObjectName(QStringLiteral("mnuDest"));
    item(mnuDest, mnuDestTranslit, "mnuDestTranslit", QStringLiteral("Translit"),
         &frmSplash::mnuDestTranslit_Click, true);
    item(mnuDest, mnuDestKOI8, "mnuDestKOI8", QStringLiteral("KOI8"), &frmSplash::mnuDestKOI8_Click,
         true);
    item(mnuDest, mnuDestCP1251, "mnuDestCP1251", QStringLiteral("CP 1251"),
         &frmSplash::mnuDestCP1251_Click, true);
    item(mnuDest, mnuDestUnicode, "mnuDestUnicode", QStringLiteral("Unicode"),
         &frmSplash::mnuDestUnicode_Click, true);
    item(mnuOptions, mnuDisplayStatus, "mnuDisplayStatus", QStringLiteral("Display Status"),
         &frmSplash::mnuDisplayStatus_Click, true);

    item(mnuPopup, mnuGo, "mnuGo", QStringLiteral("Go"), &frmSplash::mnuGo_Click, false);
    item(mnuPopup, mnuUndo, "mnuUndo", QStringLiteral("Undo"), &frmSplash::mnuUndo_Click, false);
    mnuUndo->setEnabled(false);
    mnuSep1 = mnuPopup->addSeparator();
    mnuSep1->setObjectName(QStringLiteral("mnuSep1"));
    item(mnuPopup, mnuShowTable, "mnuShowTable", QStringLiteral("Show Table"),
         &frmSplash::mnuShowTable_Click, false);
    mnuSep2 = mnuPopup->addSeparator();
    mnuSep2->setObjectName(QStringLiteral("mnuSep2"));
    item(mnuPopup, mnuHelp, "mnuHelp", QStringLiteral("Help"), &frmSplash::mnuHelp_Click, false);
    item(mnuPopup, mnuAbout, "mnuAbout", QStringLiteral("About..."), &frmSplash::mnuAbout_Click,
         false);
    item(mnuPopup, mnuExit, "mnuExit", QStringLiteral("Exit"), &frmSplash::mnuExit_Click, false);
}

QIcon frmSplash::SmallIcon() const { return QIcon(kSmallIconPath); }

void frmSplash::Form_Load(int splashSeconds) {
    resize(imgSplash->size());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    show();
    Pause(splashSeconds);
    hide();
    AddTrayIcon(QStringLiteral("Litvorot"), *this);
    BuildTables();
    const bool read = ReadSettings();
    qCInfo(lcSettings) << "settings file" << QString::fromStdString(SettingsFilePath().string())
                       << (read ? "read" : "not read: the defaults apply");
    if (!read) {
        SetSourceFormat(kTranslit);
        SetDestFormat(kCp1251);
        SetDisplayStatus(false);
    }
    QPointer<frmSplash> self(this);
    hotKeyRegistered_ = hotKey_.RegisterAppHotKey(kModControl, kKeySpace, [self] {
        if (self) self->mnuGo_Click();
    });
}

void frmSplash::CheckFormatItem(FormatMenu menu, TextFormat format) {
    const FormatItems items =
        menu == FormatMenu::Source
            ? FormatItems{mnuSourceKOI8, mnuSourceCP1251, mnuSourceTranslit, mnuSourceUnicode}
            : FormatItems{mnuDestKOI8, mnuDestCP1251, mnuDestTranslit, mnuDestUnicode};
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i]->setChecked(static_cast<int>(i) + 1 == format);
    }
    if (menu == FormatMenu::Source) mnuSourceAuto->setChecked(format == kAuto);
}

void frmSplash::EnableUndoItem(bool enabled) { mnuUndo->setEnabled(enabled); }

void frmSplash::CheckDisplayStatusItem(bool checked) { mnuDisplayStatus->setChecked(checked); }

void frmSplash::OpenStatusDialog() {
    dlgStatus::Open(SourceFormat(), DestFormat(), QString::fromStdString(AutoReading()));
}

void frmSplash::mnuShowTable_Click() { dlgTable::Open(); }
void frmSplash::mnuHelp_Click() { frmHelp::Open(); }
void frmSplash::mnuAbout_Click() { frmAbout::Open(); }

void frmSplash::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    AbandonConversions();
    // The user asked to quit: a settings file that cannot be written is reported, and the rest
    // of the sequence runs all the same.
    SaveSettings();
    hotKey_.UnregisterAppHotKey();
    RemoveTrayIcon();
    emit ShutdownDone();
    deleteLater();
}

void frmSplash::TrayIcon_Activated(QSystemTrayIcon::ActivationReason reason) {
    if (TrayMouseMessage(reason) != 2 || shutDown_) return;
    mnuPopup->popup(QCursor::pos());
}

#include "shell/frmSplash.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QLoggingCategory>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <map>
#include <string_view>
#include <utility>

#include "shell/modHotKeyNotice.h"
#include "shell/modMiscRoutines.h"
#include "shell/modSystemTray.h"
#include "windows/modWindows.h"

using namespace litvorot;

namespace {

// Silent unless asked for: QT_LOGGING_RULES="litvorot.settings=true".
Q_LOGGING_CATEGORY(lcSettings, "litvorot.settings", QtWarningMsg)
// QT_LOGGING_RULES="litvorot.selection=true".
Q_LOGGING_CATEGORY(lcSelectionEnd, "litvorot.selection", QtWarningMsg)
const QString kSmallIconPath = QStringLiteral(":/litvorot/icon-16.png");
}  // namespace

// The controller's platform under Qt. Menu items are found by their object names, which the
// table gives them.
class frmSplash::Desktop final : public Platform {
  public:
    Desktop(Clipboard& clipboard, HotKey& hotKey, std::filesystem::path noticeFile,
            SelectionDesktop* selection, HotKey* selectionKey)
        : clipboard_(clipboard),
          hotKey_(hotKey),
          noticeFile_(std::move(noticeFile)),
          selection_(selection),
          selectionKey_(selectionKey) {}
    frmSplash* window = nullptr;

    Clipboard& AppClipboard() override { return clipboard_; }
    HotKey& AppHotKey() override { return hotKey_; }
    SelectionDesktop* AppSelectionDesktop() override { return selection_; }
    HotKey* AppSelectionHotKey() override { return selectionKey_; }

    void ShowSplash() override {
        window->resize(window->imgSplash->size());
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            window->move(screen->availableGeometry().center() - window->rect().center());
        }
        window->show();
    }
    void HideSplash() override { window->hide(); }
    void Pause(int seconds) override { litvorot::Pause(seconds); }

    void AddTrayIcon(std::string_view tip) override {
        frmSplash* owner = window;
        litvorot::AddTrayIcon(QString::fromUtf8(tip), owner->SmallIcon(), *owner,
                              [owner](QSystemTrayIcon::ActivationReason reason) {
                                  owner->TrayIcon_Activated(reason);
                              });
    }
    void RemoveTrayIcon() override { litvorot::RemoveTrayIcon(); }

    void SetMenuItemChecked(const MenuItem& item, bool checked) override {
        if (QAction* action = ItemAction(item)) action->setChecked(checked);
    }
    void SetMenuItemEnabled(const MenuItem& item, bool enabled) override {
        if (QAction* action = ItemAction(item)) action->setEnabled(enabled);
    }

    void OpenStatusDialog(TextFormat source, TextFormat dest, const std::string& reading) override {
        windows::OpenStatusDialog(source, dest, reading);
    }
    void OpenWindow(AppWindow which) override { windows::OpenAppWindow(which); }

    void SettingsFileChosen(const std::filesystem::path& path, bool read) override {
        qCInfo(lcSettings) << "settings file" << QString::fromStdString(path.string())
                           << (read ? "read" : "not read: the defaults apply");
    }

    // Shown from the event loop, after the controller has finished what it was doing: a message
    // box runs an event loop of its own, which must not run inside a conversion.
    void ShowMessage(std::string_view text) override {
        QTimer::singleShot(0, QCoreApplication::instance(),
                           [message = std::string(text)] { litvorot::ShowMessage(message); });
    }
    void ShowNotice(std::string_view title, std::string_view text) override {
        if (QSystemTrayIcon* icon = TrayIcon()) {
            icon->showMessage(QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())),
                              QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                              QSystemTrayIcon::Information);
        }
    }
    void ReportHotKey(bool registered) override { ReportHotKeyState(registered, noticeFile_); }
    void SelectionReplaced(std::string_view outcome) override {
        qCInfo(lcSelectionEnd) << "the replacement ended:"
                               << QString::fromUtf8(outcome.data(),
                                                    static_cast<qsizetype>(outcome.size()));
    }
    void ReportSelectionHotKey(bool registered) override {
        ReportSelectionKeyState(registered, noticeFile_);
    }
    void CallAfter(std::chrono::milliseconds delay, std::function<void()> callback) override {
        QTimer::singleShot(delay, QCoreApplication::instance(), std::move(callback));
    }

    void CloseMainWindow() override {
        emit window->ShutdownDone();
        window->deleteLater();
    }
    void EndProgram() override {
        window->deleteLater();
        QCoreApplication::quit();
    }

  private:
    QAction* ItemAction(const MenuItem& item) const {
        return window->findChild<QAction*>(QString::fromUtf8(item.name));
    }

    Clipboard& clipboard_;
    HotKey& hotKey_;
    std::filesystem::path noticeFile_;
    SelectionDesktop* selection_;
    HotKey* selectionKey_;
};

frmSplash::frmSplash(Clipboard& clipboard, HotKey& hotKey, std::filesystem::path exeDir,
                     std::filesystem::path configHome, std::filesystem::path hotKeyNoticeFile,
                     SelectionDesktop* selection, HotKey* selectionKey)
    : frmSplash(std::make_unique<Desktop>(clipboard, hotKey, std::move(hotKeyNoticeFile), selection,
                                          selectionKey),
                std::move(exeDir), std::move(configHome)) {}

frmSplash::frmSplash(std::unique_ptr<Desktop> desktop, std::filesystem::path exeDir,
                     std::filesystem::path configHome)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint),
      frmSplashBase(*desktop, std::move(exeDir), std::move(configHome)),
      desktop_(std::move(desktop)) {
    desktop_->window = this;
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
    mnuPopup = new QMenu(QString::fromUtf8(kMenuRootCaption), this);
    mnuPopup->setObjectName(QString::fromUtf8(kMenuRoot));
    std::map<std::string_view, QMenu*> menus{{kMenuRoot, mnuPopup}};
    for (const MenuItem& item : MenuItems()) {
        QMenu* parent = menus.at(item.parent);
        const QString name = QString::fromUtf8(item.name);
        const QString caption = QString::fromUtf8(item.caption);
        switch (item.kind) {
            case MenuKind::Submenu: {
                QMenu* menu = parent->addMenu(caption);
                menu->setObjectName(name);
                menus[item.name] = menu;
                break;
            }
            case MenuKind::Separator:
                parent->addSeparator()->setObjectName(name);
                break;
            case MenuKind::Item: {
                QAction* action = parent->addAction(caption);
                action->setObjectName(name);
                action->setCheckable(item.mark != MenuMark::None);
                action->setEnabled(!item.greyed);
                const MenuCommand command = item.command;
                connect(action, &QAction::triggered, this,
                        [this, command] { RunMenuCommand(command); });
                break;
            }
        }
    }
    auto find = [this](const char* name) { return findChild<QAction*>(QString::fromLatin1(name)); };
    mnuOptions = findChild<QMenu*>(QStringLiteral("mnuOptions"));
    mnuSource = findChild<QMenu*>(QStringLiteral("mnuSource"));
    mnuDest = findChild<QMenu*>(QStringLiteral("mnuDest"));
    mnuSourceTranslit = find("mnuSourceTranslit");
    mnuSourceKOI8 = find("mnuSourceKOI8");
    mnuSourceCP1251 = find("mnuSourceCP1251");
    mnuSourceUnicode = find("mnuSourceUnicode");
    mnuSourceAuto = find("mnuSourceAuto");
    mnuDestTranslit = find("mnuDestTranslit");
    mnuDestKOI8 = find("mnuDestKOI8");
    mnuDestCP1251 = find("mnuDestCP1251");
    mnuDestUnicode = find("mnuDestUnicode");
    mnuDisplayStatus = find("mnuDisplayStatus");
    mnuGo = find("mnuGo");
    mnuUndo = find("mnuUndo");
    mnuSep1 = find("mnuSep1");
    mnuShowTable = find("mnuShowTable");
    mnuSep2 = find("mnuSep2");
    mnuHelp = find("mnuHelp");
    mnuAbout = find("mnuAbout");
    mnuExit = find("mnuExit");
}

QIcon frmSplash::SmallIcon() const { return QIcon(kSmallIconPath); }

void frmSplash::TrayIcon_Activated(QSystemTrayIcon::ActivationReason reason) {
    if (TrayMouseMessage(reason) != 2 || ShuttingDown()) return;
    mnuPopup->popup(QCursor::pos());
}

#include "shell/modHotKey_portal.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <QTimer>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusObjectPath>
#include <QtDBus/QDBusVariant>
#include <cstdlib>
#include <optional>

#include "shell/modPortalTypes.h"

namespace litvorot {
namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
// The shortcuts the program binds: its id (the desktop's settings list it by its description, and
// let the user choose other keys) and the keys it asks for.
struct PortalShortcutWanted {
    std::uint32_t modifiers;
    std::uint32_t key;
    const char* id;
    const char* description;
    const char* trigger;
};
constexpr PortalShortcutWanted kShortcuts[] = {
    {kModControl, kKeySpace, "convert", "Convert the clipboard (Litvorot)", "CTRL+space"},
    {kModShift, kKeyPause, "replace-selection",
     "Convert the selected text where it stands (Litvorot)", "SHIFT+Pause"},
};
// How long the portal may take to answer; binding may ask the user on some desktops.
constexpr int kPortalAnswerMs = 30000;

// The portal's answer to one request: its Response signal.
class RequestWaiter : public QObject {
    Q_OBJECT
  public slots:
    void Response(uint code, const QVariantMap& results) {
        code_ = code;
        results_ = results;
        loop_.quit();
    }

  public:
    // Sends `call` (whose options get the handle token) and waits for the Response; nullopt when
    // the call failed, the portal said no, or it did not answer in time.
    std::optional<QVariantMap> Call(QDBusConnection& bus, QDBusMessage call, int optionsIndex) {
        const QString path = ListenForPortalResponse(bus, call, optionsIndex, this,
                                                     SLOT(Response(uint, QVariantMap)));
        const QDBusMessage reply = bus.call(call, QDBus::Block, kPortalAnswerMs);
        if (reply.type() == QDBusMessage::ReplyMessage && !code_) {
            QTimer::singleShot(kPortalAnswerMs, &loop_, &QEventLoop::quit);
            loop_.exec();
        }
        bus.disconnect(kPortalService, path, kRequestInterface, QStringLiteral("Response"), this,
                       SLOT(Response(uint, QVariantMap)));
        if (reply.type() != QDBusMessage::ReplyMessage || code_ != 0u) return std::nullopt;
        return results_;
    }

  private:
    QEventLoop loop_;
    std::optional<uint> code_;
    QVariantMap results_;
};

class PortalHotKey final : public QObject, public HotKey {
    Q_OBJECT
  public:
    ~PortalHotKey() override { UnregisterAppHotKey(); }

    bool RegisterAppHotKey(std::uint32_t modifiers, std::uint32_t key, Handler onPress) override {
        if (registered_) return false;
        registered_ = true;
        // The portal is asked for the combinations the program uses, each under its own id.
        const PortalShortcutWanted* wantedKey = nullptr;
        for (const PortalShortcutWanted& shortcut : kShortcuts) {
            if (shortcut.modifiers == modifiers && shortcut.key == key) wantedKey = &shortcut;
        }
        if (wantedKey == nullptr) return false;
        id_ = QString::fromLatin1(wantedKey->id);
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected() || !PortalOffersShortcuts(bus)) return false;
        RegisterPortalTypes();

        QDBusMessage create = QDBusMessage::createMethodCall(
            kPortalService, kPortalPath, kShortcutsInterface, QStringLiteral("CreateSession"));
        // A session of its own for each shortcut: its token tells the sessions apart.
        create.setArguments(
            {QVariantMap{{QStringLiteral("session_handle_token"),
                          QStringLiteral("litvorot_%1")
                              .arg(QString(id_).replace(QLatin1Char('-'), QLatin1Char('_')))}}});
        const auto created = RequestWaiter().Call(bus, create, 0);
        if (!created) return false;
        // A string in the interface's first version, an object path in some portals.
        const QVariant handle = created->value(QStringLiteral("session_handle"));
        session_ = handle.userType() == qMetaTypeId<QDBusObjectPath>()
                       ? handle.value<QDBusObjectPath>().path()
                       : handle.toString();
        if (session_.isEmpty()) return false;

        const PortalShortcutList wanted{
            {id_,
             {{QStringLiteral("description"), QString::fromUtf8(wantedKey->description)},
              {QStringLiteral("preferred_trigger"), QString::fromLatin1(wantedKey->trigger)}}}};
        QDBusMessage bind = QDBusMessage::createMethodCall(
            kPortalService, kPortalPath, kShortcutsInterface, QStringLiteral("BindShortcuts"));
        bind.setArguments({QVariant::fromValue(QDBusObjectPath(session_)),
                           QVariant::fromValue(wanted), QString(), QVariantMap{}});
        const auto bound = RequestWaiter().Call(bus, bind, 3);
        if (!bound || !Contains(bound->value(QStringLiteral("shortcuts")), id_)) {
            CloseSession();
            return false;
        }
        handler_ = std::move(onPress);
        bus.connect(kPortalService, kPortalPath, kShortcutsInterface, QStringLiteral("Activated"),
                    this, SLOT(Activated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
        listening_ = true;
        return true;
    }

    void UnregisterAppHotKey() override {
        if (listening_) {
            QDBusConnection::sessionBus().disconnect(
                kPortalService, kPortalPath, kShortcutsInterface, QStringLiteral("Activated"), this,
                SLOT(Activated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
            listening_ = false;
        }
        handler_ = nullptr;
        CloseSession();
    }

  private slots:
    void Activated(const QDBusObjectPath& session, const QString& id, qulonglong,
                   const QVariantMap&) {
        if (session.path() != session_ || id != id_ || !handler_) return;
        // Like a key press: the command runs after the signal has been delivered.
        QMetaObject::invokeMethod(QCoreApplication::instance(), handler_, Qt::QueuedConnection);
    }

  private:
    static bool PortalOffersShortcuts(QDBusConnection& bus) {
        QDBusMessage get = QDBusMessage::createMethodCall(
            kPortalService, kPortalPath, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("Get"));
        get.setArguments({kShortcutsInterface, QStringLiteral("version")});
        const QDBusMessage reply = bus.call(get, QDBus::Block, 5000);
        return reply.type() == QDBusMessage::ReplyMessage;
    }

    static bool Contains(const QVariant& shortcuts, const QString& id) {
        PortalShortcutList list;
        if (shortcuts.canConvert<QDBusArgument>()) {
            shortcuts.value<QDBusArgument>() >> list;
        } else {
            list = shortcuts.value<PortalShortcutList>();
        }
        for (const PortalShortcut& shortcut : list) {
            if (shortcut.id == id) return true;
        }
        return false;
    }

    void CloseSession() {
        if (session_.isEmpty()) return;
        QDBusConnection::sessionBus().call(
            QDBusMessage::createMethodCall(kPortalService, session_,
                                           QStringLiteral("org.freedesktop.portal.Session"),
                                           QStringLiteral("Close")),
            QDBus::NoBlock);
        session_.clear();
    }

    bool registered_ = false;
    bool listening_ = false;
    QString id_;
    QString session_;
    Handler handler_;
};

// The portal where it binds the key, the X11 grab otherwise.
class SessionHotKey final : public HotKey {
  public:
    bool RegisterAppHotKey(std::uint32_t modifiers, std::uint32_t key, Handler onPress) override {
        if (registered_) return false;
        registered_ = true;
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        if (wayland != nullptr && *wayland != '\0') {
            auto portal = CreatePortalHotKey();
            if (portal->RegisterAppHotKey(modifiers, key, onPress)) {
                active_ = std::move(portal);
                return true;
            }
        }
        active_ = CreateAppHotKey();
        return active_->RegisterAppHotKey(modifiers, key, std::move(onPress));
    }

    void UnregisterAppHotKey() override {
        if (active_) active_->UnregisterAppHotKey();
    }

    bool PressIsRepeat() const override { return active_ && active_->PressIsRepeat(); }

  private:
    bool registered_ = false;
    std::unique_ptr<HotKey> active_;
};

}  // namespace

std::unique_ptr<HotKey> CreatePortalHotKey() { return std::make_unique<PortalHotKey>(); }
std::unique_ptr<HotKey> CreateSessionHotKey() { return std::make_unique<SessionHotKey>(); }

}  // namespace litvorot

#include "modHotKey_portal.moc"

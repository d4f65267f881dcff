#include <QLoggingCategory>
#include <QObject>
#include <QTimer>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusObjectPath>
#include <QtDBus/QDBusPendingCallWatcher>
#include <QtDBus/QDBusPendingReply>
#include <deque>
#include <utility>

#include "shell/modKeySender.h"
#include "shell/modPortalTypes.h"
#include "shell/modRestoreToken.h"
#include "shell/modWaylandSeat.h"

namespace litvorot {

namespace {

// Silent unless asked for: QT_LOGGING_RULES="litvorot.selection=true".
Q_LOGGING_CATEGORY(lcPortalKeys, "litvorot.selection", QtWarningMsg)

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kRemoteDesktop = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString kSessionInterface = QStringLiteral("org.freedesktop.portal.Session");

// The devices asked for: the keyboard alone (no pointer, no screen).
constexpr std::uint32_t kKeyboardDevice = 1;
// Kept until the permission is taken back (the restore token).
constexpr std::uint32_t kPersistUntilRevoked = 2;
// How long the user may take over the desktop's question. The replacement waits meanwhile, with
// the conversions queued behind it; past this it is taken as a refusal.
constexpr int kAnswerLimitMs = 60000;
// A session that can be taken up again without asking (the portal gave a restore token) is
// closed after this long without keys, so that the desktop's sign of remote control (GNOME's
// top bar) does not stay for as long as the program runs.
constexpr int kIdleCloseMs = 60000;

// One portal request: its Response listened for before the call is made, answered once.
class Request final : public QObject {
    Q_OBJECT
  public:
    using Done = std::function<void(std::optional<QVariantMap>)>;

    // `call` gets its handle token in the options at `optionsIndex`.
    Request(QDBusMessage call, int optionsIndex, Done done, QObject* parent)
        : QObject(parent), done_(std::move(done)) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        path_ = ListenForPortalResponse(bus, call, optionsIndex, this,
                                        SLOT(Response(uint, QVariantMap)));
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kAnswerLimitMs), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](auto* answer) {
            answer->deleteLater();
            // An error instead of a request: no portal, or no remote desktop in it.
            if (answer->isError()) {
                qCInfo(lcPortalKeys) << "the portal's remote desktop:" << answer->error().message();
                Finish(std::nullopt);
            }
        });
        QTimer::singleShot(kAnswerLimitMs, this, [this] {
            qCInfo(lcPortalKeys) << "the portal's question was not answered in time";
            QDBusConnection::sessionBus().call(
                QDBusMessage::createMethodCall(kPortalService, path_, kRequestInterface,
                                               QStringLiteral("Close")),
                QDBus::NoBlock);
            Finish(std::nullopt);
        });
    }

  public slots:
    void Response(uint code, const QVariantMap& results) {
        // 0: granted; 1: the user said no; 2: it ended otherwise.
        Finish(code == 0 ? std::optional<QVariantMap>(results) : std::nullopt);
    }

  private:
    void Finish(std::optional<QVariantMap> results) {
        QDBusConnection::sessionBus().disconnect(kPortalService, path_, kRequestInterface,
                                                 QStringLiteral("Response"), this,
                                                 SLOT(Response(uint, QVariantMap)));
        if (auto done = std::exchange(done_, nullptr)) done(std::move(results));
        deleteLater();
    }

    QString path_;
    Done done_;
};

class PortalKeys final : public QObject, public KeySender {
    Q_OBJECT
  public:
    explicit PortalKeys(std::filesystem::path tokenFile) : tokenFile_(std::move(tokenFile)) {
        idle_.setSingleShot(true);
        connect(&idle_, &QTimer::timeout, this, [this] {
            qCInfo(lcPortalKeys) << "the remote desktop session is closed until keys are needed";
            CloseSession();
        });
    }
    ~PortalKeys() override { CloseSession(); }

    void Prepare(std::function<void(bool)> done) override {
        switch (state_) {
            case State::kReady:
                return done(true);
            case State::kRefused:
                return done(false);
            case State::kAsking:
                waiting_.push_back(std::move(done));
                return;
            case State::kIdle:
                break;
        }
        waiting_.push_back(std::move(done));
        Ask();
    }

    void Send(const std::vector<KeyStroke>& strokes) override {
        if (state_ != State::kReady) return;
        queue_.insert(queue_.end(), strokes.begin(), strokes.end());
        if (!sending_) SendNext();
        if (canRestore_) idle_.start(kIdleCloseMs);
    }

    bool HeldModifiersJoin() const override { return true; }

  private slots:
    void Closed(const QVariantMap&) {
        // The desktop ended the session (the user stopped it from the desktop's own control):
        // it is asked for again at the next need, with the token where there is one.
        qCInfo(lcPortalKeys) << "the desktop closed the remote desktop session";
        Forget();
    }

  private:
    enum class State { kIdle, kAsking, kReady, kRefused };

    // One key at a time, the next once the portal has answered: the portal takes each call on a
    // thread of its own, so calls sent together can reach the desktop in another order (a Shift
    // let go before the Left it was held for).
    void SendNext() {
        sending_ = !queue_.empty() && state_ == State::kReady;
        if (!sending_) {
            if (!queue_.empty()) queue_.clear();
            qCInfo(lcPortalKeys) << "the portal has taken every key";
            return;
        }
        const KeyStroke stroke = queue_.front();
        queue_.pop_front();
        QDBusMessage key = QDBusMessage::createMethodCall(
            kPortalService, kPortalPath, kRemoteDesktop, QStringLiteral("NotifyKeyboardKeycode"));
        key.setArguments({QVariant::fromValue(QDBusObjectPath(session_)), QVariantMap{},
                          static_cast<int>(keys_.Code(stroke.key)),
                          static_cast<uint>(stroke.press ? 1 : 0)});
        auto* answer =
            new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(key), this);
        connect(answer, &QDBusPendingCallWatcher::finished, this, [this](auto* call) {
            call->deleteLater();
            SendNext();
        });
    }

    // The keys are the seat's keys (evdev codes, which the portal takes whatever the layout):
    // looked up in the keymap every window has, or the user's default where the program sees
    // no Wayland seat.
    bool FindKeys() {
        if (!seat_) seat_ = ConnectWaylandSeat();
        std::string keymap;
        if (seat_) {
            seat_->Catch();
            keymap = seat_->Keymap();
        }
        std::optional<KeymapKeys> keys = LookUpKeys(keymap);
        if (!keys) keys = LookUpKeys(DefaultKeymap());
        if (keys) keys_ = *keys;
        return keys.has_value();
    }

    void Ask() {
        if (!QDBusConnection::sessionBus().isConnected() || !FindKeys()) return Answer(false);
        state_ = State::kAsking;
        QDBusMessage create = QDBusMessage::createMethodCall(
            kPortalService, kPortalPath, kRemoteDesktop, QStringLiteral("CreateSession"));
        create.setArguments(
            {QVariantMap{{QStringLiteral("session_handle_token"), NewPortalToken()}}});
        new Request(create, 0, Then([this](const QVariantMap& results) { Created(results); }),
                    this);
    }

    void Created(const QVariantMap& results) {
        // A string in the interface's first version, an object path in some portals.
        const QVariant handle = results.value(QStringLiteral("session_handle"));
        session_ = handle.userType() == qMetaTypeId<QDBusObjectPath>()
                       ? handle.value<QDBusObjectPath>().path()
                       : handle.toString();
        if (session_.isEmpty()) return Answer(false);
        QDBusConnection::sessionBus().connect(kPortalService, session_, kSessionInterface,
                                              QStringLiteral("Closed"), this,
                                              SLOT(Closed(QVariantMap)));
        QVariantMap options{{QStringLiteral("types"), kKeyboardDevice},
                            {QStringLiteral("persist_mode"), kPersistUntilRevoked}};
        // The permission given at an earlier run: the desktop lets the program in without
        // asking the user again.
        const std::string token = ReadRestoreToken(tokenFile_);
        if (!token.empty())
            options.insert(QStringLiteral("restore_token"), QString::fromStdString(token));
        QDBusMessage select = QDBusMessage::createMethodCall(
            kPortalService, kPortalPath, kRemoteDesktop, QStringLiteral("SelectDevices"));
        select.setArguments({QVariant::fromValue(QDBusObjectPath(session_)), options});
        new Request(select, 1, Then([this](const QVariantMap&) { Selected(); }), this);
    }

    void Selected() {
        QDBusMessage start = QDBusMessage::createMethodCall(
            kPortalService, kPortalPath, kRemoteDesktop, QStringLiteral("Start"));
        start.setArguments(
            {QVariant::fromValue(QDBusObjectPath(session_)), QString(), QVariantMap{}});
        new Request(start, 2, Then([this](const QVariantMap& results) { Started(results); }), this);
    }

    void Started(const QVariantMap& results) {
        if ((results.value(QStringLiteral("devices")).toUInt() & kKeyboardDevice) == 0) {
            qCInfo(lcPortalKeys) << "the desktop gave no keyboard";
            return Answer(false);
        }
        // A token is good for one start: the next run shows the new one.
        const QString token = results.value(QStringLiteral("restore_token")).toString();
        canRestore_ = !token.isEmpty();
        if (canRestore_ && !WriteRestoreToken(tokenFile_, token.toStdString())) {
            qCInfo(lcPortalKeys) << "the restore token could not be kept";
        }
        qCInfo(lcPortalKeys) << "keys through the portal's remote desktop"
                             << (canRestore_ ? "(kept for the next run)" : "");
        Answer(true);
    }

    // The next step on a granted request; a refusal, an error or no answer ends the asking.
    Request::Done Then(std::function<void(const QVariantMap&)> next) {
        return [this, next = std::move(next)](std::optional<QVariantMap> results) {
            if (state_ != State::kAsking) return;
            if (!results) {
                qCInfo(lcPortalKeys) << "the desktop did not allow keys";
                return Answer(false);
            }
            next(*results);
        };
    }

    // Asked once a run: a refusal stands until the program starts again.
    void Answer(bool granted) {
        if (!granted) CloseSession();
        state_ = granted ? State::kReady : State::kRefused;
        for (auto& done : std::exchange(waiting_, {})) done(granted);
    }

    void CloseSession() {
        if (session_.isEmpty()) return;
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.disconnect(kPortalService, session_, kSessionInterface, QStringLiteral("Closed"), this,
                       SLOT(Closed(QVariantMap)));
        bus.call(QDBusMessage::createMethodCall(kPortalService, session_, kSessionInterface,
                                                QStringLiteral("Close")),
                 QDBus::NoBlock);
        Forget();
    }

    void Forget() {
        session_.clear();
        idle_.stop();
        if (state_ == State::kReady) state_ = State::kIdle;
    }

    std::filesystem::path tokenFile_;
    State state_ = State::kIdle;
    std::vector<std::function<void(bool)>> waiting_;
    QString session_;
    bool canRestore_ = false;
    std::unique_ptr<WaylandSeat> seat_;
    KeymapKeys keys_;
    std::deque<KeyStroke> queue_;  // keys not yet sent
    bool sending_ = false;
    QTimer idle_;
};

}  // namespace

std::unique_ptr<KeySender> CreatePortalKeySender(std::filesystem::path tokenFile) {
    return std::make_unique<PortalKeys>(std::move(tokenFile));
}

}  // namespace litvorot

#include "modKeySender_portal.moc"

// A desktop portal backend for the tests: implements org.freedesktop.impl.portal.GlobalShortcuts
// for the real xdg-desktop-portal, binds whatever it is asked for (printing "bound ID TRIGGER"
// for each shortcut), and activates every bound shortcut when its Press method is called:
//
//   dbus-send --session --dest=org.litvorot.TestPortal /org/litvorot/TestPortal
//       org.litvorot.TestPortal.Press
//
// It also implements org.freedesktop.impl.portal.RemoteDesktop (as org.litvorot.TestRemoteDesktop),
// for the keyboard: it prints
// each request ("remote-desktop start"), grants it with a restore token ("token-N") unless its
// Refuse method was called with true, and hands every key it is sent to the tests' keyboard
// (test_keyboard) through the FIFO given with --keys, so that the keys reach the windows as the
// desktop's would.
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusObjectPath>
#include <cstdio>

#include "shell/modPortalTypes.h"

using litvorot::PortalShortcutList;

class GlobalShortcuts : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.impl.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)
  public:
    uint version() const { return 1; }

  public slots:
    uint CreateSession(const QDBusObjectPath&, const QDBusObjectPath& session, const QString&,
                       const QVariantMap&, QVariantMap& results) {
        sessions_.insert(session.path(), {});
        results.insert(QStringLiteral("session_handle"), session.path());
        return 0;
    }

    uint BindShortcuts(const QDBusObjectPath&, const QDBusObjectPath& session,
                       const QList<litvorot::PortalShortcut>& shortcuts, const QString&,
                       const QVariantMap&, QVariantMap& results) {
        if (!sessions_.contains(session.path())) return 2;
        PortalShortcutList bound;
        for (const auto& shortcut : shortcuts) {
            const QString trigger =
                shortcut.properties.value(QStringLiteral("preferred_trigger")).toString();
            std::printf("bound %s %s\n", qPrintable(shortcut.id), qPrintable(trigger));
            std::fflush(stdout);
            bound.append({shortcut.id,
                          {{QStringLiteral("description"),
                            shortcut.properties.value(QStringLiteral("description"))},
                           {QStringLiteral("trigger_description"), trigger}}});
        }
        sessions_[session.path()] = bound;
        results.insert(QStringLiteral("shortcuts"), QVariant::fromValue(bound));
        return 0;
    }

    uint ListShortcuts(const QDBusObjectPath&, const QDBusObjectPath& session,
                       QVariantMap& results) {
        results.insert(QStringLiteral("shortcuts"),
                       QVariant::fromValue(sessions_.value(session.path())));
        return 0;
    }

  signals:
    void Activated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                   const QVariantMap& options);
    void Deactivated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                     const QVariantMap& options);

  public:
    // Presses every bound shortcut once: Activated, then Deactivated.
    int Press() {
        int count = 0;
        const qulonglong now = static_cast<qulonglong>(QDateTime::currentMSecsSinceEpoch());
        for (auto it = sessions_.cbegin(); it != sessions_.cend(); ++it) {
            for (const auto& shortcut : it.value()) {
                emit Activated(QDBusObjectPath(it.key()), shortcut.id, now, {});
                emit Deactivated(QDBusObjectPath(it.key()), shortcut.id, now, {});
                ++count;
            }
        }
        return count;
    }

  private:
    QMap<QString, PortalShortcutList> sessions_;
};

class RemoteDesktop : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.impl.portal.RemoteDesktop")
    Q_PROPERTY(uint AvailableDeviceTypes READ AvailableDeviceTypes)
    Q_PROPERTY(uint version READ version)
  public:
    explicit RemoteDesktop(const QString& keys) : keys_(keys) {}
    uint AvailableDeviceTypes() const { return 1; }  // the keyboard
    uint version() const { return 1; }
    bool refuse = false;

  public slots:
    uint CreateSession(const QDBusObjectPath&, const QDBusObjectPath& session, const QString&,
                       const QVariantMap&, QVariantMap& results) {
        Print(QStringLiteral("remote-desktop create"));
        results.insert(QStringLiteral("session_id"), session.path());
        return 0;
    }

    // Prints what it was asked for: the portal passes on only the options it knows.
    uint SelectDevices(const QDBusObjectPath&, const QDBusObjectPath&, const QString&,
                       const QVariantMap& options, QVariantMap&) {
        QStringList given;
        for (auto it = options.cbegin(); it != options.cend(); ++it) {
            given << it.key() + QLatin1Char('=') + it.value().toString();
        }
        given.sort();
        Print(QStringLiteral("remote-desktop select ") + given.join(QLatin1Char(' ')));
        return 0;
    }

    uint Start(const QDBusObjectPath&, const QDBusObjectPath&, const QString&, const QString&,
               const QVariantMap&, QVariantMap& results) {
        if (refuse) {
            Print(QStringLiteral("remote-desktop refused"));
            return 1;
        }
        const QString token = QStringLiteral("token-%1").arg(++starts_);
        Print(QStringLiteral("remote-desktop start ") + token);
        results.insert(QStringLiteral("devices"), 1u);
        results.insert(QStringLiteral("restore_token"), token);
        return 0;
    }

    void NotifyKeyboardKeycode(const QDBusObjectPath&, const QVariantMap&, int keycode,
                               uint state) {
        if (!keys_.isOpen() && !keys_.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return;
        keys_.write(QStringLiteral("code:%1:%2\n").arg(keycode).arg(state).toLatin1());
    }

  private:
    static void Print(const QString& line) {
        std::printf("%s\n", qPrintable(line));
        std::fflush(stdout);
    }

    QFile keys_;  // the FIFO of the tests' keyboard
    int starts_ = 0;
};

class Control : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.litvorot.TestPortal")
  public:
    Control(GlobalShortcuts& shortcuts, RemoteDesktop& remote)
        : shortcuts_(shortcuts), remote_(remote) {}
  public slots:
    int Press() { return shortcuts_.Press(); }
    // The next remote desktop requests are refused (true) or granted.
    void Refuse(bool refuse) { remote_.refuse = refuse; }

  private:
    GlobalShortcuts& shortcuts_;
    RemoteDesktop& remote_;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    litvorot::RegisterPortalTypes();
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QStringList arguments = QCoreApplication::arguments();
    const qsizetype keys = arguments.indexOf(QStringLiteral("--keys"));
    GlobalShortcuts shortcuts;
    RemoteDesktop remote(keys > 0 ? arguments.value(keys + 1) : QString());
    Control control(shortcuts, remote);
    constexpr auto kExport = QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                             QDBusConnection::ExportAllProperties;
    // The remote desktop under a name of its own, on a connection of its own: a portal backend's
    // interfaces share one object path.
    QDBusConnection remoteBus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("remote"));
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &shortcuts,
                            kExport) ||
        !remoteBus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &remote,
                                  kExport) ||
        !remoteBus.registerService(QStringLiteral("org.litvorot.TestRemoteDesktop")) ||
        !bus.registerObject(QStringLiteral("/org/litvorot/TestPortal"), &control,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.litvorot.TestPortal"))) {
        std::fprintf(stderr, "test portal: cannot register on the session bus\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

#include "test_portal_backend.moc"

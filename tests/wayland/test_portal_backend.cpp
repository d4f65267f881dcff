// A desktop portal backend for the tests: implements org.freedesktop.impl.portal.GlobalShortcuts
// for the real xdg-desktop-portal, binds whatever it is asked for (printing "bound ID TRIGGER"
// for each shortcut), and activates every bound shortcut when its Press method is called:
//
//   dbus-send --session --dest=org.litvorot.TestPortal /org/litvorot/TestPortal
//       org.litvorot.TestPortal.Press
#include <QCoreApplication>
#include <QDateTime>
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

class Control : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.litvorot.TestPortal")
  public:
    explicit Control(GlobalShortcuts& shortcuts) : shortcuts_(shortcuts) {}
  public slots:
    int Press() { return shortcuts_.Press(); }

  private:
    GlobalShortcuts& shortcuts_;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    litvorot::RegisterPortalTypes();
    QDBusConnection bus = QDBusConnection::sessionBus();
    GlobalShortcuts shortcuts;
    Control control(shortcuts);
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &shortcuts,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                QDBusConnection::ExportAllProperties) ||
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

// The shortcut list of the desktop portal's GlobalShortcuts interface, a(sa{sv}): each entry an
// identifier and its properties (description, preferred_trigger, trigger_description).
#pragma once

#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <QVariantMap>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMetaType>

namespace litvorot {

struct PortalShortcut {
    QString id;
    QVariantMap properties;
};
using PortalShortcutList = QList<PortalShortcut>;

inline QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

inline const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

// A new handle token for a portal request, and the path of the Request object the portal makes
// for it (known before the call, so that its Response is listened for before it can come).
inline QString NewPortalToken() {
    return QStringLiteral("litvorot%1").arg(QRandomGenerator::global()->generate());
}
inline QString PortalRequestPath(const QDBusConnection& bus, const QString& token) {
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

// Makes the types known to Qt DBus; call before the first call that carries them.
inline void RegisterPortalTypes() {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<PortalShortcutList>();
}

}  // namespace litvorot

Q_DECLARE_METATYPE(litvorot::PortalShortcut)

// The shortcut list of the desktop portal's GlobalShortcuts interface, a(sa{sv}): each entry an
// identifier and its properties (description, preferred_trigger, trigger_description).
#pragma once

#include <QList>
#include <QString>
#include <QVariantMap>
#include <QtDBus/QDBusArgument>
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

// Makes the types known to Qt DBus; call before the first call that carries them.
inline void RegisterPortalTypes() {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<PortalShortcutList>();
}

}  // namespace litvorot

Q_DECLARE_METATYPE(litvorot::PortalShortcut)

// The shortcut list of the desktop portal's GlobalShortcuts interface, a(sa{sv}): each entry an
// identifier and its properties (description, preferred_trigger, trigger_description).
#pragma once

#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <QVariantMap>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
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

// A new token for a portal's request or session.
inline QString NewPortalToken() {
    return QStringLiteral("litvorot%1").arg(QRandomGenerator::global()->generate());
}

// Makes `call` a portal request: its options (the argument at `optionsIndex`) get a new handle
// token, and `receiver`'s `slot` (uint code, QVariantMap results) is told of the Response. The
// path of the Request object the portal makes for the call is known before it is made: the
// Response is listened for before it can come. Answers that path.
inline QString ListenForPortalResponse(QDBusConnection& bus, QDBusMessage& call, int optionsIndex,
                                       QObject* receiver, const char* slot) {
    const QString token = NewPortalToken();
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString path =
        QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    bus.connect(QStringLiteral("org.freedesktop.portal.Desktop"), path,
                QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"),
                receiver, slot);
    QList<QVariant> arguments = call.arguments();
    QVariantMap options = arguments.value(optionsIndex).toMap();
    options.insert(QStringLiteral("handle_token"), token);
    arguments[optionsIndex] = options;
    call.setArguments(arguments);
    return path;
}

// Makes the types known to Qt DBus; call before the first call that carries them.
inline void RegisterPortalTypes() {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<PortalShortcutList>();
}

}  // namespace litvorot

Q_DECLARE_METATYPE(litvorot::PortalShortcut)

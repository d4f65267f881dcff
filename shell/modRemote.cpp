#include "shell/modRemote.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QThread>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusError>
#include <QtDBus/QDBusInterface>
#include <QtDBus/QDBusMessage>
#include <iostream>

#include "detect/modDetect.h"
#include "shell/frmSplash.h"
#include "shell/modRemoteAnswer.h"

namespace litvorot {
namespace {

// Commands wait this long for a program that is still starting (its splash picture).
constexpr int kStartingWaitMs = 10000;
// A command that opens a message box waits for the user.
constexpr int kCallTimeoutMs = 10 * 60 * 1000;
const QString kNotReady = QStringLiteral("org.litvorot.Litvorot.Error.Starting");
const QString kBadFormat = QStringLiteral("org.litvorot.Litvorot.Error.BadFormat");

void Say(const QString& text) { std::cerr << "litvorot: " << text.toStdString() << '\n'; }

}  // namespace

int SendRemoteCommand(const RemoteCommand& command) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        Say(QStringLiteral("no session D-Bus, so no running Litvorot can be reached (%1)")
                .arg(bus.lastError().message()));
        return 1;
    }
    QDBusConnectionInterface* names = bus.interface();
    if (names == nullptr || !names->isServiceRegistered(kRemoteService).value()) {
        Say(QStringLiteral("Litvorot is not running in this session (start it with 'litvorot')"));
        return 1;
    }
    QList<std::pair<QString, QVariantList>> calls;
    if (command.source) calls.append({QStringLiteral("SetSourceFormat"), {int{*command.source}}});
    if (command.dest) calls.append({QStringLiteral("SetDestFormat"), {int{*command.dest}}});
    if (command.go) calls.append({QStringLiteral("Go"), {}});
    if (command.replaceSelection) calls.append({QStringLiteral("ReplaceSelection"), {}});
    if (command.exit) calls.append({QStringLiteral("Exit"), {}});

    const QDeadlineTimer startingDeadline(kStartingWaitMs);
    for (const auto& [method, arguments] : calls) {
        for (;;) {
            QDBusMessage call = QDBusMessage::createMethodCall(kRemoteService, kRemotePath,
                                                               kRemoteInterface, method);
            call.setArguments(arguments);
            const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
            if (reply.type() == QDBusMessage::ReplyMessage) break;
            // A program still starting has the name but serves no object yet.
            const bool starting =
                reply.errorName() == kNotReady ||
                reply.errorName() == QStringLiteral("org.freedesktop.DBus.Error.UnknownObject") ||
                reply.errorName() == QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod");
            if (starting && !startingDeadline.hasExpired()) {
                QThread::msleep(50);
                continue;
            }
            for (const NotConverted& answer : kNotConverted) {
                if (reply.errorName() == QLatin1String(answer.error)) {
                    Say(reply.errorMessage());
                    return answer.status;
                }
            }
            if (reply.errorName() == QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown") ||
                reply.errorName() == QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner")) {
                Say(QStringLiteral("Litvorot is not running in this session (it ended)"));
            } else {
                Say(QStringLiteral("the running Litvorot did not carry out %1: %2")
                        .arg(method, reply.errorMessage()));
            }
            return 1;
        }
    }
    return 0;
}

RemoteControl::RemoteControl(QObject* parent) : QObject(parent) {}

RemoteControl::~RemoteControl() { Release(); }

RemoteControl::Claim RemoteControl::ClaimSession() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr) return Claim::NoBus;
    // Registered before the name, so that a caller that sees the name finds the object; until
    // Serve a call is answered with "starting".
    registered_ = bus.registerObject(kRemotePath, this, QDBusConnection::ExportScriptableSlots);
    const auto reply =
        bus.interface()->registerService(kRemoteService, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        owned_ = true;
        return Claim::Owned;
    }
    if (registered_) bus.unregisterObject(kRemotePath);
    registered_ = false;
    // Another program has the name, or the bus refused us; both mean: one runs already.
    return reply.isValid() ? Claim::AlreadyRunning : Claim::NoBus;
}

void RemoteControl::Serve(frmSplash& form) { form_ = &form; }

void RemoteControl::Release() {
    form_.clear();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (registered_) bus.unregisterObject(kRemotePath);
    registered_ = false;
    if (owned_ && bus.isConnected() && bus.interface() != nullptr) {
        bus.interface()->unregisterService(kRemoteService);
    }
    owned_ = false;
}

frmSplash* RemoteControl::Form() {
    if (form_.isNull() && calledFromDBus()) {
        sendErrorReply(kNotReady, QStringLiteral("Litvorot is starting"));
    }
    return form_.data();
}

// The caller hears back once the converted text is in place, or that nothing was converted and
// why: a script may paste as soon as `litvorot --go` returns.
template <typename Command>
void RemoteControl::Answered(Command command) {
    frmSplash* form = Form();
    if (form == nullptr) return;
    if (!calledFromDBus()) return (form->*command)({}, false);
    setDelayedReply(true);
    const QDBusMessage call = message();
    QDBusConnection bus = connection();
    (form->*command)(
        [call, bus](frmSplashBase::Outcome outcome) mutable {
            if (outcome == frmSplashBase::Outcome::kConverted) {
                bus.send(call.createReply());
                return;
            }
            for (const NotConverted& answer : kNotConverted) {
                if (answer.outcome == outcome) {
                    bus.send(call.createErrorReply(QLatin1String(answer.error),
                                                   QString::fromUtf8(answer.message)));
                    return;
                }
            }
        },
        false);
}

void RemoteControl::Go() { Answered(&frmSplashBase::Convert); }

void RemoteControl::ReplaceSelection() { Answered(&frmSplashBase::ReplaceSelection); }

frmSplash* RemoteControl::FormForFormat(int format, bool allowAuto) {
    frmSplash* form = Form();
    if (form != nullptr && (format < kKoi8 || format > kUnicode) &&
        !(allowAuto && format == kAuto)) {
        if (calledFromDBus()) {
            sendErrorReply(kBadFormat, QStringLiteral("format %1 is not 1-4").arg(format));
        }
        return nullptr;
    }
    return form;
}

void RemoteControl::SetSourceFormat(int format) {
    if (frmSplash* form = FormForFormat(format, true))
        form->SetSourceFormat(static_cast<TextFormat>(format));
}

void RemoteControl::SetDestFormat(int format) {
    if (frmSplash* form = FormForFormat(format, false))
        form->SetDestFormat(static_cast<TextFormat>(format));
}

void RemoteControl::Exit() {
    if (frmSplash* form = Form()) {
        form_.clear();
        form->mnuExit_Click();
    }
}

}  // namespace litvorot

// The running program on the session D-Bus: the service org.litvorot.Litvorot is the lock that
// keeps one program per session, and its object carries out the command line of later starts.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QtDBus/QDBusContext>

#include "shell/modCommandLine.h"

class frmSplash;

namespace litvorot {

inline const QString kRemoteService = QStringLiteral("org.litvorot.Litvorot");
inline const QString kRemotePath = QStringLiteral("/org/litvorot/Litvorot");
inline const QString kRemoteInterface = QStringLiteral("org.litvorot.Litvorot");

// Sends `command` to the program that runs in this session and waits until it has been carried
// out. Returns the exit status: 0 done, 1 no program runs (or no session bus), with a message on
// standard error. Needs a QCoreApplication.
int SendRemoteCommand(const RemoteCommand& command);

// The running program's side.
class RemoteControl : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.litvorot.Litvorot")
  public:
    enum class Claim { Owned, AlreadyRunning, NoBus };

    explicit RemoteControl(QObject* parent = nullptr);
    ~RemoteControl() override;

    // Takes the service name. AlreadyRunning: another program has it. NoBus: there is no session
    // bus, so neither the lock nor the command line is available.
    Claim ClaimSession();
    // From now on the commands go to `form`; until then a caller is told to try again.
    void Serve(frmSplash& form);
    // Gives the name back (after Exit), so that a new start is not turned away while a
    // secondary window keeps this process alive.
    void Release();

  public slots:
    Q_SCRIPTABLE void Go();
    Q_SCRIPTABLE void ReplaceSelection();
    Q_SCRIPTABLE void SetSourceFormat(int format);
    Q_SCRIPTABLE void SetDestFormat(int format);
    Q_SCRIPTABLE void Exit();

  private:
    // Runs `command` (a conversion of the window's), answering a D-Bus caller when it has ended.
    template <typename Command>
    void Answered(Command command);
    // The window while it serves commands; else nullptr, and a D-Bus caller is told so.
    frmSplash* Form();
    // The same, and nullptr with an error for a format code outside 1..4 (or 5, the automatic
    // source, where `allowAuto`).
    frmSplash* FormForFormat(int format, bool allowAuto);
    bool owned_ = false;
    bool registered_ = false;
    QPointer<frmSplash> form_;
};

}  // namespace litvorot

// Placeholder until the window is drawn for real.
#include "windows/frmAbout.h"

#include <QPointer>

namespace {
QPointer<frmAbout> g_instance;
}

frmAbout* frmAbout::Open() {
    if (!g_instance) g_instance = new frmAbout();
    g_instance->show();
    g_instance->raise();
    return g_instance;
}

frmAbout* frmAbout::Instance() { return g_instance; }

frmAbout::frmAbout() {

    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("About Litvorot"));
}

frmAbout::~frmAbout() = default;

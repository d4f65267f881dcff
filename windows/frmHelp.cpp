// Placeholder until the window is drawn for real.
#include "windows/frmHelp.h"

#include <QPointer>

namespace {
QPointer<frmHelp> g_instance;
}

frmHelp* frmHelp::Open() {
    if (!g_instance) g_instance = new frmHelp();
    g_instance->show();
    g_instance->raise();
    return g_instance;
}

frmHelp* frmHelp::Instance() { return g_instance; }

frmHelp::frmHelp() {

    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Help on Litvorot"));
}

frmHelp::~frmHelp() = default;

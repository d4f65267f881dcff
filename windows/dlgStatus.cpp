// Placeholder until the window is drawn for real.
#include "windows/dlgStatus.h"

#include <QPointer>

namespace {
QPointer<dlgStatus> g_instance;
}

dlgStatus* dlgStatus::Open(litvorot::TextFormat source, litvorot::TextFormat dest) {
    if (!g_instance) g_instance = new dlgStatus(source, dest);
    g_instance->show();
    g_instance->raise();
    return g_instance;
}

dlgStatus* dlgStatus::Instance() { return g_instance; }

dlgStatus::dlgStatus(litvorot::TextFormat source, litvorot::TextFormat dest) {
    (void)source; (void)dest;
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Litvorot"));
}

dlgStatus::~dlgStatus() = default;

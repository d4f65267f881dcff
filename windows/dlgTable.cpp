// Placeholder until the window is drawn for real.
#include "windows/dlgTable.h"

#include <QPointer>

namespace {
QPointer<dlgTable> g_instance;
}

dlgTable* dlgTable::Open() {
    if (!g_instance) g_instance = new dlgTable();
    g_instance->show();
    g_instance->raise();
    return g_instance;
}

dlgTable* dlgTable::Instance() { return g_instance; }

dlgTable::dlgTable() {

    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Transliteration Table"));
}

dlgTable::~dlgTable() = default;

#include <QString>

#include "windows/dlgStatus.h"
#include "windows/dlgTable.h"
#include "windows/frmAbout.h"
#include "windows/frmHelp.h"
#include "windows/modWindows.h"

namespace litvorot::windows {

void OpenTable() { dlgTable::Open(); }
void OpenHelp() { frmHelp::Open(); }
void OpenAbout() { frmAbout::Open(); }

void OpenStatusDialog(TextFormat source, TextFormat dest, std::string_view reading) {
    dlgStatus::Open(source, dest,
                    QString::fromUtf8(reading.data(), static_cast<qsizetype>(reading.size())));
}

}  // namespace litvorot::windows

// The secondary windows as the tray program opens them, whatever the toolkit draws them: one
// implementation file per platform (modWindows_qt.cpp, modWindows_win32.cpp). Each window is one
// of a kind: opening it again brings the open one to the front.
#pragma once

#include <string_view>

#include "tables/modTables.h"

namespace litvorot::windows {

void OpenTable();
void OpenHelp();
void OpenAbout();

enum class AppWindow { Table, Help, About };

inline void OpenAppWindow(AppWindow window) {
    switch (window) {
        case AppWindow::Table:
            return OpenTable();
        case AppWindow::Help:
            return OpenHelp();
        case AppWindow::About:
            return OpenAbout();
    }
}

// The status dialog for a conversion from `source` to `dest`; `reading` (UTF-8) names the
// reading the automatic source used, and is empty for the other sources.
void OpenStatusDialog(TextFormat source, TextFormat dest, std::string_view reading);

}  // namespace litvorot::windows

#include "shell/modHotKeyTaken.h"

#include <fstream>
#include <system_error>

namespace litvorot {

bool HotKeyNoticeDue(bool registered, const std::filesystem::path& noticeFile) {
    std::error_code ec;
    if (registered) {
        if (!noticeFile.empty()) std::filesystem::remove(noticeFile, ec);
        return false;
    }
    if (noticeFile.empty()) return true;
    if (std::filesystem::exists(noticeFile, ec)) return false;
    std::filesystem::create_directories(noticeFile.parent_path(), ec);
    std::ofstream(noticeFile) << "Ctrl+Space was taken by another program\n";
    return true;
}

std::filesystem::path HotKeyNoticeFile(const char* xdgStateHome, const char* home) {
    std::filesystem::path base;
    if (xdgStateHome != nullptr && *xdgStateHome == '/') {
        base = xdgStateHome;
    } else if (home != nullptr && *home == '/') {
        base = std::filesystem::path(home) / ".local" / "state";
    } else {
        return {};
    }
    return base / "litvorot" / "hotkey-taken";
}

}  // namespace litvorot

// The desktop portal's permission to send keys, kept between runs as the restore token it hands
// out (org.freedesktop.portal.RemoteDesktop, persist_mode 2): the next run shows it to the portal
// and is let in without asking the user again. It lives in the state folder
// ($XDG_STATE_HOME/litvorot/), not in settings.ini: it is the desktop's grant, not one of the
// user's choices, and settings.ini may sit beside the executable where others can read it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace litvorot {

// The file's name in the state folder.
inline constexpr std::string_view kRestoreTokenName = "remote-desktop-token";

// The token kept in `file`; empty when there is none, or when what is there is no token (portals
// hand out printable words of at most 256 characters: anything else was not written here).
std::string ReadRestoreToken(const std::filesystem::path& file);

// Keeps `token` in `file` (its folder made when missing), readable by the user alone, replaced
// whole so that a reader never sees half of it. An empty token removes the file. False when it
// could not be written.
bool WriteRestoreToken(const std::filesystem::path& file, std::string_view token);

}  // namespace litvorot

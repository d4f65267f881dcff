// What the settings file needs of the file system beyond std::filesystem, one implementation
// file per platform (modFileIO_posix.cpp, modFileIO_win32.cpp). Errors are errno numbers.
#pragma once

#include <filesystem>
#include <string>

namespace litvorot::fileio {

// True for a file the system hides from directory listings by an attribute (Windows' hidden
// and system attributes); a leading dot is the caller's to check.
bool HiddenByAttribute(const std::filesystem::path& path);

// True when `directory` (which exists) may have files made in it.
bool MayCreateIn(const std::filesystem::path& directory);

// True when `file` exists and this program may write it.
bool FileWritable(const std::filesystem::path& file);

// 0 when an existing settings file may be replaced, else the reason: one the user made read-only
// stays as it is where the system would let a rename replace it.
int ReplaceRefused(const std::filesystem::path& file);

// The file a settings path finally names: a symbolic link (or a chain of them) is followed, so
// that saving replaces the link's target and the link stays. A link that cannot be read is taken
// as it is; a loop gives the empty path.
std::filesystem::path FollowLinks(const std::filesystem::path& path);

// Writes `content` to a new file beside `target`, with a name of its own ("settings.ini.Xa3b9Q"
// on POSIX systems): made exclusively, so that a file or a link planted under any name is never
// opened, and two copies of the program never write the same file; on the disk before it returns.
// `temporary` names it. `opened` tells whether the file could be made at all; a file made but
// not written is removed.
int WriteTemporaryFile(const std::filesystem::path& target, const std::string& content,
                       std::filesystem::path& temporary, bool& opened);

// Removes what saves of `target` that were cut short (the program killed, the machine off) left:
// files named as WriteTemporaryFile names them, made by this user, at least a second old (a save
// another copy is making right now stays). Anything else, links among them, is left alone.
void RemoveLeftoverTemporaries(const std::filesystem::path& target);

// Puts the file `temporary` in the place of `target` in one step, and that change on the disk.
int ReplaceWith(const std::filesystem::path& temporary, const std::filesystem::path& target);

// Rewrites the existing `path` in place: its content first, then its length.
int RewriteInPlace(const std::filesystem::path& path, const std::string& content);

}  // namespace litvorot::fileio

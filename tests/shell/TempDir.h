// A directory of a test's own under /tmp, removed with everything in it when the test ends.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace litvorot::test {

class TempDir {
  public:
    explicit TempDir(const std::string& name) {
        std::string pattern = "/tmp/litvorot-" + name + "-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp: " + pattern);
        path_ = pattern;
    }
    ~TempDir() {
        namespace fs = std::filesystem;
        std::error_code ec;
        // A test may have taken the owner's rights away to see a write fail.
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace litvorot::test

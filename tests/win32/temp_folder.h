// A folder of a Windows test's own in the temporary folder: made empty, removed when the test ends.
#pragma once

#include <filesystem>
#include <system_error>

namespace litvorot::test {

class TempFolder {
  public:
    explicit TempFolder(const wchar_t* name)
        : path_(std::filesystem::temp_directory_path() / name) {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace litvorot::test

// A desktop whose splash, tray, menu and windows do nothing: for the tests that look only at what
// the controller reads, writes and tells. The status dialog is logged with its reading.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "shell/modPlatform.h"

namespace litvorot::test {

class QuietPlatform : public Platform {
  public:
    std::vector<std::string> log;

    void ShowSplash() override {}
    void HideSplash() override {}
    void Pause(int) override {}
    void AddTrayIcon(std::string_view) override {}
    void RemoveTrayIcon() override {}
    void SetMenuItemChecked(const MenuItem&, bool) override {}
    void SetMenuItemEnabled(const MenuItem&, bool) override {}
    void OpenStatusDialog(TextFormat, TextFormat, const std::string& reading) override {
        log.push_back("status " + reading);
    }
    void OpenWindow(AppWindow) override {}
    void SettingsFileChosen(const std::filesystem::path&, bool) override {}
    void CloseMainWindow() override {}
};

}  // namespace litvorot::test

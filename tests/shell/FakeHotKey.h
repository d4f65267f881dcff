// A hot key the test presses itself.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

#include "shell/modHotKey.h"

namespace litvorot::test {

class FakeHotKey : public HotKey {
  public:
    bool RegisterAppHotKey(std::uint32_t mods, std::uint32_t code, Handler onPress) override {
        ++registrations;
        if (handler) return false;
        modifiers = mods;
        key = code;
        handler = std::move(onPress);
        return true;
    }
    void UnregisterAppHotKey() override {
        active = false;
        if (onUnregister) onUnregister();
    }
    void Press() {
        if (handler && active) handler();
    }
    int registrations = 0;
    std::uint32_t modifiers = 0;
    std::uint32_t key = 0;
    bool active = true;
    Handler handler;
    std::function<void()> onUnregister;
};

}  // namespace litvorot::test

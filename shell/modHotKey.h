// The global hot key: a key combination that runs a command from whatever application is in
// front. One implementation file per platform (modHotKey_x11.cpp, ...); no Qt in this header.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace litvorot {

// Modifier bits and key codes in the Windows numbering, on every platform.
inline constexpr std::uint32_t kModAlt = 1;
inline constexpr std::uint32_t kModControl = 2;
inline constexpr std::uint32_t kModShift = 4;
inline constexpr std::uint32_t kModWin = 8;
inline constexpr std::uint32_t kKeySpace = 32;
inline constexpr std::uint32_t kKeyPause = 0x13;

class HotKey {
  public:
    using Handler = std::function<void()>;
    virtual ~HotKey() = default;

    // Sets up the combination `modifiers` + `key` (exactly those modifiers, whatever lock keys are
    // on) so that every press, keyboard auto-repeat included, calls `onPress` on the user-interface
    // thread, outside the platform's event delivery. True when the platform accepted the
    // combination; false when another program holds it or the platform has no global keys, and
    // always false when called a second time, which changes nothing.
    virtual bool RegisterAppHotKey(std::uint32_t modifiers, std::uint32_t key, Handler onPress) = 0;

    // Removes the combination. Does nothing before RegisterAppHotKey.
    virtual void UnregisterAppHotKey() = 0;

    // While `onPress` runs: whether this press is the keyboard's auto-repeat of the key held
    // down, which a busy caller drops rather than queues. False where the platform cannot tell.
    virtual bool PressIsRepeat() const { return false; }
};

// The platform's hot key. Needs the application object to exist.
std::unique_ptr<HotKey> CreateAppHotKey();

}  // namespace litvorot

// A Wayland connection's events taken in from Qt's event loop, for the program's own connections
// (the clipboard's data-control, the keys' seat): read when the socket has some, dispatched
// before Qt goes to sleep, and the connection's end told once.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>
#include <unordered_map>

struct wl_callback;
struct wl_display;

namespace litvorot {

class WaylandPump {
  public:
    // `lost(why)` once, from the call that finds the connection broken.
    WaylandPump(wl_display* display, std::function<void(const char* why)> lost);
    ~WaylandPump();
    WaylandPump(const WaylandPump&) = delete;
    WaylandPump& operator=(const WaylandPump&) = delete;

    // Reads what the compositor has sent, without waiting for more, and dispatches it.
    void Pump();
    // Dispatches what was read along with other events, and sends the requests made.
    void Flush();
    // `done` once the compositor has answered a round trip: every event it sent before then has
    // been handled. Answered from the event loop, without waiting, once the connection is lost
    // (after `lost`), never once the pump is gone.
    void Sync(std::function<void()> done);
    // Nothing more is read or sent: the connection is given up.
    void Stop();
    bool Stopped() const { return stopped_; }
    // Lives as long as the pump: the context of timers and calls that must not outlive it.
    QObject* Context() { return &notifier_; }

  private:
    void Lose(const char* why);

    wl_display* display_;
    std::function<void(const char*)> lost_;
    QSocketNotifier notifier_;
    QMetaObject::Connection aboutToBlock_;
    std::unordered_map<wl_callback*, std::function<void()>> syncs_;
    bool stopped_ = false;
};

}  // namespace litvorot

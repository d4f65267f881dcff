#include "clipboard/wayland_pump.h"

#include <wayland-client.h>

#include <QAbstractEventDispatcher>
#include <QTimer>
#include <cerrno>
#include <utility>

namespace litvorot {

WaylandPump::WaylandPump(wl_display* display, std::function<void(const char*)> lost)
    : display_(display),
      lost_(std::move(lost)),
      notifier_(wl_display_get_fd(display), QSocketNotifier::Read) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, &notifier_, [this] { Pump(); });
    if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
        // Events read along with others wait in the queue; dispatch them before Qt sleeps.
        aboutToBlock_ = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock,
                                         &notifier_, [this] { Flush(); });
    }
}

WaylandPump::~WaylandPump() {
    QObject::disconnect(aboutToBlock_);
    for (auto& [callback, done] : syncs_) wl_callback_destroy(callback);
}

void WaylandPump::Pump() {
    if (stopped_) return;
    // The read takes what the socket holds and does not wait (the compositor may have sent
    // nothing yet).
    if (wl_display_prepare_read(display_) == 0 && wl_display_read_events(display_) < 0) {
        return Lose("the compositor went away");
    }
    Flush();
}

void WaylandPump::Flush() {
    if (stopped_) return;
    if (wl_display_dispatch_pending(display_) < 0 ||
        (wl_display_flush(display_) < 0 && errno != EAGAIN)) {
        Lose("the connection to the compositor broke");
    }
}

void WaylandPump::Sync(std::function<void()> done) {
    if (stopped_) {
        QTimer::singleShot(0, &notifier_, std::move(done));
        return;
    }
    wl_callback* sync = wl_display_sync(display_);
    static const wl_callback_listener listener = {
        [](void* data, wl_callback* callback, std::uint32_t) {
            auto* self = static_cast<WaylandPump*>(data);
            wl_callback_destroy(callback);
            auto answer = std::move(self->syncs_[callback]);
            self->syncs_.erase(callback);
            if (answer) answer();
        }};
    wl_callback_add_listener(sync, &listener, this);
    syncs_[sync] = std::move(done);
    Flush();
}

void WaylandPump::Stop() {
    stopped_ = true;
    notifier_.setEnabled(false);
}

void WaylandPump::Lose(const char* why) {
    Stop();
    if (auto lost = std::exchange(lost_, nullptr)) lost(why);
    // Round trips that will not come back are answered: their callers see the connection gone.
    QTimer::singleShot(0, &notifier_, [this] {
        for (auto& [callback, done] : std::exchange(syncs_, {})) {
            wl_callback_destroy(callback);
            if (done) done();
        }
    });
}

}  // namespace litvorot

#include "clipboard/clipboard_wayland.h"

#include "clipboard/clipboard_qt.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <QString>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace litvorot {
namespace {

// Text types, best first. Other programs ask for any of them; all get UTF-8.
const char* const kTextTypes[] = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "TEXT",
                                  "STRING"};
// STRING is Latin-1 (ICCCM): read it so, and do not offer it.
constexpr std::size_t kOfferedTypes = 4;

class WaylandClipboard final : public Clipboard {
  public:
    ~WaylandClipboard() override;
    bool Connect();

    std::u16string GetClipboardText() override;
    bool SetClipboardText(std::u16string_view text) override;

    // The protocol's callbacks.
    static void OnGlobal(void* data, wl_registry* registry, std::uint32_t name,
                         const char* interface, std::uint32_t version);
    static void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}
    static void OnDataOffer(void* data, zwlr_data_control_device_v1*,
                            zwlr_data_control_offer_v1* offer);
    static void OnSelection(void* data, zwlr_data_control_device_v1*,
                            zwlr_data_control_offer_v1* offer);
    static void OnFinished(void* data, zwlr_data_control_device_v1*);
    static void OnPrimarySelection(void*, zwlr_data_control_device_v1*,
                                   zwlr_data_control_offer_v1* offer);
    static void OnOfferType(void* data, zwlr_data_control_offer_v1* offer, const char* type);
    static void OnSend(void* data, zwlr_data_control_source_v1* source, const char* type, int fd);
    static void OnCancelled(void* data, zwlr_data_control_source_v1* source);

  private:
    // Reads what arrived and writes what is queued; called from Qt's event loop.
    void Pump();
    void ForgetSelection();
    void DropSource();

    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    zwlr_data_control_manager_v1* manager_ = nullptr;
    zwlr_data_control_device_v1* device_ = nullptr;
    // Offers announced and not yet replaced, with their MIME types.
    std::unordered_map<zwlr_data_control_offer_v1*, std::vector<std::string>> offers_;
    zwlr_data_control_offer_v1* selection_ = nullptr;
    // The text this program put on the clipboard, while it is the selection.
    zwlr_data_control_source_v1* source_ = nullptr;
    std::string sourceText_;
    QSocketNotifier* notifier_ = nullptr;
    QMetaObject::Connection aboutToBlock_;
};

const wl_registry_listener kRegistryListener = {&WaylandClipboard::OnGlobal,
                                                &WaylandClipboard::OnGlobalRemove};

const zwlr_data_control_device_v1_listener& DeviceListener();
const zwlr_data_control_offer_v1_listener& OfferListener();
const zwlr_data_control_source_v1_listener& SourceListener();

WaylandClipboard::~WaylandClipboard() {
    QObject::disconnect(aboutToBlock_);
    delete notifier_;
    if (display_ == nullptr) return;
    DropSource();
    ForgetSelection();
    for (auto& [offer, types] : offers_) zwlr_data_control_offer_v1_destroy(offer);
    offers_.clear();
    if (device_ != nullptr) zwlr_data_control_device_v1_destroy(device_);
    if (manager_ != nullptr) zwlr_data_control_manager_v1_destroy(manager_);
    if (seat_ != nullptr) wl_seat_destroy(seat_);
    if (registry_ != nullptr) wl_registry_destroy(registry_);
    wl_display_flush(display_);
    wl_display_disconnect(display_);
}

bool WaylandClipboard::Connect() {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (name == nullptr || *name == '\0') return false;
    display_ = wl_display_connect(nullptr);
    if (display_ == nullptr) return false;
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &kRegistryListener, this);
    if (wl_display_roundtrip(display_) < 0 || manager_ == nullptr || seat_ == nullptr) {
        return false;
    }
    device_ = zwlr_data_control_manager_v1_get_data_device(manager_, seat_);
    zwlr_data_control_device_v1_add_listener(device_, &DeviceListener(), this);
    // The first selection event arrives on binding the device.
    if (wl_display_roundtrip(display_) < 0) return false;

    // A reader that closes its pipe early must not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    notifier_ = new QSocketNotifier(wl_display_get_fd(display_), QSocketNotifier::Read);
    QObject::connect(notifier_, &QSocketNotifier::activated, notifier_, [this] { Pump(); });
    if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
        // Events read during a roundtrip wait in the queue; dispatch them before Qt sleeps.
        aboutToBlock_ = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock,
                                         notifier_, [this] {
                                             wl_display_dispatch_pending(display_);
                                             wl_display_flush(display_);
                                         });
    }
    return true;
}

void WaylandClipboard::Pump() {
    if (wl_display_prepare_read(display_) == 0) {
        wl_display_read_events(display_);
    }
    wl_display_dispatch_pending(display_);
    wl_display_flush(display_);
}

void WaylandClipboard::OnGlobal(void* data, wl_registry* registry, std::uint32_t name,
                                const char* interface, std::uint32_t) {
    auto* self = static_cast<WaylandClipboard*>(data);
    if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0 &&
        self->manager_ == nullptr) {
        self->manager_ = static_cast<zwlr_data_control_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && self->seat_ == nullptr) {
        // The first seat: desktops have one.
        self->seat_ =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    }
}

void WaylandClipboard::OnDataOffer(void* data, zwlr_data_control_device_v1*,
                                   zwlr_data_control_offer_v1* offer) {
    auto* self = static_cast<WaylandClipboard*>(data);
    self->offers_[offer];
    zwlr_data_control_offer_v1_add_listener(offer, &OfferListener(), self);
}

void WaylandClipboard::OnOfferType(void* data, zwlr_data_control_offer_v1* offer,
                                   const char* type) {
    auto* self = static_cast<WaylandClipboard*>(data);
    self->offers_[offer].emplace_back(type);
}

void WaylandClipboard::ForgetSelection() {
    if (selection_ == nullptr) return;
    offers_.erase(selection_);
    zwlr_data_control_offer_v1_destroy(selection_);
    selection_ = nullptr;
}

void WaylandClipboard::OnSelection(void* data, zwlr_data_control_device_v1*,
                                   zwlr_data_control_offer_v1* offer) {
    auto* self = static_cast<WaylandClipboard*>(data);
    self->ForgetSelection();
    self->selection_ = offer;
}

void WaylandClipboard::OnPrimarySelection(void* data, zwlr_data_control_device_v1*,
                                          zwlr_data_control_offer_v1* offer) {
    // Only the clipboard counts; the primary selection's offers are let go.
    auto* self = static_cast<WaylandClipboard*>(data);
    if (offer == nullptr) return;
    self->offers_.erase(offer);
    zwlr_data_control_offer_v1_destroy(offer);
}

void WaylandClipboard::OnFinished(void* data, zwlr_data_control_device_v1*) {
    auto* self = static_cast<WaylandClipboard*>(data);
    self->ForgetSelection();
    zwlr_data_control_device_v1_destroy(self->device_);
    self->device_ = nullptr;
}

void WaylandClipboard::DropSource() {
    if (source_ == nullptr) return;
    zwlr_data_control_source_v1_destroy(source_);
    source_ = nullptr;
    sourceText_.clear();
}

void WaylandClipboard::OnCancelled(void* data, zwlr_data_control_source_v1* source) {
    auto* self = static_cast<WaylandClipboard*>(data);
    if (source == self->source_) {
        self->DropSource();
    } else {
        zwlr_data_control_source_v1_destroy(source);
    }
}

// Writes all of `text` to `fd`, waiting at most the read time-out for a slow reader.
void WriteAll(int fd, const std::string& text) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    const QDeadlineTimer deadline(kWaylandReadTimeoutMs);
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return;  // the reader went away
        pollfd p = {fd, POLLOUT, 0};
        const qint64 left = deadline.remainingTime();
        if (left == 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) return;
    }
}

void WaylandClipboard::OnSend(void* data, zwlr_data_control_source_v1* source, const char*,
                              int fd) {
    auto* self = static_cast<WaylandClipboard*>(data);
    if (source == self->source_) WriteAll(fd, self->sourceText_);
    ::close(fd);
}

std::u16string WaylandClipboard::GetClipboardText() {
    if (device_ == nullptr) return {};
    // The newest selection: events still on their way arrive with the roundtrip.
    if (wl_display_roundtrip(display_) < 0) return {};
    if (source_ != nullptr) {  // our own text: no need to ask ourselves through a pipe
        const QString text =
            QString::fromUtf8(sourceText_.data(), static_cast<qsizetype>(sourceText_.size()));
        return ClipboardTextFrom(text);
    }
    if (selection_ == nullptr) return {};
    const std::vector<std::string>& types = offers_[selection_];
    const char* chosen = nullptr;
    for (const char* type : kTextTypes) {
        for (const std::string& offered : types) {
            if (offered == type) {
                chosen = type;
                break;
            }
        }
        if (chosen != nullptr) break;
    }
    if (chosen == nullptr) return {};  // a picture, files: no text

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) return {};
    zwlr_data_control_offer_v1_receive(selection_, chosen, pipeFds[1]);
    wl_display_flush(display_);
    ::close(pipeFds[1]);

    std::string bytes;
    bool complete = false;
    const QDeadlineTimer deadline(kWaylandReadTimeoutMs);
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0) {
            complete = true;
            break;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN) break;
        pollfd p = {pipeFds[0], POLLIN, 0};
        const qint64 left = deadline.remainingTime();
        if (left == 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) break;
    }
    ::close(pipeFds[0]);
    // An owner that never finished gives no text, rather than a part of it.
    if (!complete) return {};
    const qsizetype size = static_cast<qsizetype>(bytes.size());
    const QString text = std::strcmp(chosen, "STRING") == 0
                             ? QString::fromLatin1(bytes.data(), size)
                             : QString::fromUtf8(bytes.data(), size);
    return ClipboardTextFrom(text);
}

bool WaylandClipboard::SetClipboardText(std::u16string_view text) {
    const std::u16string_view body = TextBeforeNul(text);
    if (body.empty() || device_ == nullptr) return false;
    DropSource();
    sourceText_ = QStringFrom(body).toUtf8().toStdString();
    source_ = zwlr_data_control_manager_v1_create_data_source(manager_);
    zwlr_data_control_source_v1_add_listener(source_, &SourceListener(), this);
    for (std::size_t i = 0; i < kOfferedTypes; ++i) {
        zwlr_data_control_source_v1_offer(source_, kTextTypes[i]);
    }
    zwlr_data_control_device_v1_set_selection(device_, source_);
    return wl_display_flush(display_) >= 0 || errno == EAGAIN;
}

const zwlr_data_control_device_v1_listener& DeviceListener() {
    static const zwlr_data_control_device_v1_listener listener = {
        &WaylandClipboard::OnDataOffer, &WaylandClipboard::OnSelection,
        &WaylandClipboard::OnFinished, &WaylandClipboard::OnPrimarySelection};
    return listener;
}

const zwlr_data_control_offer_v1_listener& OfferListener() {
    static const zwlr_data_control_offer_v1_listener listener = {&WaylandClipboard::OnOfferType};
    return listener;
}

const zwlr_data_control_source_v1_listener& SourceListener() {
    static const zwlr_data_control_source_v1_listener listener = {&WaylandClipboard::OnSend,
                                                                  &WaylandClipboard::OnCancelled};
    return listener;
}

}  // namespace

std::unique_ptr<Clipboard> ConnectWaylandClipboard() {
    auto clipboard = std::make_unique<WaylandClipboard>();
    if (!clipboard->Connect()) return nullptr;
    return clipboard;
}

}  // namespace litvorot

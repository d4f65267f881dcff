#include "clipboard/clipboard_wayland.h"

#include "clipboard/clipboard_qt.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace litvorot {
namespace {

// Silent unless asked for: QT_LOGGING_RULES="litvorot.clipboard=true".
Q_LOGGING_CATEGORY(lcClipboard, "litvorot.clipboard", QtWarningMsg)

// Text types, best first. Other programs ask for any of them; all get UTF-8.
const char* const kTextTypes[] = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "TEXT",
                                  "STRING"};
// STRING is Latin-1 (ICCCM): read it so, and do not offer it.
constexpr std::size_t kOfferedTypes = 4;

// Offered by file managers for copied files: those are not text to convert.
bool IsFileType(const std::string& type) {
    return type == "text/uri-list" || type == "x-special/gnome-copied-files" ||
           type == "application/x-kde-cutselection";
}

// The type password managers add to what they copy, with the value "secret".
constexpr char kSecretType[] = "x-kde-passwordManagerHint";

// Readers served at once; a program that opens more reads at a time waits for none of them.
constexpr std::size_t kMaxSenders = 16;

// Sends one text to one reader through its pipe, from the event loop: a slow reader holds up
// nothing, and one that takes nothing for the read time-out is given up.
class Sender {
  public:
    Sender(int fd, std::shared_ptr<const std::string> data, std::function<void(Sender*)> done)
        : fd_(fd),
          data_(std::move(data)),
          done_(std::move(done)),
          notifier_(fd, QSocketNotifier::Write) {
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
        QObject::connect(&notifier_, &QSocketNotifier::activated, &notifier_, [this] { Send(); });
        idle_.setSingleShot(true);
        QObject::connect(&idle_, &QTimer::timeout, &idle_, [this] { Stop(); });
        idle_.start(static_cast<int>(kClipboardIdleLimit.count()));
    }
    ~Sender() { ::close(fd_); }
    Sender(const Sender&) = delete;
    Sender& operator=(const Sender&) = delete;

    // Writes what the pipe takes; the rest when the reader is ready for more.
    void Send() {
        while (sent_ < data_->size()) {
            const ssize_t n = ::write(fd_, data_->data() + sent_, data_->size() - sent_);
            if (n > 0) {
                sent_ += static_cast<std::size_t>(n);
                idle_.start(static_cast<int>(kClipboardIdleLimit.count()));
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == EAGAIN) return;  // the notifier calls again
            break;                                 // the reader went away
        }
        Stop();
    }

  private:
    void Stop() {
        notifier_.setEnabled(false);
        idle_.stop();
        done_(this);
    }

    int fd_;
    std::shared_ptr<const std::string> data_;
    std::size_t sent_ = 0;
    std::function<void(Sender*)> done_;
    QSocketNotifier notifier_;
    QTimer idle_;
};

class WaylandClipboard final : public Clipboard {
  public:
    ~WaylandClipboard() override;
    bool Connect();

    std::u16string GetClipboardText() override;
    bool SetClipboardText(std::u16string_view text) override;
    // Reads through a pipe watched by the event loop: nothing waits on the user-interface thread.
    void ReadClipboard(const ReadLimits& limits, std::function<void(ClipboardRead)> done) override;
    void AbandonClipboardRead() override;
    bool WriteClipboardText(std::u16string_view text, bool secret) override;
    void WatchOwnership(std::function<void()> lost) override { lost_ = std::move(lost); }

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
    // The selection's types, and which text type to read it in (nullptr: none).
    const char* TextTypeOf(const std::vector<std::string>& types) const;
    void OnReadable();
    void FinishRead(ClipboardRead read);
    void StopRead();

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
    std::shared_ptr<const std::string> sourceText_;
    bool sourceSecret_ = false;
    std::vector<std::unique_ptr<Sender>> senders_;
    std::function<void()> lost_;
    QSocketNotifier* notifier_ = nullptr;
    QMetaObject::Connection aboutToBlock_;

    // The read in progress.
    int readFd_ = -1;
    std::unique_ptr<QSocketNotifier> readNotifier_;
    QTimer readIdle_;
    QTimer readTotal_;
    ReadLimits readLimits_;
    bool readLatin1_ = false;
    bool readSecret_ = false;
    std::string readBytes_;
    std::function<void(ClipboardRead)> readDone_;
};

const wl_registry_listener kRegistryListener = {&WaylandClipboard::OnGlobal,
                                                &WaylandClipboard::OnGlobalRemove};

const zwlr_data_control_device_v1_listener& DeviceListener();
const zwlr_data_control_offer_v1_listener& OfferListener();
const zwlr_data_control_source_v1_listener& SourceListener();

WaylandClipboard::~WaylandClipboard() {
    StopRead();
    senders_.clear();
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
    readIdle_.setSingleShot(true);
    QObject::connect(&readIdle_, &QTimer::timeout, &readIdle_, [this] {
        qCInfo(lcClipboard) << "the clipboard owner did not send its text within"
                            << readLimits_.idle.count() << "ms; the conversion is given up";
        ClipboardRead read;
        read.result = ClipboardRead::Result::kNoAnswer;
        FinishRead(std::move(read));
    });
    readTotal_.setSingleShot(true);
    QObject::connect(&readTotal_, &QTimer::timeout, &readTotal_, [this] {
        qCInfo(lcClipboard) << "the clipboard owner did not finish its text within"
                            << readLimits_.total.count() << "ms; the conversion is given up";
        ClipboardRead read;
        read.result = ClipboardRead::Result::kNoAnswer;
        FinishRead(std::move(read));
    });
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
    sourceText_.reset();
    sourceSecret_ = false;
}

void WaylandClipboard::OnCancelled(void* data, zwlr_data_control_source_v1* source) {
    auto* self = static_cast<WaylandClipboard*>(data);
    if (source == self->source_) {
        // Another program took the clipboard.
        self->DropSource();
        if (self->lost_) self->lost_();
    } else {
        zwlr_data_control_source_v1_destroy(source);
    }
}

void WaylandClipboard::OnSend(void* data, zwlr_data_control_source_v1* source, const char* type,
                              int fd) {
    auto* self = static_cast<WaylandClipboard*>(data);
    if (source != self->source_ || self->senders_.size() >= kMaxSenders) {
        ::close(fd);
        return;
    }
    auto text = std::strcmp(type, kSecretType) == 0 ? std::make_shared<const std::string>("secret")
                                                    : self->sourceText_;
    auto sender = std::make_unique<Sender>(fd, std::move(text), [self](Sender* done) {
        // Deleted from the event loop: the sender is still in its own call.
        QTimer::singleShot(0, self->notifier_, [self, done] {
            auto& senders = self->senders_;
            for (auto it = senders.begin(); it != senders.end(); ++it) {
                if (it->get() == done) {
                    senders.erase(it);
                    return;
                }
            }
        });
    });
    Sender* started = sender.get();
    self->senders_.push_back(std::move(sender));
    started->Send();
}

const char* WaylandClipboard::TextTypeOf(const std::vector<std::string>& types) const {
    for (const char* type : kTextTypes) {
        for (const std::string& offered : types) {
            if (offered == type) return type;
        }
    }
    return nullptr;
}

void WaylandClipboard::ReadClipboard(const ReadLimits& limits,
                                     std::function<void(ClipboardRead)> done) {
    StopRead();
    ClipboardRead read;
    if (device_ == nullptr) {
        read.result = ClipboardRead::Result::kFailed;
        return done(std::move(read));
    }
    // Events that have arrived: the newest selection (without waiting for the compositor).
    Pump();
    if (source_ != nullptr) {  // our own text: no need to ask ourselves through a pipe
        read = ReadOfText(ClipboardTextFrom(QString::fromUtf8(
                              sourceText_->data(), static_cast<qsizetype>(sourceText_->size()))),
                          limits);
        read.secret = sourceSecret_;
        return done(std::move(read));
    }
    if (selection_ == nullptr) return done(std::move(read));
    const std::vector<std::string>& types = offers_[selection_];
    for (const std::string& type : types) {
        if (IsFileType(type)) {
            read.result = ClipboardRead::Result::kFiles;
            return done(std::move(read));
        }
        if (type == kSecretType) read.secret = true;
    }
    const char* chosen = TextTypeOf(types);
    if (chosen == nullptr) return done(std::move(read));  // a picture: no text

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        read.result = ClipboardRead::Result::kFailed;
        return done(std::move(read));
    }
    qCDebug(lcClipboard) << "asking the clipboard's owner for its text";
    zwlr_data_control_offer_v1_receive(selection_, chosen, pipeFds[1]);
    wl_display_flush(display_);
    ::close(pipeFds[1]);

    readFd_ = pipeFds[0];
    readLimits_ = limits;
    readLatin1_ = std::strcmp(chosen, "STRING") == 0;
    readSecret_ = read.secret;
    readDone_ = std::move(done);
    readNotifier_ = std::make_unique<QSocketNotifier>(readFd_, QSocketNotifier::Read);
    QObject::connect(readNotifier_.get(), &QSocketNotifier::activated, readNotifier_.get(),
                     [this] { OnReadable(); });
    readIdle_.start(static_cast<int>(limits.idle.count()));
    readTotal_.start(static_cast<int>(limits.total.count()));
}

void WaylandClipboard::OnReadable() {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(readFd_, buffer, sizeof buffer);
        if (n > 0) {
            if (readBytes_.size() + static_cast<std::size_t>(n) > readLimits_.MaxBytes()) {
                qCInfo(lcClipboard) << "the clipboard text is over" << readLimits_.maxUnits
                                    << "characters; it is left as it is";
                ClipboardRead read;
                read.result = ClipboardRead::Result::kTooLarge;
                return FinishRead(std::move(read));
            }
            readBytes_.append(buffer, static_cast<std::size_t>(n));
            readIdle_.start(static_cast<int>(readLimits_.idle.count()));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return;  // more to come
        break;
    }
    // The end of the text (or a broken pipe, which gives what arrived).
    const auto size = static_cast<qsizetype>(readBytes_.size());
    const QString text = readLatin1_ ? QString::fromLatin1(readBytes_.data(), size)
                                     : QString::fromUtf8(readBytes_.data(), size);
    FinishRead(ReadOfText(ClipboardTextFrom(text), readLimits_));
}

void WaylandClipboard::FinishRead(ClipboardRead read) {
    read.secret = readSecret_;
    auto done = std::exchange(readDone_, nullptr);
    StopRead();
    if (done) done(std::move(read));
}

void WaylandClipboard::StopRead() {
    readNotifier_.reset();
    readIdle_.stop();
    readTotal_.stop();
    if (readFd_ >= 0) ::close(readFd_);
    readFd_ = -1;
    readBytes_ = std::string();
    readDone_ = nullptr;
}

void WaylandClipboard::AbandonClipboardRead() { StopRead(); }

std::u16string WaylandClipboard::GetClipboardText() {
    if (device_ == nullptr) return {};
    // The newest selection: events still on their way arrive with the roundtrip.
    if (wl_display_roundtrip(display_) < 0) return {};
    if (source_ != nullptr) {  // our own text: no need to ask ourselves through a pipe
        return ClipboardTextFrom(
            QString::fromUtf8(sourceText_->data(), static_cast<qsizetype>(sourceText_->size())));
    }
    if (selection_ == nullptr) return {};
    const std::vector<std::string>& types = offers_[selection_];
    for (const std::string& type : types) {
        if (IsFileType(type)) return {};
    }
    const char* chosen = TextTypeOf(types);
    if (chosen == nullptr) return {};  // a picture: no text

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
    if (!complete) {
        qCInfo(lcClipboard) << "the clipboard owner did not send its text within"
                            << kWaylandReadTimeoutMs << "ms; the conversion is given up";
        return {};
    }
    const qsizetype size = static_cast<qsizetype>(bytes.size());
    const QString text = std::strcmp(chosen, "STRING") == 0
                             ? QString::fromLatin1(bytes.data(), size)
                             : QString::fromUtf8(bytes.data(), size);
    return ClipboardTextFrom(text);
}

bool WaylandClipboard::SetClipboardText(std::u16string_view text) {
    return WriteClipboardText(text, false);
}

bool WaylandClipboard::WriteClipboardText(std::u16string_view text, bool secret) {
    const std::u16string_view body = TextBeforeNul(text);
    if (body.empty() || device_ == nullptr) return false;
    DropSource();
    // Readers still being served keep the text they were given.
    sourceText_ = std::make_shared<const std::string>(QStringFrom(body).toUtf8().toStdString());
    sourceSecret_ = secret;
    source_ = zwlr_data_control_manager_v1_create_data_source(manager_);
    zwlr_data_control_source_v1_add_listener(source_, &SourceListener(), this);
    for (std::size_t i = 0; i < kOfferedTypes; ++i) {
        zwlr_data_control_source_v1_offer(source_, kTextTypes[i]);
    }
    if (secret) zwlr_data_control_source_v1_offer(source_, kSecretType);
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

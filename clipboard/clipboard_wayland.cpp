#include "clipboard/clipboard_wayland.h"

#include "clipboard/clipboard_qt.h"
#include "clipboard/wayland_pump.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <wayland-client.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ext-data-control-v1-client-protocol.h"
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

// Readers served at once; a program that opens more reads at a time waits for none of them.
constexpr std::size_t kMaxSenders = 16;

// How often a pipe written whole is looked at until its reader has read it all.
constexpr int kReadCheckMs = 2;

// Sends one format to one reader through its pipe, from the event loop: a slow reader holds up
// nothing, and one that takes nothing for the read time-out is given up. `done(true)` once all
// of it went; with `waitRead`, once the reader has read all of it, not only once it is in the
// pipe: a reader that has not read yet can still give it up (GTK drops a read when the
// selection changes meanwhile, and reads the new one).
class Sender {
  public:
    Sender(int fd, std::shared_ptr<const std::string> data, bool waitRead,
           std::function<void(Sender*, bool)> done)
        : fd_(fd),
          data_(std::move(data)),
          waitRead_(waitRead),
          done_(std::move(done)),
          notifier_(fd, QSocketNotifier::Write) {
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
        QObject::connect(&notifier_, &QSocketNotifier::activated, &notifier_, [this] { Send(); });
        idle_.setSingleShot(true);
        QObject::connect(&idle_, &QTimer::timeout, &idle_, [this] { Stop(false); });
        idle_.start(static_cast<int>(kClipboardIdleLimit.count()));
        read_.setInterval(kReadCheckMs);
        QObject::connect(&read_, &QTimer::timeout, &read_, [this] { CheckRead(); });
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
            return Stop(false);                    // the reader went away
        }
        if (!waitRead_) return Stop(true);
        notifier_.setEnabled(false);
        CheckRead();
        if (done_) read_.start();
    }

  private:
    // What is still in the pipe, unread; the pipe's end is not closed before it is read (the
    // reader would see its end and be done before it has the text).
    void CheckRead() {
        int unread = 0;
        if (::ioctl(fd_, FIONREAD, &unread) != 0) return Stop(false);
        if (unread == 0) Stop(true);
    }

    void Stop(bool whole) {
        notifier_.setEnabled(false);
        idle_.stop();
        read_.stop();
        if (auto done = std::exchange(done_, nullptr)) done(this, whole);
    }

    int fd_;
    std::shared_ptr<const std::string> data_;
    bool waitRead_;
    std::size_t sent_ = 0;
    std::function<void(Sender*, bool)> done_;
    QSocketNotifier notifier_;
    QTimer idle_;
    QTimer read_;  // the reader reading what is in the pipe
};

// The two protocols' generated code, side by side: the same interfaces under two names.
#define LITVOROT_DATA_CONTROL_TRAITS(Traits, prefix, kind, version)                                \
    struct Traits {                                                                                \
        using Manager = prefix##_manager_v1;                                                       \
        using Device = prefix##_device_v1;                                                         \
        using Source = prefix##_source_v1;                                                         \
        using Offer = prefix##_offer_v1;                                                           \
        using DeviceListener = prefix##_device_v1_listener;                                        \
        using SourceListener = prefix##_source_v1_listener;                                        \
        using OfferListener = prefix##_offer_v1_listener;                                          \
        static constexpr WaylandDataControl::Protocol kProtocol =                                  \
            WaylandDataControl::Protocol::kind;                                                    \
        static constexpr std::uint32_t kVersion = version;                                         \
        static const wl_interface* ManagerInterface() { return &prefix##_manager_v1_interface; }   \
        static Device* GetDevice(Manager* m, wl_seat* s) {                                         \
            return prefix##_manager_v1_get_data_device(m, s);                                      \
        }                                                                                          \
        static Source* CreateSource(Manager* m) {                                                  \
            return prefix##_manager_v1_create_data_source(m);                                      \
        }                                                                                          \
        static void Destroy(Manager* m) { prefix##_manager_v1_destroy(m); }                        \
        static void Destroy(Device* d) { prefix##_device_v1_destroy(d); }                          \
        static void Destroy(Source* s) { prefix##_source_v1_destroy(s); }                          \
        static void Destroy(Offer* o) { prefix##_offer_v1_destroy(o); }                            \
        static void Listen(Device* d, const DeviceListener* l, void* data) {                       \
            prefix##_device_v1_add_listener(d, l, data);                                           \
        }                                                                                          \
        static void Listen(Source* s, const SourceListener* l, void* data) {                       \
            prefix##_source_v1_add_listener(s, l, data);                                           \
        }                                                                                          \
        static void Listen(Offer* o, const OfferListener* l, void* data) {                         \
            prefix##_offer_v1_add_listener(o, l, data);                                            \
        }                                                                                          \
        static void SetSelection(Device* d, Source* s) { prefix##_device_v1_set_selection(d, s); } \
        static void SetPrimary(Device* d, Source* s) {                                             \
            prefix##_device_v1_set_primary_selection(d, s);                                        \
        }                                                                                          \
        static void OfferType(Source* s, const char* type) { prefix##_source_v1_offer(s, type); }  \
        static void Receive(Offer* o, const char* type, int fd) {                                  \
            prefix##_offer_v1_receive(o, type, fd);                                                \
        }                                                                                          \
    };
LITVOROT_DATA_CONTROL_TRAITS(ExtProtocol, ext_data_control, kExt, 1)
LITVOROT_DATA_CONTROL_TRAITS(WlrProtocol, zwlr_data_control, kWlr, 2)
#undef LITVOROT_DATA_CONTROL_TRAITS

using Selection = WaylandDataControl::Selection;
constexpr int Index(Selection selection) { return selection == Selection::kClipboard ? 0 : 1; }

template <typename P>
class DataControl final : public WaylandDataControl {
  public:
    using Manager = typename P::Manager;
    using Device = typename P::Device;
    using Source = typename P::Source;
    using Offer = typename P::Offer;

    ~DataControl() override { Disconnect(); }

    bool Connect() {
        display_ = wl_display_connect(nullptr);
        if (display_ == nullptr) return false;
        pump_ = std::make_unique<WaylandPump>(display_, [this](const char* why) { Lose(why); });
        registry_ = wl_display_get_registry(display_);
        static const wl_registry_listener registryListener = {&OnGlobal, &OnGlobalRemove};
        wl_registry_add_listener(registry_, &registryListener, this);
        if (wl_display_roundtrip(display_) < 0 || manager_ == nullptr || seat_ == nullptr) {
            return false;
        }
        device_ = P::GetDevice(manager_, seat_);
        static const typename P::DeviceListener deviceListener = {&OnDataOffer, &OnSelection,
                                                                  &OnFinished, &OnPrimarySelection};
        P::Listen(device_, &deviceListener, this);
        // The first selection events arrive on binding the device.
        if (wl_display_roundtrip(display_) < 0) return false;

        // A reader that closes its pipe early must not end the program.
        std::signal(SIGPIPE, SIG_IGN);
        idle_.setSingleShot(true);
        QObject::connect(&idle_, &QTimer::timeout, &idle_, [this] {
            qCInfo(lcClipboard) << "the clipboard owner did not send its text within"
                                << receiveIdle_.count() << "ms; the conversion is given up";
            FinishReceive(Received::Result::kNoAnswer);
        });
        total_.setSingleShot(true);
        QObject::connect(&total_, &QTimer::timeout, &total_, [this] {
            qCInfo(lcClipboard) << "the clipboard owner did not finish its text within"
                                << receiveTotal_.count() << "ms; the conversion is given up";
            FinishReceive(Received::Result::kNoAnswer);
        });
        qCInfo(lcClipboard) << "the Wayland clipboard through"
                            << (P::kProtocol == Protocol::kExt ? "ext_data_control_v1"
                                                               : "zwlr_data_control_v1");
        return true;
    }

    Protocol Used() const override { return P::kProtocol; }
    bool Alive() const override { return alive_; }

    std::vector<std::string> Types(Selection selection) const override {
        const Offer* offer = offer_[Index(selection)];
        if (offer == nullptr || source_[Index(selection)] != nullptr) return {};
        const auto it = offers_.find(const_cast<Offer*>(offer));
        return it == offers_.end() ? std::vector<std::string>() : it->second;
    }
    bool Owned(Selection selection) const override { return source_[Index(selection)] != nullptr; }

    void Receive(Selection selection, const std::string& type, std::chrono::milliseconds idle,
                 std::chrono::milliseconds total, std::size_t maxBytes,
                 std::function<void(Received)> done) override {
        AbandonReceive();
        Offer* offer = offer_[Index(selection)];
        int pipeFds[2];
        if (!alive_ || offer == nullptr || ::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
            return done(Received{});
        }
        qCDebug(lcClipboard) << "asking the clipboard's owner for its text";
        P::Receive(offer, type.c_str(), pipeFds[1]);
        Flush();
        ::close(pipeFds[1]);
        receiveFd_ = pipeFds[0];
        receiveIdle_ = idle;
        receiveTotal_ = total;
        receiveMax_ = maxBytes;
        receiveDone_ = std::move(done);
        receiveNotifier_ = std::make_unique<QSocketNotifier>(receiveFd_, QSocketNotifier::Read);
        QObject::connect(receiveNotifier_.get(), &QSocketNotifier::activated,
                         receiveNotifier_.get(), [this] { OnReadable(); });
        idle_.start(static_cast<int>(idle.count()));
        total_.start(static_cast<int>(total.count()));
    }

    void AbandonReceive() override {
        receiveNotifier_.reset();
        idle_.stop();
        total_.stop();
        if (receiveFd_ >= 0) ::close(receiveFd_);
        receiveFd_ = -1;
        received_ = std::string();
        receiveDone_ = nullptr;
    }

    bool Serve(Selection selection, std::vector<Format> formats,
               std::function<void(const std::string&)> sent) override {
        if (!alive_) return false;
        const int i = Index(selection);
        DropSource(i);
        source_[i] = P::CreateSource(manager_);
        static const typename P::SourceListener sourceListener = {&OnSend, &OnCancelled};
        P::Listen(source_[i], &sourceListener, this);
        for (const Format& format : formats) P::OfferType(source_[i], format.first.c_str());
        served_[i] = std::move(formats);
        sent_[i] = std::move(sent);
        if (selection == Selection::kClipboard) {
            P::SetSelection(device_, source_[i]);
        } else {
            P::SetPrimary(device_, source_[i]);
        }
        Flush();
        return alive_;
    }

    void Clear(Selection selection) override {
        if (!alive_) return;
        DropSource(Index(selection));
        if (selection == Selection::kClipboard) {
            P::SetSelection(device_, nullptr);
        } else {
            P::SetPrimary(device_, nullptr);
        }
        Flush();
    }

    void Sync(std::function<void()> done) override {
        if (!alive_) return done();
        pump_->Sync(std::move(done));
    }

    void WatchSelection(std::function<void(Selection)> changed) override {
        changed_ = std::move(changed);
    }
    void WatchLoss(std::function<void()> lost) override { lost_ = std::move(lost); }

  private:
    // ---- The connection ----

    void Flush() {
        if (alive_ && pump_) pump_->Flush();
    }

    // The compositor restarted, or withdrew the protocol: everything of this connection goes,
    // and the owner of this object is told (from the event loop, after this call).
    void Lose(const char* why) {
        if (!alive_) return;
        alive_ = false;
        qCInfo(lcClipboard) << "the Wayland clipboard is gone:" << why;
        pump_->Stop();
        if (receiveDone_) FinishReceive(Received::Result::kFailed);
        QTimer::singleShot(0, pump_->Context(), [this] {
            if (lost_) lost_();
        });
    }

    void Disconnect() {
        AbandonReceive();
        senders_.clear();
        pump_.reset();
        if (display_ == nullptr) return;
        for (int i = 0; i < 2; ++i) {
            if (alive_) DropSource(i);
            ForgetOffer(i);
        }
        for (auto& [offer, types] : offers_) P::Destroy(offer);
        offers_.clear();
        if (device_ != nullptr) P::Destroy(device_);
        if (manager_ != nullptr) P::Destroy(manager_);
        if (seat_ != nullptr) wl_seat_destroy(seat_);
        if (registry_ != nullptr) wl_registry_destroy(registry_);
        wl_display_flush(display_);
        wl_display_disconnect(display_);
        display_ = nullptr;
    }

    static void OnGlobal(void* data, wl_registry* registry, std::uint32_t name,
                         const char* interface, std::uint32_t version) {
        auto* self = static_cast<DataControl*>(data);
        if (std::strcmp(interface, P::ManagerInterface()->name) == 0 && self->manager_ == nullptr) {
            self->managerName_ = name;
            self->manager_ = static_cast<Manager*>(wl_registry_bind(
                registry, name, P::ManagerInterface(), std::min(version, P::kVersion)));
        } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && self->seat_ == nullptr) {
            // The first seat: desktops have one.
            self->seatName_ = name;
            self->seat_ =
                static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        }
    }

    static void OnGlobalRemove(void* data, wl_registry*, std::uint32_t name) {
        auto* self = static_cast<DataControl*>(data);
        if (self->manager_ != nullptr && (name == self->managerName_ || name == self->seatName_)) {
            self->Lose("the compositor withdrew data-control");
        }
    }

    // ---- Offers and selections ----

    static void OnDataOffer(void* data, Device*, Offer* offer) {
        auto* self = static_cast<DataControl*>(data);
        self->offers_[offer];
        static const typename P::OfferListener offerListener = {&OnOfferType};
        P::Listen(offer, &offerListener, self);
    }

    static void OnOfferType(void* data, Offer* offer, const char* type) {
        auto* self = static_cast<DataControl*>(data);
        self->offers_[offer].emplace_back(type);
    }

    void ForgetOffer(int i) {
        if (offer_[i] == nullptr) return;
        offers_.erase(offer_[i]);
        P::Destroy(offer_[i]);
        offer_[i] = nullptr;
    }

    void NewSelection(int i, Offer* offer) {
        ForgetOffer(i);
        offer_[i] = offer;
        // The compositor announces this program's own source too: that is no change by another.
        if (offer != nullptr && source_[i] != nullptr) return;
        if (changed_) changed_(i == 0 ? Selection::kClipboard : Selection::kPrimary);
    }

    static void OnSelection(void* data, Device*, Offer* offer) {
        static_cast<DataControl*>(data)->NewSelection(0, offer);
    }
    static void OnPrimarySelection(void* data, Device*, Offer* offer) {
        static_cast<DataControl*>(data)->NewSelection(1, offer);
    }

    static void OnFinished(void* data, Device*) {
        static_cast<DataControl*>(data)->Lose("the compositor ended the data device");
    }

    // ---- Serving ----

    void DropSource(int i) {
        if (source_[i] == nullptr) return;
        P::Destroy(source_[i]);
        source_[i] = nullptr;
        served_[i].clear();
        sent_[i] = nullptr;
    }

    static void OnCancelled(void* data, Source* source) {
        auto* self = static_cast<DataControl*>(data);
        for (int i = 0; i < 2; ++i) {
            if (source != self->source_[i]) continue;
            // Another program took the selection.
            self->DropSource(i);
            if (self->changed_)
                self->changed_(i == 0 ? Selection::kClipboard : Selection::kPrimary);
            return;
        }
        P::Destroy(source);
    }

    static void OnSend(void* data, Source* source, const char* type, int fd) {
        auto* self = static_cast<DataControl*>(data);
        const int i = source == self->source_[0] ? 0 : source == self->source_[1] ? 1 : -1;
        if (i < 0 || self->senders_.size() >= kMaxSenders) {
            ::close(fd);
            return;
        }
        const auto& served = self->served_[i];
        const auto format = std::find_if(served.begin(), served.end(),
                                         [type](const Format& f) { return f.first == type; });
        if (format == served.end()) {
            ::close(fd);
            return;
        }
        auto sent = self->sent_[i];
        auto sender = std::make_unique<Sender>(
            fd, format->second, static_cast<bool>(sent),
            [self, sent, name = std::string(type)](Sender* done, bool whole) {
                if (whole && sent) sent(name);
                // Deleted from the event loop: the sender is still in its own call.
                QTimer::singleShot(0, self->pump_->Context(), [self, done] {
                    auto& senders = self->senders_;
                    senders.erase(std::remove_if(senders.begin(), senders.end(),
                                                 [done](const auto& s) { return s.get() == done; }),
                                  senders.end());
                });
            });
        Sender* started = sender.get();
        self->senders_.push_back(std::move(sender));
        started->Send();
    }

    // ---- Receiving ----

    void OnReadable() {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(receiveFd_, buffer, sizeof buffer);
            if (n > 0) {
                if (received_.size() + static_cast<std::size_t>(n) > receiveMax_) {
                    qCInfo(lcClipboard)
                        << "the clipboard text is over the limit; it is left as it is";
                    return FinishReceive(Received::Result::kTooLarge);
                }
                received_.append(buffer, static_cast<std::size_t>(n));
                idle_.start(static_cast<int>(receiveIdle_.count()));
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == EAGAIN) return;  // more to come
            break;
        }
        // The end (or a broken pipe, which gives what arrived).
        FinishReceive(Received::Result::kDone);
    }

    void FinishReceive(Received::Result result) {
        Received received;
        received.result = result;
        if (result == Received::Result::kDone) received.bytes = std::move(received_);
        auto done = std::exchange(receiveDone_, nullptr);
        AbandonReceive();
        if (done) done(std::move(received));
    }

    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    std::uint32_t seatName_ = 0;
    Manager* manager_ = nullptr;
    std::uint32_t managerName_ = 0;
    Device* device_ = nullptr;
    bool alive_ = true;
    // Offers announced and not yet replaced, with their MIME types.
    std::unordered_map<Offer*, std::vector<std::string>> offers_;
    Offer* offer_[2] = {nullptr, nullptr};    // the selection and the primary selection
    Source* source_[2] = {nullptr, nullptr};  // this program's, while they are the selection
    std::vector<Format> served_[2];
    std::function<void(const std::string&)> sent_[2];
    std::vector<std::unique_ptr<Sender>> senders_;
    std::function<void(Selection)> changed_;
    std::function<void()> lost_;
    std::unique_ptr<WaylandPump> pump_;

    int receiveFd_ = -1;
    std::unique_ptr<QSocketNotifier> receiveNotifier_;
    QTimer idle_;
    QTimer total_;
    std::chrono::milliseconds receiveIdle_{0};
    std::chrono::milliseconds receiveTotal_{0};
    std::size_t receiveMax_ = 0;
    std::string received_;
    std::function<void(Received)> receiveDone_;
};

template <typename P>
std::unique_ptr<WaylandDataControl> ConnectWith() {
    auto control = std::make_unique<DataControl<P>>();
    if (!control->Connect()) return nullptr;
    return control;
}

// ---- The program's clipboard on data-control ----

class WaylandClipboard final : public Clipboard {
  public:
    explicit WaylandClipboard(std::unique_ptr<WaylandDataControl> control)
        : control_(std::move(control)) {
        syncWait_.setSingleShot(true);
        QObject::connect(&syncWait_, &QTimer::timeout, &syncWait_, [this] {
            if (auto waiting = std::exchange(reading_, nullptr)) {
                ClipboardRead read;
                read.result = ClipboardRead::Result::kNoAnswer;
                (*waiting)(std::move(read));
            }
        });
        control_->WatchSelection([this](Selection selection) {
            if (selection == Selection::kClipboard && !control_->Owned(selection) && lost_) {
                ownSecret_ = false;
                lost_();
            }
        });
    }

    WaylandDataControl& Control() { return *control_; }

    // What the program itself put there, without asking anyone.
    std::u16string GetClipboardText() override {
        if (!own_) return {};
        return ClipboardTextFrom(
            QString::fromUtf8(own_->data(), static_cast<qsizetype>(own_->size())));
    }

    bool SetClipboardText(std::u16string_view text) override {
        return WriteClipboardText(text, false);
    }

    void ReadClipboard(const ReadLimits& limits, std::function<void(ClipboardRead)> done) override {
        if (!control_->Alive()) {
            ClipboardRead read;
            read.result = ClipboardRead::Result::kFailed;
            return done(std::move(read));
        }
        // What the compositor has sent is taken in first: a selection that another connection of
        // this program (replacing the selection) or a command that came after wl-copy has already
        // seen is the one read here, not the one before it.
        AbandonClipboardRead();
        auto waiting = std::make_shared<std::function<void(ClipboardRead)>>(std::move(done));
        reading_ = waiting;
        // A compositor that does not answer holds the read no longer than an owner would.
        syncWait_.start(static_cast<int>(limits.idle.count()));
        control_->Sync([this, limits, read = std::weak_ptr(waiting)] {
            const auto answer = read.lock();
            if (!answer || reading_ != answer) return;
            ReadNow(limits, std::move(*answer));
        });
    }

    void AbandonClipboardRead() override {
        syncWait_.stop();
        reading_.reset();
        control_->AbandonReceive();
    }

    bool WriteClipboardText(std::u16string_view text, bool secret) override {
        const std::u16string_view body = TextBeforeNul(text);
        if (body.empty() || !control_->Alive()) return false;
        own_ = std::make_shared<const std::string>(QStringFrom(body).toUtf8().toStdString());
        ownSecret_ = secret;
        std::vector<WaylandDataControl::Format> formats;
        for (std::size_t i = 0; i < kOfferedTypes; ++i) formats.emplace_back(kTextTypes[i], own_);
        if (secret)
            formats.emplace_back(kSecretFormat, std::make_shared<const std::string>(kSecretValue));
        return control_->Serve(Selection::kClipboard, std::move(formats));
    }

    void WatchOwnership(std::function<void()> lost) override { lost_ = std::move(lost); }

  private:
    void ReadNow(const ReadLimits& limits, std::function<void(ClipboardRead)> done) {
        syncWait_.stop();
        reading_.reset();
        ClipboardRead read;
        if (!control_->Alive()) {
            read.result = ClipboardRead::Result::kFailed;
            return done(std::move(read));
        }
        if (control_->Owned(Selection::kClipboard) && own_) {
            read = ReadOfText(GetClipboardText(), limits);
            read.secret = ownSecret_;
            return done(std::move(read));
        }
        const std::vector<std::string> types = control_->Types(Selection::kClipboard);
        for (const std::string& type : types) {
            if (IsFileType(type)) {
                read.result = ClipboardRead::Result::kFiles;
                return done(std::move(read));
            }
            if (type == kSecretFormat) read.secret = true;
        }
        const char* chosen = nullptr;
        for (const char* type : kTextTypes) {
            if (chosen == nullptr &&
                std::find(types.begin(), types.end(), std::string(type)) != types.end()) {
                chosen = type;
            }
        }
        if (chosen == nullptr) return done(std::move(read));  // nothing, or a picture
        const bool latin1 = std::strcmp(chosen, "STRING") == 0;
        const bool secret = read.secret;
        control_->Receive(
            Selection::kClipboard, chosen, limits.idle, limits.total, limits.MaxBytes(),
            [limits, latin1, secret, done = std::move(done)](WaylandDataControl::Received got) {
                ClipboardRead result;
                using Result = WaylandDataControl::Received::Result;
                if (got.result == Result::kDone) {
                    const auto size = static_cast<qsizetype>(got.bytes.size());
                    result = ReadOfText(
                        ClipboardTextFrom(latin1 ? QString::fromLatin1(got.bytes.data(), size)
                                                 : QString::fromUtf8(got.bytes.data(), size)),
                        limits);
                } else {
                    result.result =
                        got.result == Result::kNoAnswer   ? ClipboardRead::Result::kNoAnswer
                        : got.result == Result::kTooLarge ? ClipboardRead::Result::kTooLarge
                                                          : ClipboardRead::Result::kFailed;
                }
                result.secret = secret;
                done(std::move(result));
            });
    }

    std::unique_ptr<WaylandDataControl> control_;
    // A read waiting for its round trip, and how long it may wait.
    std::shared_ptr<std::function<void(ClipboardRead)>> reading_;
    QTimer syncWait_;
    std::shared_ptr<const std::string> own_;  // the text this program put there last
    bool ownSecret_ = false;
    std::function<void()> lost_;
};

// ---- The session's clipboard: data-control, else X11, and back ----

class Session final : public Clipboard {
  public:
    Session(std::unique_ptr<Clipboard> wayland, std::unique_ptr<Clipboard> x11)
        : wayland_(std::move(wayland)), x11_(std::move(x11)) {
        retry_.setInterval(kRetryMs);
        QObject::connect(&retry_, &QTimer::timeout, &retry_, [this] { Reconnect(); });
        if (wayland_) Watch(*wayland_);
    }

    std::u16string GetClipboardText() override {
        Clipboard* active = Active();
        return active ? active->GetClipboardText() : std::u16string();
    }
    bool SetClipboardText(std::u16string_view text) override {
        Clipboard* active = Active();
        return active && active->SetClipboardText(text);
    }
    void ReadClipboard(const ReadLimits& limits, std::function<void(ClipboardRead)> done) override {
        Clipboard* active = Active();
        if (active == nullptr) {
            ClipboardRead read;
            read.result = ClipboardRead::Result::kFailed;
            return done(std::move(read));
        }
        reading_ = active;
        active->ReadClipboard(limits, std::move(done));
    }
    void AbandonClipboardRead() override {
        if (reading_ != nullptr) reading_->AbandonClipboardRead();
        reading_ = nullptr;
    }
    bool WriteClipboardText(std::u16string_view text, bool secret) override {
        Clipboard* active = Active();
        return active && active->WriteClipboardText(text, secret);
    }
    void WatchOwnership(std::function<void()> lost) override {
        lost_ = std::make_shared<std::function<void()>>(std::move(lost));
        if (wayland_) wayland_->WatchOwnership(*lost_);
        if (x11_) x11_->WatchOwnership(*lost_);
    }

  private:
    static constexpr int kRetryMs = 2000;

    Clipboard* Active() { return wayland_ ? wayland_.get() : x11_.get(); }

    void Watch(Clipboard& wayland) {
        auto& control = static_cast<WaylandClipboard&>(wayland).Control();
        control.WatchLoss([this] { Lost(); });
        if (lost_) wayland.WatchOwnership(*lost_);
    }

    void Lost() {
        // Whatever the Wayland clipboard held is gone with it; a read still waiting on it has
        // already answered that it failed.
        if (reading_ == wayland_.get()) reading_ = nullptr;
        retired_ = std::move(wayland_);
        QTimer::singleShot(0, &retry_, [this] { retired_.reset(); });
        qCInfo(lcClipboard) << (x11_ ? "the X11 clipboard takes over until data-control is back"
                                     : "no clipboard until data-control is back");
        if (lost_ && *lost_) (*lost_)();
        retry_.start();
    }

    void Reconnect() {
        std::unique_ptr<Clipboard> wayland = ConnectWaylandClipboard();
        if (!wayland) return;
        retry_.stop();
        wayland_ = std::move(wayland);
        Watch(*wayland_);
        qCInfo(lcClipboard) << "data-control is back";
    }

    std::unique_ptr<Clipboard> wayland_;
    std::unique_ptr<Clipboard> retired_;
    std::unique_ptr<Clipboard> x11_;
    Clipboard* reading_ = nullptr;
    std::shared_ptr<std::function<void()>> lost_;
    QTimer retry_;
};

}  // namespace

std::unique_ptr<WaylandDataControl> ConnectWaylandDataControl() {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (name == nullptr || *name == '\0') return nullptr;
    // ext first: it is the protocol's settled form, and the one KDE Plasma keeps.
    const char* only = std::getenv("LITVOROT_DATA_CONTROL");
    const std::string forced = only != nullptr ? only : "";
    if (forced != "wlr") {
        if (auto control = ConnectWith<ExtProtocol>()) return control;
    }
    if (forced != "ext") {
        if (auto control = ConnectWith<WlrProtocol>()) return control;
    }
    return nullptr;
}

bool WaylandOffersDataControl() {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (name == nullptr || *name == '\0') return false;
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) return false;
    bool offered = false;
    wl_registry* registry = wl_display_get_registry(display);
    static const wl_registry_listener listener = {
        [](void* data, wl_registry*, std::uint32_t, const char* interface, std::uint32_t) {
            if (std::strcmp(interface, ExtProtocol::ManagerInterface()->name) == 0 ||
                std::strcmp(interface, WlrProtocol::ManagerInterface()->name) == 0) {
                *static_cast<bool*>(data) = true;
            }
        },
        [](void*, wl_registry*, std::uint32_t) {}};
    wl_registry_add_listener(registry, &listener, &offered);
    wl_display_roundtrip(display);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return offered;
}

std::unique_ptr<Clipboard> ConnectWaylandClipboard() {
    std::unique_ptr<WaylandDataControl> control = ConnectWaylandDataControl();
    if (!control) return nullptr;
    return std::make_unique<WaylandClipboard>(std::move(control));
}

std::unique_ptr<Clipboard> SessionClipboard(std::unique_ptr<Clipboard> wayland,
                                            std::unique_ptr<Clipboard> x11) {
    return std::make_unique<Session>(std::move(wayland), std::move(x11));
}

}  // namespace litvorot

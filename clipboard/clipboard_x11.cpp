#include "clipboard/clipboard_x11.h"

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include "clipboard/clipboard_qt.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QMimeData>
#include <QSocketNotifier>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace litvorot {

namespace {

// Silent unless asked for: QT_LOGGING_RULES="litvorot.clipboard=true".
Q_LOGGING_CATEGORY(lcClipboard, "litvorot.clipboard", QtWarningMsg)

// Offered by file managers for copied files: those are not text to convert.
bool IsFileFormat(const QString& format) {
    return format == QLatin1String("text/uri-list") ||
           format == QLatin1String("x-special/gnome-copied-files") ||
           format == QLatin1String("application/x-kde-cutselection");
}

template <typename T>
struct FreeDeleter {
    void operator()(T* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter<T>>;

// How often a read starts again because the clipboard changed hands while it ran, before it
// gives up: a clipboard that changes faster than it can be read has nothing stable to convert.
constexpr int kMaxRestarts = 3;

}  // namespace

// One request at a time: the owner's list of formats (TARGETS), then the text in the best text
// format it offers, in one piece or in INCR chunks. Each request uses a fresh window, so that an
// answer to an abandoned one cannot be taken for the next one's. XFixes tells of every change of
// the clipboard's owner, so that a text is never taken from another owner than the one whose
// formats were read.
class X11Clipboard::Reader {
  public:
    Reader() {
        connection_ = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(connection_)) {
            xcb_disconnect(connection_);
            connection_ = nullptr;
            return;
        }
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        clipboard_ = Atom("CLIPBOARD");
        targets_ = Atom("TARGETS");
        incr_ = Atom("INCR");
        utf8String_ = Atom("UTF8_STRING");
        textUtf8_ = Atom("text/plain;charset=utf-8");
        textPlain_ = Atom("text/plain");
        uriList_ = Atom("text/uri-list");
        gnomeFiles_ = Atom("x-special/gnome-copied-files");
        kdeCut_ = Atom("application/x-kde-cutselection");
        secret_ = Atom(kSecretFormat);
        property_ = Atom("LITVOROT_CLIPBOARD");
        WatchOwner();
        notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_),
                                                      QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                         [this] { DrainEvents(); });
        idle_.setSingleShot(true);
        QObject::connect(&idle_, &QTimer::timeout, &idle_, [this] {
            qCInfo(lcClipboard) << "the clipboard owner did not answer within"
                                << limits_.idle.count() << "ms; the conversion is given up";
            Finish(ClipboardRead::Result::kNoAnswer);
        });
        total_.setSingleShot(true);
        QObject::connect(&total_, &QTimer::timeout, &total_, [this] {
            qCInfo(lcClipboard) << "the clipboard owner did not finish its text within"
                                << limits_.total.count() << "ms; the conversion is given up";
            Finish(ClipboardRead::Result::kNoAnswer);
        });
    }
    ~Reader() {
        if (connection_ == nullptr) return;
        notifier_.reset();
        xcb_disconnect(connection_);
    }

    // False when the display could not be reached, or the connection was lost since.
    bool Usable() const {
        return connection_ != nullptr && xcb_connection_has_error(connection_) == 0;
    }

    void Start(const ReadLimits& limits, std::function<void(ClipboardRead)> done) {
        Abandon();
        qCDebug(lcClipboard) << "asking the clipboard's owner for its text";
        done_ = std::move(done);
        limits_ = limits;
        restarts_ = 0;
        total_.start(static_cast<int>(limits_.total.count()));
        Request();
        // Events that the owner query read off the connection wait in xcb's queue, where the
        // socket notifier does not see them.
        QMetaObject::invokeMethod(
            notifier_.get(), [this] { DrainEvents(); }, Qt::QueuedConnection);
    }

    void Abandon() {
        idle_.stop();
        total_.stop();
        done_ = nullptr;
        Reset();
    }

  private:
    enum class Stage { Idle, Targets, Text, Chunks };

    xcb_atom_t Atom(const char* name) {
        XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
            connection_,
            xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr));
        return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }

    // Asks XFixes for the clipboard's owner changes; without the extension a changed owner goes
    // unnoticed, as it did before XFixes existed.
    void WatchOwner() {
        const xcb_query_extension_reply_t* extension =
            xcb_get_extension_data(connection_, &xcb_xfixes_id);
        if (extension == nullptr || !extension->present) return;
        XcbReply<xcb_xfixes_query_version_reply_t> version(xcb_xfixes_query_version_reply(
            connection_, xcb_xfixes_query_version(connection_, 5, 0), nullptr));
        if (!version) return;
        xfixesEvent_ = extension->first_event;
        xcb_xfixes_select_selection_input(
            connection_, root_, clipboard_,
            XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
        xcb_flush(connection_);
    }

    // A fresh window and the first question: the owner's formats.
    void Request() {
        Reset();
        // The owner asked; only a change away from it starts the read again (events of earlier
        // changes may still be on their way).
        XcbReply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
            connection_, xcb_get_selection_owner(connection_, clipboard_), nullptr));
        owner_ = owner ? owner->owner : xcb_window_t{XCB_WINDOW_NONE};
        ownerChanged_ = false;
        window_ = xcb_generate_id(connection_);
        const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, root_, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                          &events);
        stage_ = Stage::Targets;
        Ask(targets_);
    }

    void Reset() {
        stage_ = Stage::Idle;
        data_ = std::string();
        secretFound_ = false;
        if (window_ != XCB_WINDOW_NONE && Usable()) {
            xcb_destroy_window(connection_, window_);
            xcb_flush(connection_);
        }
        window_ = XCB_WINDOW_NONE;
    }

    void Ask(xcb_atom_t target) {
        xcb_convert_selection(connection_, window_, clipboard_, target, property_,
                              XCB_CURRENT_TIME);
        xcb_flush(connection_);
        idle_.start(static_cast<int>(limits_.idle.count()));
    }

    // The size of the property's value in bytes, without fetching it.
    std::size_t PropertySize() {
        XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            connection_,
            xcb_get_property(connection_, 0, window_, property_, XCB_GET_PROPERTY_TYPE_ANY, 0, 0),
            nullptr));
        return reply ? reply->bytes_after : 0;
    }

    // The property's whole value, deleted from the window as it is read (which asks an INCR
    // owner for its next chunk).
    XcbReply<xcb_get_property_reply_t> TakeProperty() {
        return XcbReply<xcb_get_property_reply_t>(
            xcb_get_property_reply(connection_,
                                   xcb_get_property(connection_, 1, window_, property_,
                                                    XCB_GET_PROPERTY_TYPE_ANY, 0, 0x1fffffff),
                                   nullptr));
    }

    void DrainEvents() {
        if (!Usable()) return LoseConnection();
        while (xcb_generic_event_t* raw = xcb_poll_for_event(connection_)) {
            XcbReply<xcb_generic_event_t> event(raw);
            const auto type = event->response_type & 0x7f;
            if (xfixesEvent_ != 0 && type == xfixesEvent_ + XCB_XFIXES_SELECTION_NOTIFY) {
                OnOwnerEvent(*reinterpret_cast<xcb_xfixes_selection_notify_event_t*>(raw));
            } else if (type == XCB_SELECTION_NOTIFY) {
                const auto* notify = reinterpret_cast<xcb_selection_notify_event_t*>(raw);
                if (notify->requestor == window_ && window_ != XCB_WINDOW_NONE) {
                    OnSelectionNotify(*notify);
                }
            } else if (type == XCB_PROPERTY_NOTIFY) {
                const auto* change = reinterpret_cast<xcb_property_notify_event_t*>(raw);
                if (change->window == window_ && window_ != XCB_WINDOW_NONE &&
                    change->atom == property_ && change->state == XCB_PROPERTY_NEW_VALUE &&
                    stage_ == Stage::Chunks) {
                    OnChunk();
                }
            }
            if (!done_) continue;
            // The owner that answers now may not be the one whose formats were read.
            if (ownerChanged_ && stage_ != Stage::Idle) OwnerChanged();
        }
        if (!Usable()) LoseConnection();
    }

    // A new owner other than the one asked, or the one asked gone (its window destroyed, its
    // program ended).
    void OnOwnerEvent(const xcb_xfixes_selection_notify_event_t& change) {
        if (change.selection != clipboard_ || stage_ == Stage::Idle) return;
        if (change.subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER) {
            if (change.owner != owner_) ownerChanged_ = true;
        } else if (change.owner == owner_) {
            ownerChanged_ = true;
        }
    }

    void LoseConnection() {
        if (notifier_) notifier_->setEnabled(false);
        qCInfo(lcClipboard) << "the connection to the display was lost";
        Finish(ClipboardRead::Result::kFailed);
    }

    void OwnerChanged() {
        if (++restarts_ > kMaxRestarts) {
            qCInfo(lcClipboard) << "the clipboard changed hands" << kMaxRestarts
                                << "times during one read; the conversion is given up";
            return Finish(ClipboardRead::Result::kNoAnswer);
        }
        qCInfo(lcClipboard) << "the clipboard changed hands during the read; reading again";
        Request();
    }

    void OnSelectionNotify(const xcb_selection_notify_event_t& notify) {
        if (stage_ != Stage::Targets && stage_ != Stage::Text) return;
        // Events come in the server's order: a change of owner before this answer was seen.
        if (ownerChanged_) return OwnerChanged();
        if (notify.property == XCB_ATOM_NONE) return Finish(ClipboardRead::Result::kNoText);
        if (stage_ == Stage::Targets) return OnTargets();
        if (PropertySize() > limits_.MaxBytes()) return Finish(ClipboardRead::Result::kTooLarge);
        auto reply = TakeProperty();
        if (!reply) return Finish(ClipboardRead::Result::kFailed);
        if (reply->type == incr_) {
            // The value is a lower bound of the text's size.
            if (xcb_get_property_value_length(reply.get()) >= 4) {
                std::uint32_t announced = 0;
                std::memcpy(&announced, xcb_get_property_value(reply.get()), 4);
                if (announced > limits_.MaxBytes()) {
                    return Finish(ClipboardRead::Result::kTooLarge);
                }
            }
            stage_ = Stage::Chunks;
            idle_.start(static_cast<int>(limits_.idle.count()));
            return;
        }
        if (!Append(*reply)) return;
        FinishText();
    }

    void OnTargets() {
        auto reply = TakeProperty();
        if (!reply) return Finish(ClipboardRead::Result::kFailed);
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
        const int count = reply->format == 32 ? xcb_get_property_value_length(reply.get()) / 4 : 0;
        // The text formats, best first: UTF-8 ones, then Latin-1 (STRING).
        const xcb_atom_t preference[] = {utf8String_, textUtf8_, textPlain_, XCB_ATOM_STRING};
        std::size_t best = std::size(preference);
        for (int i = 0; i < count; ++i) {
            // Files count as no text, even where their names are offered as text too.
            if (atoms[i] == uriList_ || atoms[i] == gnomeFiles_ || atoms[i] == kdeCut_) {
                return Finish(ClipboardRead::Result::kFiles);
            }
            if (atoms[i] == secret_ && secret_ != XCB_ATOM_NONE) secretFound_ = true;
            for (std::size_t rank = 0; rank < best; ++rank) {
                if (atoms[i] == preference[rank] && atoms[i] != XCB_ATOM_NONE) best = rank;
            }
        }
        if (best == std::size(preference)) {  // a picture, or nothing
            return Finish(ClipboardRead::Result::kNoText);
        }
        latin1_ = preference[best] == XCB_ATOM_STRING;
        stage_ = Stage::Text;
        Ask(preference[best]);
    }

    void OnChunk() {
        if (ownerChanged_) return OwnerChanged();
        auto reply = TakeProperty();
        if (!reply) return Finish(ClipboardRead::Result::kFailed);
        if (xcb_get_property_value_length(reply.get()) == 0) return FinishText();
        if (!Append(*reply)) return;
        idle_.start(static_cast<int>(limits_.idle.count()));
    }

    // False, with the read ended, once the text is over the limit: nothing more is taken.
    bool Append(xcb_get_property_reply_t& reply) {
        const auto* bytes = static_cast<const char*>(xcb_get_property_value(&reply));
        const auto length = static_cast<std::size_t>(xcb_get_property_value_length(&reply));
        if (data_.size() + length > limits_.MaxBytes()) {
            qCInfo(lcClipboard) << "the clipboard text is over" << limits_.maxUnits
                                << "characters; it is left as it is";
            Finish(ClipboardRead::Result::kTooLarge);
            return false;
        }
        data_.append(bytes, length);
        return true;
    }

    void FinishText() {
        const auto size = static_cast<qsizetype>(data_.size());
        const QString text = latin1_ ? QString::fromLatin1(data_.data(), size)
                                     : QString::fromUtf8(data_.data(), size);
        data_ = std::string();
        ClipboardRead read = ReadOfText(ClipboardTextFrom(text), limits_);
        read.secret = secretFound_;
        Finish(std::move(read));
    }

    void Finish(ClipboardRead::Result result) {
        ClipboardRead read;
        read.result = result;
        read.secret = secretFound_;
        Finish(std::move(read));
    }

    // Ends the request; `done` may start the next one.
    void Finish(ClipboardRead read) {
        auto done = std::exchange(done_, nullptr);
        Abandon();
        if (done) done(std::move(read));
    }

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_window_t window_ = XCB_WINDOW_NONE;
    xcb_atom_t clipboard_ = XCB_ATOM_NONE, targets_ = XCB_ATOM_NONE, incr_ = XCB_ATOM_NONE,
               utf8String_ = XCB_ATOM_NONE, textUtf8_ = XCB_ATOM_NONE, textPlain_ = XCB_ATOM_NONE,
               uriList_ = XCB_ATOM_NONE, gnomeFiles_ = XCB_ATOM_NONE, kdeCut_ = XCB_ATOM_NONE,
               secret_ = XCB_ATOM_NONE, property_ = XCB_ATOM_NONE;
    std::uint8_t xfixesEvent_ = 0;  // XFixes' first event code; 0 without the extension
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer idle_;   // no news from the owner
    QTimer total_;  // the whole read
    ReadLimits limits_;
    Stage stage_ = Stage::Idle;
    bool latin1_ = false;  // the text comes as STRING
    bool secretFound_ = false;
    xcb_window_t owner_ = XCB_WINDOW_NONE;  // the owner asked
    bool ownerChanged_ = false;
    int restarts_ = 0;
    std::string data_;
    std::function<void(ClipboardRead)> done_;
};

X11Clipboard::X11Clipboard() = default;

X11Clipboard::~X11Clipboard() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (wroteSecret_ && clipboard != nullptr && clipboard->ownsClipboard()) clipboard->clear();
}

std::u16string X11Clipboard::GetClipboardText() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return {};
    const QMimeData* data = clipboard->mimeData(QClipboard::Clipboard);
    if (data == nullptr) return {};
    // Pictures and files offer no text to convert. The formats are asked for once:
    // QMimeData::hasText() asks twice (plain text, then URLs), and each question to a clipboard
    // owner that never answers costs Qt's whole clipboard timeout.
    const QStringList formats = data->formats();
    for (const QString& format : formats) {
        if (IsFileFormat(format)) return {};
    }
    if (!formats.contains(QStringLiteral("text/plain"))) return {};
    return ClipboardTextFrom(data->text());
}

void X11Clipboard::ReadClipboard(const ReadLimits& limits,
                                 std::function<void(ClipboardRead)> done) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    // What this program put there Qt gives at once, without asking the server.
    if (clipboard != nullptr && clipboard->ownsClipboard()) {
        ClipboardRead read = ReadOfText(GetClipboardText(), limits);
        read.secret = wroteSecret_;
        return done(std::move(read));
    }
    // A connection lost (the display restarted, an X error that closed it) is opened again,
    // rather than every later read waiting out its time.
    if (reader_ && !reader_->Usable()) reader_.reset();
    if (!reader_) reader_ = std::make_unique<Reader>();
    if (!reader_->Usable()) {
        ClipboardRead read;
        read.result = ClipboardRead::Result::kFailed;
        return done(std::move(read));
    }
    reader_->Start(limits, std::move(done));
}

void X11Clipboard::AbandonClipboardRead() {
    if (reader_) reader_->Abandon();
}

bool X11Clipboard::SetClipboardText(std::u16string_view text) {
    return WriteClipboardText(text, false);
}

bool X11Clipboard::WriteClipboardText(std::u16string_view text, bool secret) {
    const std::u16string_view body = TextBeforeNul(text);
    if (body.empty()) return false;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return false;
    auto* data = new QMimeData;
    data->setText(QStringFrom(body));
    if (secret) data->setData(QString::fromLatin1(kSecretFormat), QByteArray(kSecretValue));
    wroteSecret_ = secret;
    clipboard->setMimeData(data, QClipboard::Clipboard);
    return true;
}

void X11Clipboard::WatchOwnership(std::function<void()> lost) {
    lost_ = std::move(lost);
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return;
    // Qt tells of every change of the clipboard, this program's own writes among them.
    QObject::connect(clipboard, &QClipboard::changed, clipboard, [this](QClipboard::Mode mode) {
        QClipboard* board = QGuiApplication::clipboard();
        if (mode != QClipboard::Clipboard || board == nullptr || board->ownsClipboard()) return;
        wroteSecret_ = false;
        if (lost_) lost_();
    });
}

}  // namespace litvorot

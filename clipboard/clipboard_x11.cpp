#include "clipboard/clipboard_x11.h"

#include <xcb/xcb.h>

#include "clipboard/clipboard_qt.h"

#include <QClipboard>
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

}  // namespace

// One request at a time: the owner's list of formats (TARGETS), then the text in the best text
// format it offers, in one piece or in INCR chunks. Each request uses a fresh window, so that an
// answer to an abandoned one cannot be taken for the next one's.
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
        property_ = Atom("LITVOROT_CLIPBOARD");
        notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_),
                                                      QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                         [this] { DrainEvents(); });
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
            qCInfo(lcClipboard) << "the clipboard owner did not answer within" << kReadTimeoutMs
                                << "ms; the conversion is given up";
            Finish({});
        });
    }
    ~Reader() {
        if (connection_ == nullptr) return;
        notifier_.reset();
        xcb_disconnect(connection_);
    }

    bool Usable() const { return connection_ != nullptr; }

    void Start(std::function<void(std::u16string)> done) {
        Abandon();
        done_ = std::move(done);
        window_ = xcb_generate_id(connection_);
        const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, root_, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                          &events);
        stage_ = Stage::Targets;
        Ask(targets_);
    }

    void Abandon() {
        timer_.stop();
        done_ = nullptr;
        stage_ = Stage::Idle;
        data_.clear();
        if (window_ != XCB_WINDOW_NONE) {
            xcb_destroy_window(connection_, window_);
            xcb_flush(connection_);
            window_ = XCB_WINDOW_NONE;
        }
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

    void Ask(xcb_atom_t target) {
        xcb_convert_selection(connection_, window_, clipboard_, target, property_,
                              XCB_CURRENT_TIME);
        xcb_flush(connection_);
        timer_.start(kReadTimeoutMs);
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
        while (xcb_generic_event_t* raw = xcb_poll_for_event(connection_)) {
            XcbReply<xcb_generic_event_t> event(raw);
            const auto type = event->response_type & 0x7f;
            if (type == XCB_SELECTION_NOTIFY) {
                const auto* notify = reinterpret_cast<xcb_selection_notify_event_t*>(raw);
                if (notify->requestor == window_) OnSelectionNotify(*notify);
            } else if (type == XCB_PROPERTY_NOTIFY) {
                const auto* change = reinterpret_cast<xcb_property_notify_event_t*>(raw);
                if (change->window == window_ && change->atom == property_ &&
                    change->state == XCB_PROPERTY_NEW_VALUE && stage_ == Stage::Chunks) {
                    OnChunk();
                }
            }
        }
        if (xcb_connection_has_error(connection_)) {
            notifier_->setEnabled(false);
            Finish({});
        }
    }

    void OnSelectionNotify(const xcb_selection_notify_event_t& notify) {
        if (stage_ != Stage::Targets && stage_ != Stage::Text) return;
        if (notify.property == XCB_ATOM_NONE) return Finish({});  // refused
        auto reply = TakeProperty();
        if (!reply) return Finish({});
        if (stage_ == Stage::Targets) {
            const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
            const int count =
                reply->format == 32 ? xcb_get_property_value_length(reply.get()) / 4 : 0;
            // The text formats, best first: UTF-8 ones, then Latin-1 (STRING).
            const xcb_atom_t preference[] = {utf8String_, textUtf8_, textPlain_, XCB_ATOM_STRING};
            std::size_t best = std::size(preference);
            for (int i = 0; i < count; ++i) {
                // Files count as no text, even where their names are offered as text too.
                if (atoms[i] == uriList_ || atoms[i] == gnomeFiles_ || atoms[i] == kdeCut_) {
                    return Finish({});
                }
                for (std::size_t rank = 0; rank < best; ++rank) {
                    if (atoms[i] == preference[rank] && atoms[i] != XCB_ATOM_NONE) best = rank;
                }
            }
            if (best == std::size(preference)) return Finish({});  // a picture, or nothing
            latin1_ = preference[best] == XCB_ATOM_STRING;
            stage_ = Stage::Text;
            return Ask(preference[best]);
        }
        if (reply->type == incr_) {
            stage_ = Stage::Chunks;
            timer_.start(kReadTimeoutMs);
            return;
        }
        Append(*reply);
        Finish(Decode());
    }

    void OnChunk() {
        auto reply = TakeProperty();
        if (!reply) return Finish({});
        if (xcb_get_property_value_length(reply.get()) == 0) return Finish(Decode());
        Append(*reply);
        timer_.start(kReadTimeoutMs);
    }

    void Append(xcb_get_property_reply_t& reply) {
        const auto* bytes = static_cast<const char*>(xcb_get_property_value(&reply));
        data_.append(bytes, static_cast<std::size_t>(xcb_get_property_value_length(&reply)));
    }

    std::u16string Decode() const {
        const auto size = static_cast<qsizetype>(data_.size());
        return ClipboardTextFrom(latin1_ ? QString::fromLatin1(data_.data(), size)
                                         : QString::fromUtf8(data_.data(), size));
    }

    // Ends the request; `done` may start the next one.
    void Finish(std::u16string text) {
        auto done = std::exchange(done_, nullptr);
        Abandon();
        if (done) done(std::move(text));
    }

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_window_t window_ = XCB_WINDOW_NONE;
    xcb_atom_t clipboard_ = XCB_ATOM_NONE, targets_ = XCB_ATOM_NONE, incr_ = XCB_ATOM_NONE,
               utf8String_ = XCB_ATOM_NONE, textUtf8_ = XCB_ATOM_NONE, textPlain_ = XCB_ATOM_NONE,
               uriList_ = XCB_ATOM_NONE, gnomeFiles_ = XCB_ATOM_NONE, kdeCut_ = XCB_ATOM_NONE,
               property_ = XCB_ATOM_NONE;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer timer_;
    Stage stage_ = Stage::Idle;
    bool latin1_ = false;  // the text comes as STRING
    std::string data_;
    std::function<void(std::u16string)> done_;
};

X11Clipboard::X11Clipboard() = default;
X11Clipboard::~X11Clipboard() = default;

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

void X11Clipboard::ReadClipboardText(std::function<void(std::u16string)> done) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    // What this program put there Qt gives at once, without asking the server.
    if (clipboard != nullptr && clipboard->ownsClipboard()) return done(GetClipboardText());
    if (!reader_) reader_ = std::make_unique<Reader>();
    if (!reader_->Usable()) return done(GetClipboardText());
    reader_->Start(std::move(done));
}

void X11Clipboard::AbandonClipboardRead() {
    if (reader_ && reader_->Usable()) reader_->Abandon();
}

bool X11Clipboard::SetClipboardText(std::u16string_view text) {
    const std::u16string_view body = TextBeforeNul(text);
    if (body.empty()) return false;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return false;
    clipboard->setText(QStringFrom(body), QClipboard::Clipboard);
    return true;
}

}  // namespace litvorot

#include "tables/modMessages.h"

#include <utility>

namespace litvorot {

namespace {
MessageHook& Hook() {
    static MessageHook hook;
    return hook;
}
thread_local MessageCapture* t_capture = nullptr;
}  // namespace

MessageHook SetMessageHook(MessageHook hook) { return std::exchange(Hook(), std::move(hook)); }

void ShowMessage(std::string_view text) {
    if (t_capture != nullptr) {
        t_capture->messages_.emplace_back(text);
        return;
    }
    if (const MessageHook& hook = Hook()) hook(text);
}

MessageCapture::MessageCapture() : outer_(t_capture) { t_capture = this; }

MessageCapture::~MessageCapture() { t_capture = outer_; }

std::vector<std::string> MessageCapture::Take() { return std::exchange(messages_, {}); }

}  // namespace litvorot

#include "tables/modMessages.h"

#include <utility>

namespace litvorot {

namespace {
MessageHook& Hook() {
    static MessageHook hook;
    return hook;
}
}  // namespace

MessageHook SetMessageHook(MessageHook hook) { return std::exchange(Hook(), std::move(hook)); }

void ShowMessage(std::string_view text) {
    if (const MessageHook& hook = Hook()) hook(text);
}

}  // namespace litvorot

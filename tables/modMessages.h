// The few messages the user must see ("Invalid table", ...) go through one hook, so that each
// front end shows them its own way: the tray program in a modal box with only OK, the command-line
// converter on standard error, tests by counting them.
#pragma once

#include <functional>
#include <string_view>

namespace litvorot {

using MessageHook = std::function<void(std::string_view text)>;

// Installs the hook that shows a message; an empty hook silences messages. Returns the previous
// one.
MessageHook SetMessageHook(MessageHook hook);

// Shows a message through the installed hook (nothing happens when none is installed).
void ShowMessage(std::string_view text);

}  // namespace litvorot

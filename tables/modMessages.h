// The few messages the user must see ("Invalid table", ...) go through one hook, so that each
// front end shows them its own way: the tray program in a modal box with only OK, the command-line
// converter on standard error, tests by counting them.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace litvorot {

using MessageHook = std::function<void(std::string_view text)>;

// Installs the hook that shows a message; an empty hook silences messages. Returns the previous
// one.
MessageHook SetMessageHook(MessageHook hook);

// Shows a message through the installed hook (nothing happens when none is installed), or keeps
// it in the innermost MessageCapture of the current thread.
void ShowMessage(std::string_view text);

// While one lives, the messages raised on the current thread are kept in it instead of being
// shown, so that a step (a conversion) can run to its end and its caller show them afterwards.
class MessageCapture {
  public:
    MessageCapture();
    ~MessageCapture();
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    // The messages kept so far, in order; the capture is empty afterwards.
    std::vector<std::string> Take();

  private:
    friend void ShowMessage(std::string_view text);
    MessageCapture* outer_;
    std::vector<std::string> messages_;
};

}  // namespace litvorot

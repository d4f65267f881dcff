#pragma once

#include <functional>

namespace litvorot {

// Makes SIGTERM, SIGINT and SIGHUP call `onSignal` from the event loop (never from the signal
// handler itself). Once per process; false when it could not be set up.
bool CallOnTerminationSignals(std::function<void()> onSignal);

}  // namespace litvorot

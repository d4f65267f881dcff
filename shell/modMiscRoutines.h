#pragma once

namespace litvorot {

// Waits `seconds` while window events go on being processed. Zero or less returns at once.
// Measured on a monotonic clock, so neither midnight nor a change of the system time matters.
void Pause(int seconds);

}  // namespace litvorot

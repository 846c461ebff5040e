#pragma once

namespace quorvane::bench {

// Runs the event loop until `done` is set, at most `timeoutMs`. A real event loop, not QTest's
// waits, which starve the web engine: it runs its tasks on this thread one hop at a time.
void RunUntil(const bool& done, int timeoutMs);

// A user's presses are seconds apart, and the program uses that time to make ready for the next
// one (the web engine brings up the renderer of the next page): the event loop runs for this long
// between two timed presses.
inline constexpr int kPauseBetweenPressesMs = 300;
void PauseBetweenPresses();

}  // namespace quorvane::bench

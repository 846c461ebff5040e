#pragma once

namespace quorvane {

// The program's name and desktop entry, as the desktop shows them; called once, right after the
// application object is made.
void SetApplicationIdentity();

// The program's window icon. Reading it costs the start-up time that the window's first frame does
// not need, so the program sets it once that frame is drawn.
void SetApplicationIcon();

}  // namespace quorvane

#pragma once

namespace quorvane {

// The program's name, desktop entry and window icon, as the desktop shows them; called once, right
// after the application object is made.
void SetApplicationIdentity();

}  // namespace quorvane

#pragma once

#include <QtGlobal>

namespace quorvane {

// The resident memory of process `pid` in bytes, or -1 when it cannot be read (gone, or not
// Linux). Reads /proc, so it is cheap enough to poll.
qint64 ResidentBytes(qint64 pid);

}  // namespace quorvane

// A port on 127.0.0.1 that was free a moment ago (the system's choice for port 0).
// It may be taken again before the caller uses it; callers retry where it matters.
#pragma once

namespace base {

// 0 when no port could be had.
unsigned short FreeLoopbackPort();

}  // namespace base

// The host window's sizing rule: a client size in 96-DPI units, scaled to the
// screen, turned into a window size and centred inside the work area.
// User-interface thread.
#pragma once

#include "base/Platform.h"

namespace stubframework::htmlui {

// Sizes and centres `window`; does nothing when the resulting window size equals
// (lastWidth, lastHeight), which it updates otherwise.
void ResizeAndCenter(HWND window, int width, int height, int& lastWidth, int& lastHeight);

}  // namespace stubframework::htmlui

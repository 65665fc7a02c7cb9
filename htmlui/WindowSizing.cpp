#include "htmlui/WindowSizing.h"

#include <algorithm>

namespace stubframework::htmlui {

void ResizeAndCenter(HWND window, int width, int height, int& lastWidth, int& lastHeight) {
  if (!window) return;
  int dpiX = 96;
  int dpiY = 96;
  if (HDC screen = ::GetDC(nullptr)) {
    dpiX = ::GetDeviceCaps(screen, LOGPIXELSX);
    dpiY = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
  }
  RECT frame = {0, 0, width * dpiX / 96, height * dpiY / 96};
  const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE));
  const DWORD exStyle = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_EXSTYLE));
  ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const int windowWidth = frame.right - frame.left;
  const int windowHeight = frame.bottom - frame.top;

  RECT reference = {};
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  if (HWND owner = ::GetWindow(window, GW_OWNER)) {
    ::GetWindowRect(owner, &reference);
    ::GetMonitorInfoW(::MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
  } else {
    POINT cursor = {};
    ::GetCursorPos(&cursor);
    ::GetMonitorInfoW(::MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &monitor);
    reference = monitor.rcWork;
  }
  const RECT& work = monitor.rcWork;
  int left = std::min<int>(work.right, (reference.left + reference.right + windowWidth) / 2) - windowWidth;
  left = std::max<int>(left, work.left);
  int top = std::min<int>(work.bottom, (reference.top + reference.bottom + windowHeight) / 2) - windowHeight;
  top = std::max<int>(top, work.top);

  if (windowWidth == lastWidth && windowHeight == lastHeight) return;
  lastWidth = windowWidth;
  lastHeight = windowHeight;
  ::SetWindowPos(window, nullptr, left, top, windowWidth, windowHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

}  // namespace stubframework::htmlui

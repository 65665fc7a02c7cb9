// Window methods act on the window the catalogue was given through the script
// object (a plain top-level window of the host's class here).
#include "tests/bridge/BridgeFixture.h"

using namespace testsupport;

namespace {

int g_closeMessages = 0;

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    ++g_closeMessages;  // the host only raises its close-request flag here
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

class WindowMethodsTest : public BridgeFixture {
 protected:
  void SetUp() override {
    BridgeFixture::SetUp();
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &HostProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"HTMLUI";
    ::RegisterClassExW(&windowClass);  // stays registered for the process, as in the stub
    window_ = ::CreateWindowExW(0, L"HTMLUI", L"host", WS_POPUP | WS_VISIBLE, 0, 0, 0, 0, nullptr, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
    external()->setWindow(window_);
    g_closeMessages = 0;
  }
  void TearDown() override {
    external()->setWindow(nullptr);
    ::DestroyWindow(window_);
    BridgeFixture::TearDown();
  }
  SIZE clientSize() const {
    RECT client = {};
    ::GetClientRect(window_, &client);
    return SIZE{client.right - client.left, client.bottom - client.top};
  }
  HWND window_ = nullptr;
};

TEST_F(WindowMethodsTest, SetWindowSizeScalesAndCentresOnlyOnChange) {
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
  ::ReleaseDC(nullptr, screen);
  ASSERT_EQ(script().run(L"external.setWindowSize(300, 150);"), S_OK);
  EXPECT_EQ(clientSize().cx, 300 * dpi / 96);
  EXPECT_EQ(clientSize().cy, 150 * dpi / 96);
  RECT placed = {};
  ::GetWindowRect(window_, &placed);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  ::GetMonitorInfoW(::MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &monitor);
  EXPECT_LE(std::abs((placed.left + placed.right) - (monitor.rcWork.left + monitor.rcWork.right)), 1);
  // Moved by the user, then the same size again: it stays where the user put it.
  ::SetWindowPos(window_, nullptr, 5, 7, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_EQ(script().run(L"external.setWindowSize(300, 150);"), S_OK);
  RECT after = {};
  ::GetWindowRect(window_, &after);
  EXPECT_EQ(after.left, 5);
  EXPECT_EQ(after.top, 7);
  EXPECT_NE(logText().find(L"ZSWindowSize: 300"), std::wstring::npos);
}

TEST_F(WindowMethodsTest, DefaultSizeAppliesOnlyToAnEmptyWindow) {
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
  ::ReleaseDC(nullptr, screen);
  external()->ensureDefaultSize();
  EXPECT_EQ(clientSize().cx, 400 * dpi / 96);
  EXPECT_EQ(clientSize().cy, 200 * dpi / 96);
  ASSERT_EQ(script().run(L"external.setWindowSize(500, 300);"), S_OK);
  const SIZE sized = clientSize();
  external()->ensureDefaultSize();
  EXPECT_EQ(clientSize().cx, sized.cx);
  EXPECT_EQ(clientSize().cy, sized.cy);
}

TEST_F(WindowMethodsTest, HideAndShow) {
  ASSERT_EQ(script().run(L"external.hideWindow();"), S_OK);
  EXPECT_FALSE(::IsWindowVisible(window_));
  ASSERT_EQ(script().run(L"external.showWindow();"), S_OK);
  EXPECT_TRUE(::IsWindowVisible(window_));
  const std::wstring log = logText();
  EXPECT_LT(log.find(L"EMHideWindow"), log.find(L"EMShowWindow"));
}

TEST_F(WindowMethodsTest, CloseWindowAsksTheHostWindowOnly) {
  ASSERT_EQ(script().run(L"external.closeWindow();"), S_OK);
  EXPECT_EQ(g_closeMessages, 1);
  EXPECT_TRUE(::IsWindow(window_));  // closing is the message loop's business
  HWND other = ::CreateWindowExW(0, L"STATIC", L"other", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  external()->setWindow(other);
  ASSERT_EQ(script().run(L"external.closeWindow();"), S_OK);
  EXPECT_EQ(g_closeMessages, 1);
  EXPECT_TRUE(::IsWindow(other));
  ::DestroyWindow(other);
  EXPECT_NE(logText().find(L"ZSClose"), std::wstring::npos);
}

}  // namespace

// The main window's document client site, its message loop with the close
// request, the browser fallback's wait for a browser, and the sizing rule's
// clamping. Windows run under Xvfb; the embedded document itself cannot be made
// here, so its answers are checked directly on the client.
#include "htmlui/HtmlExternal.h"
#include "htmlui/MSHTMLClient.h"
#include "htmlui/MainWindow.h"
#include "htmlui/WindowSizing.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <servprov.h>

#include <vector>

namespace {

using stubframework::core::HtmlExternal;
using stubframework::htmlui::MSHTMLClient;

const IID kIID_IDocHostShowUI = {0xc4d244b0, 0xd43e, 0x11cf, {0x89, 0x3b, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x1a}};
const IID kIID_IDocHostUIHandler2 = {0x3050f6d0, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};
const GUID kDocHostCommandGroup = {0xf38bc242, 0xb950, 0x11d1, {0x89, 0x18, 0x00, 0xc0, 0x4f, 0xc2, 0xc8, 0x36}};
const IID kIID_IOleInPlaceSiteWindowless = {0x922eada0, 0x3424, 0x11cf, {0xb6, 0x70, 0x00, 0xaa, 0x00, 0x4c, 0xd6, 0xd8}};

class ClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = ::CreateWindowExW(0, L"STATIC", L"before", WS_POPUP, 0, 0, 50, 40, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr) << "needs a display (run under xvfb-run)";
    external_ = new HtmlExternal(nullptr);
    client_ = new MSHTMLClient(window_, external_);
  }
  void TearDown() override {
    client_->Release();
    external_->Release();
    ::DestroyWindow(window_);
  }
  HWND window_ = nullptr;
  HtmlExternal* external_ = nullptr;
  MSHTMLClient* client_ = nullptr;
};

TEST_F(ClientTest, AnswersItsHostInterfacesAndRefusesTheRest) {
  const IID accepted[] = {IID_IUnknown,       IID_IDispatch,         IID_IDocHostUIHandler, kIID_IDocHostUIHandler2,
                          kIID_IDocHostShowUI, IID_IOleClientSite,    IID_IOleDocumentSite,  IID_IOleWindow,
                          IID_IOleInPlaceSite, IID_IOleInPlaceSiteEx, IID_IOleInPlaceUIWindow, IID_IOleInPlaceFrame,
                          IID_IPropertyNotifySink, IID_IOleCommandTarget};
  IUnknown* identity = nullptr;
  ASSERT_EQ(client_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
  for (const IID& iid : accepted) {
    IUnknown* face = nullptr;
    ASSERT_EQ(client_->QueryInterface(iid, reinterpret_cast<void**>(&face)), S_OK);
    // Every face leads back to the same object.
    IUnknown* back = nullptr;
    ASSERT_EQ(face->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back)), S_OK);
    EXPECT_EQ(back, identity);
    back->Release();
    face->Release();
  }
  identity->Release();
  for (const IID& iid : {IID_IServiceProvider, kIID_IOleInPlaceSiteWindowless, IID_IDispatchEx, IID_IOleObject}) {
    void* face = reinterpret_cast<void*>(1);
    EXPECT_EQ(client_->QueryInterface(iid, &face), E_NOINTERFACE);
    EXPECT_EQ(face, nullptr);
  }
}

TEST_F(ClientTest, HostInfoMenusAndAmbientDownloadControl) {
  DOCHOSTUIINFO info = {};
  info.cbSize = sizeof(info);
  ASSERT_EQ(client_->GetHostInfo(&info), S_OK);
  EXPECT_EQ(info.dwFlags, 0x40250003u);
  EXPECT_EQ(info.dwDoubleClick, static_cast<DWORD>(DOCHOSTUIDBLCLK_DEFAULT));
  EXPECT_EQ(info.pchHostCss, nullptr);
  EXPECT_EQ(info.pchHostNS, nullptr);

  struct Menu {
    DWORD id;
    HRESULT answer;
  };
  for (const Menu& m : {Menu{0, S_OK}, Menu{1, S_OK}, Menu{2, S_FALSE}, Menu{3, S_OK}, Menu{4, S_FALSE},
                        Menu{5, S_OK}, Menu{9, S_FALSE}, Menu{10, S_FALSE}, Menu{11, S_OK}}) {
    POINT at = {};
    EXPECT_EQ(client_->ShowContextMenu(m.id, &at, nullptr, nullptr), m.answer) << m.id;
  }

  VARIANT value;
  ::VariantInit(&value);
  DISPPARAMS none = {};
  ASSERT_EQ(client_->Invoke(-5512, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr), S_OK);
  EXPECT_EQ(value.vt, VT_I4);
  EXPECT_EQ(value.lVal, 0x2070);
  EXPECT_EQ(client_->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);

  LRESULT shown = 99;
  EXPECT_EQ(client_->ShowMessage(window_, const_cast<LPOLESTR>(L"alert"), nullptr, MB_OK, nullptr, 0, &shown), S_OK);
  EXPECT_EQ(shown, 0);
  EXPECT_EQ(client_->ShowUI(0, nullptr, nullptr, nullptr, nullptr), S_FALSE);
  IDropTarget* target = nullptr;
  EXPECT_EQ(client_->GetDropTarget(nullptr, &target), E_FAIL);
}

TEST_F(ClientTest, ExecSetsTheTitleAndAnswersCommandGroups) {
  VARIANT title;
  ::VariantInit(&title);
  title.vt = VT_BSTR;
  title.bstrVal = ::SysAllocString(L"Tarvik Setup");
  EXPECT_EQ(client_->Exec(nullptr, 28, 0, &title, nullptr), S_OK);
  ::VariantClear(&title);
  wchar_t text[64] = {};
  ::GetWindowTextW(window_, text, 64);
  EXPECT_STREQ(text, L"Tarvik Setup");
  VARIANT number;
  ::VariantInit(&number);
  number.vt = VT_I4;
  EXPECT_EQ(client_->Exec(nullptr, 28, 0, &number, nullptr), S_OK);
  ::GetWindowTextW(window_, text, 64);
  EXPECT_STREQ(text, L"Tarvik Setup");
  EXPECT_EQ(client_->Exec(nullptr, 27, 0, nullptr, nullptr), E_NOTIMPL);
  EXPECT_EQ(client_->Exec(&kDocHostCommandGroup, 6, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(client_->Exec(&kDocHostCommandGroup, 6041, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(client_->Exec(&kDocHostCommandGroup, 7, 0, nullptr, nullptr), OLECMDERR_E_NOTSUPPORTED);
  EXPECT_EQ(client_->Exec(&IID_IDispatch, 6, 0, nullptr, nullptr), OLECMDERR_E_UNKNOWNGROUP);
}

TEST_F(ClientTest, ExternalIsHandedOutUntilTheWindowGoes) {
  IDispatch* dispatch = nullptr;
  ASSERT_EQ(client_->GetExternal(&dispatch), S_OK);
  EXPECT_EQ(dispatch, static_cast<IDispatch*>(external_));
  dispatch->Release();
  client_->detach();
  dispatch = reinterpret_cast<IDispatch*>(1);
  EXPECT_EQ(client_->GetExternal(&dispatch), S_FALSE);
  EXPECT_EQ(dispatch, nullptr);
}

TEST_F(ClientTest, WindowContextIsTheClientArea) {
  IOleInPlaceFrame* frame = nullptr;
  IOleInPlaceUIWindow* document = reinterpret_cast<IOleInPlaceUIWindow*>(1);
  RECT position = {}, clip = {};
  OLEINPLACEFRAMEINFO info = {};
  info.cb = sizeof(info);
  ASSERT_EQ(client_->GetWindowContext(&frame, &document, &position, &clip, &info), S_OK);
  ASSERT_NE(frame, nullptr);
  frame->Release();
  EXPECT_EQ(document, nullptr);
  EXPECT_EQ(position.right, 50);
  EXPECT_EQ(position.bottom, 40);
  EXPECT_EQ(clip.right, 50);
  EXPECT_EQ(info.hwndFrame, window_);
  EXPECT_FALSE(info.fMDIApp);
  BOOL noRedraw = FALSE;
  EXPECT_EQ(client_->OnInPlaceActivateEx(&noRedraw, 0), S_OK);
  EXPECT_TRUE(noRedraw);
}

// Runs the main window on a page folder with the browser fallback, no browser
// ever connecting, and `onTimer` fired once the loop runs.
class MainWindowLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::SetEnvironmentVariableW(L"TARVIK_PAGE_HOST", L"browser");
    ::SetEnvironmentVariableW(L"TARVIK_PAGE_ADDRESS_FILE", L"NUL");
    ASSERT_TRUE(testsupport::WriteFileBytes(folder_.file(L"Load.html"), "<html><body>x</body></html>"));
    external_ = new HtmlExternal(nullptr);
  }
  void TearDown() override {
    external_->Release();
    ::SetEnvironmentVariableW(L"TARVIK_PAGE_HOST", nullptr);
    ::SetEnvironmentVariableW(L"TARVIK_PAGE_ADDRESS_FILE", nullptr);
    ::SetEnvironmentVariableW(L"TARVIK_PAGE_CONNECT_SECONDS", nullptr);
  }
  ULONGLONG runMs(TIMERPROC onTimer) {
    if (onTimer) ::SetTimer(nullptr, 0, 300, onTimer);
    const ULONGLONG start = ::GetTickCount64();
    stubframework::htmlui::runMainWindow(folder_.path(), external_, {});
    return ::GetTickCount64() - start;
  }
  testsupport::ScopedTempDir folder_;
  HtmlExternal* external_ = nullptr;
};

HWND g_seenWindow = nullptr;

void CALLBACK CloseTheWindow(HWND, UINT, UINT_PTR timer, DWORD) {
  ::KillTimer(nullptr, timer);
  g_seenWindow = ::FindWindowW(L"HTMLUI", nullptr);
  if (g_seenWindow) ::PostMessageW(g_seenWindow, WM_CLOSE, 0, 0);
}

void CALLBACK PostQuit(HWND, UINT, UINT_PTR timer, DWORD) {
  ::KillTimer(nullptr, timer);
  g_seenWindow = ::FindWindowW(L"HTMLUI", nullptr);
  ::PostQuitMessage(7);
}

TEST_F(MainWindowLoopTest, CloseRequestEndsTheLoopAndDestroysTheWindow) {
  g_seenWindow = nullptr;
  runMs(&CloseTheWindow);
  ASSERT_NE(g_seenWindow, nullptr);
  EXPECT_FALSE(::IsWindow(g_seenWindow));
  EXPECT_EQ(external_->window(), nullptr) << "the script object forgets the window with it";
}

TEST_F(MainWindowLoopTest, QuitMessageEndsTheLoopAndStaysQueued) {
  g_seenWindow = nullptr;
  runMs(&PostQuit);
  EXPECT_FALSE(::IsWindow(g_seenWindow));
  MSG message;
  ASSERT_TRUE(::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 7u);
}

TEST_F(MainWindowLoopTest, WithoutABrowserTheRunEndsAfterTheWait) {
  ::SetEnvironmentVariableW(L"TARVIK_PAGE_CONNECT_SECONDS", L"1");
  const ULONGLONG took = runMs(nullptr);
  EXPECT_GE(took, 900u);
  EXPECT_LT(took, 30000u);
  EXPECT_EQ(::FindWindowW(L"HTMLUI", nullptr), nullptr);
}

TEST(ResizeAndCenterTest, AWindowLargerThanTheWorkAreaKeepsItsLeftAndTopInside) {
  HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  int lastWidth = 0, lastHeight = 0;
  stubframework::htmlui::ResizeAndCenter(window, 20000, 15000, lastWidth, lastHeight);
  RECT placed = {};
  ::GetWindowRect(window, &placed);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
  EXPECT_EQ(placed.left, monitor.rcWork.left);
  EXPECT_EQ(placed.top, monitor.rcWork.top);
  EXPECT_EQ(lastWidth, placed.right - placed.left);
  ::DestroyWindow(window);
}

}  // namespace

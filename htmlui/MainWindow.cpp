#include "htmlui/MainWindow.h"

#include "base/FileSystem.h"
#include "base/Text.h"
#include "htmlui/BrowserPageHost.h"
#include "htmlui/MSHTMLClient.h"
#include "htmlui/MSHTMLExternal.h"

#include <shlwapi.h>
#include <urlmon.h>

#include <memory>

namespace stubframework::htmlui {

using Microsoft::WRL::ComPtr;

namespace {

ATOM g_windowClass = 0;

// The HTML document object (mingw-w64's uuid library does not carry its class id).
const CLSID kCLSID_HTMLDocument = {0x25336920, 0x03f9, 0x11cf, {0x8f, 0xd0, 0x00, 0xaa, 0x00, 0x68, 0x6f, 0x13}};

struct WindowParams {
  std::wstring pagePath;
  MSHTMLExternal* external = nullptr;
  bool* closeRequested = nullptr;
  const MainWindowOptions* options = nullptr;
};

struct WindowState {
  MSHTMLClient* client = nullptr;  // one reference, released in WM_DESTROY
  MSHTMLExternal* external = nullptr;
  HWND focusedChild = nullptr;
  bool* closeRequested = nullptr;
  std::unique_ptr<BrowserPageHost> browserHost;  // the pages' host when no document could be made
};

WindowState* StateOf(HWND window) { return reinterpret_cast<WindowState*>(::GetWindowLongPtrW(window, 0)); }

bool BrowserAskedFor() {
  wchar_t value[32] = {};
  return ::GetEnvironmentVariableW(kPageHostVariable, value, 32) > 0 && base::EqualsIgnoreCase(value, L"browser");
}

HRESULT CreateDocument(HWND window, MSHTMLClient* client) {
  ComPtr<IHTMLDocument2> document;
  HRESULT hr = ::CoCreateInstance(kCLSID_HTMLDocument, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&document));
  if (FAILED(hr)) return hr;
  client->closeDocument();
  client->setDocument(document.Get());
  ComPtr<IConnectionPointContainer> container;
  ComPtr<IConnectionPoint> point;
  DWORD cookie = 0;
  if (FAILED(hr = document.As(&container)) ||
      FAILED(hr = container->FindConnectionPoint(IID_IPropertyNotifySink, &point)) ||
      FAILED(hr = point->Advise(static_cast<IPropertyNotifySink*>(client), &cookie))) {
    return hr;
  }
  client->setAdviseCookie(cookie);
  ComPtr<IOleObject> object;
  if (FAILED(hr = document.As(&object)) || FAILED(hr = object->SetClientSite(static_cast<IOleClientSite*>(client)))) {
    return hr;
  }
  RECT rect = {};
  ::GetClientRect(window, &rect);
  return object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(client), 0, window, &rect);
}

HRESULT LoadPage(MSHTMLClient* client, const std::wstring& pagePath) {
  ComPtr<IMoniker> moniker;
  HRESULT hr = ::CreateURLMonikerEx(nullptr, pagePath.c_str(), &moniker, URL_MK_UNIFORM);
  if (FAILED(hr)) return hr;
  ComPtr<IBindCtx> bindContext;
  if (FAILED(hr = ::CreateBindCtx(0, &bindContext))) return hr;
  ComPtr<IPersistMoniker> persist;
  if (FAILED(hr = client->document()->QueryInterface(IID_PPV_ARGS(&persist)))) return hr;
  return persist->Load(FALSE, moniker.Get(), bindContext.Get(), 0);
}

// The browser path: the window stays as an invisible stand-in.
bool StartBrowserHost(HWND window, WindowState* state, const WindowParams& params) {
  ::SetWindowLongPtrW(window, GWL_EXSTYLE,
                      ::GetWindowLongPtrW(window, GWL_EXSTYLE) | WS_EX_LAYERED | WS_EX_TOOLWINDOW);
  ::SetLayeredWindowAttributes(window, 0, 0, LWA_ALPHA);
  state->browserHost = std::make_unique<BrowserPageHost>(params.external);
  BrowserPageHost::Options options;
  options.folder = base::ParentFolderOf(params.pagePath) + L"\\";
  options.startPage = base::FileNameOf(params.pagePath);
  options.methodKinds = params.options->methodKinds;
  return SUCCEEDED(state->browserHost->start(options));
}

LRESULT OnCreate(HWND window, const CREATESTRUCTW* create) {
  const auto* params = static_cast<const WindowParams*>(create->lpCreateParams);
  if (!params || params->pagePath.empty()) return -1;
  auto* state = new (std::nothrow) WindowState();
  if (!state) return -1;
  state->external = params->external;
  state->closeRequested = params->closeRequested;
  state->client = new (std::nothrow) MSHTMLClient(window, params->external);
  ::SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(state));
  if (!state->client) return -1;
  if (params->external) params->external->setWindow(window);

  HRESULT hr = BrowserAskedFor() ? REGDB_E_CLASSNOTREG : CreateDocument(window, state->client);
  if (SUCCEEDED(hr)) hr = LoadPage(state->client, params->pagePath);
  if (SUCCEEDED(hr)) return 0;
  if (hr == REGDB_E_CLASSNOTREG || hr == CLASS_E_CLASSNOTAVAILABLE) {
    state->client->closeDocument();
    return StartBrowserHost(window, state, *params) ? 0 : -1;
  }
  return -1;
}

void OnDestroy(HWND window) {
  WindowState* state = StateOf(window);
  if (!state) return;
  if (state->browserHost) state->browserHost->close();
  state->browserHost.reset();
  if (state->client) {
    state->client->closeDocument();
    state->client->detach();
    state->client->Release();
  }
  if (state->external) state->external->setWindow(nullptr);
  ::SetWindowLongPtrW(window, 0, 0);
  delete state;
}

void FitDocument(HWND window, WindowState* state) {
  RECT client = {};
  ::GetClientRect(window, &client);
  if (IOleDocumentView* view = state->client->activeView()) {
    view->SetRect(&client);
  } else if (IHTMLDocument2* document = state->client->document()) {
    ComPtr<IOleInPlaceObject> inPlace;
    if (SUCCEEDED(document->QueryInterface(IID_PPV_ARGS(&inPlace)))) inPlace->SetObjectRects(&client, &client);
  }
}

// Window operations on the stand-in reach the page in the browser.
bool ForwardToBrowser(HWND window, WindowState* state, UINT message, WPARAM w, LPARAM l) {
  BrowserPageHost* host = state->browserHost.get();
  if (!host) return false;
  switch (message) {
    case WM_SHOWWINDOW: host->sendWindowEvent(w ? "show" : "hide"); return false;
    case WM_SIZE:
      if (w == SIZE_MINIMIZED) {
        host->sendWindowEvent("minimize");
      } else {
        host->sendWindowEvent("resize", LOWORD(l), HIWORD(l));
      }
      return false;
    case WM_SYSCOMMAND:
      if ((w & 0xFFF0) == SC_MOVE) {
        host->sendWindowEvent("drag");
        return true;  // no modal move loop for an invisible window
      }
      return false;
    default: (void)window; return false;
  }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_CREATE) return OnCreate(window, reinterpret_cast<CREATESTRUCTW*>(l));
  WindowState* state = StateOf(window);
  if (!state) return ::DefWindowProcW(window, message, w, l);
  if (ForwardToBrowser(window, state, message, w, l)) return 0;
  switch (message) {
    case WM_DESTROY: OnDestroy(window); return 0;
    case WM_SIZE:
      if (state->client) FitDocument(window, state);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(w) == WA_INACTIVE) {
        HWND focused = ::GetFocus();
        state->focusedChild = focused != window ? focused : nullptr;
      }
      break;
    case WM_SETFOCUS:
      if (state->focusedChild) {
        ::SetFocus(state->focusedChild);
        return 0;
      }
      break;
    case WM_CLOSE:
      if (state->closeRequested) {
        *state->closeRequested = true;
        return 0;
      }
      break;
    default: break;
  }
  return ::DefWindowProcW(window, message, w, l);
}

bool RegisterWindowClass() {
  if (g_windowClass) return true;
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = &WindowProc;
  windowClass.cbWndExtra = sizeof(void*);
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kMainWindowClass;
  g_windowClass = ::RegisterClassExW(&windowClass);
  return g_windowClass != 0;
}

DWORD ConnectTimeout(const MainWindowOptions& options) {
  wchar_t value[32] = {};
  if (::GetEnvironmentVariableW(kPageConnectSecondsVariable, value, 32) > 0) {
    const long seconds = wcstol(value, nullptr, 10);
    if (seconds > 0) return static_cast<DWORD>(seconds) * 1000;
  }
  return options.browserConnectTimeoutMs;
}

}  // namespace

bool isMainWindow(HWND window) {
  return g_windowClass && window && static_cast<ATOM>(::GetClassLongPtrW(window, GCW_ATOM)) == g_windowClass;
}

void runMainWindow(const std::wstring& folder, MSHTMLExternal* external, const MainWindowOptions& options) {
  wchar_t pagePath[MAX_PATH] = {};
  if (!::PathCombineW(pagePath, folder.c_str(), L"Load.html")) return;
  if (!RegisterWindowClass()) return;
  bool closeRequested = false;
  WindowParams params{pagePath, external, &closeRequested, &options};
  HWND window = ::CreateWindowExW(WS_EX_APPWINDOW, kMainWindowClass, L"", WS_POPUP | WS_VISIBLE, 0, 0, 0, 0, nullptr,
                                  nullptr, ::GetModuleHandleW(nullptr), &params);
  if (!window) return;

  WindowState* state = StateOf(window);
  const ULONGLONG connectDeadline = ::GetTickCount64() + ConnectTimeout(options);
  while (!closeRequested) {
    MSG message;
    if (!::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (closeRequested) break;
      if (state && state->browserHost && !state->browserHost->browserConnected()) {
        // No browser ever came: end as if the window could not be made.
        if (::GetTickCount64() >= connectDeadline) break;
        ::MsgWaitForMultipleObjectsEx(0, nullptr, 250, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      } else {
        ::WaitMessage();
      }
      continue;
    }
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    bool translated = false;
    if (state && state->client && state->client->document()) {
      ComPtr<IOleInPlaceActiveObject> active;
      if (SUCCEEDED(state->client->document()->QueryInterface(IID_PPV_ARGS(&active)))) {
        translated = active->TranslateAccelerator(&message) == S_OK;
      }
    }
    if (!translated) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  ::DestroyWindow(window);
}

}  // namespace stubframework::htmlui

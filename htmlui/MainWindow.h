// The installer's one borderless top-level window (class "HTMLUI") and its
// message loop. The pages are shown by the embedded HTML document; where that
// document cannot be created (or TARVIK_PAGE_HOST=browser asks for it), the
// same window stays as an invisible stand-in, the pages are shown in a browser
// through BrowserPageHost, and the window operations the catalogue performs on
// the stand-in (hide, show, minimise, drag, resize, close) are passed on to the page.
//
// Threads: user-interface thread only, inside a single-threaded apartment.
#pragma once

#include "base/Platform.h"

#include <map>
#include <string>

namespace stubframework::htmlui {

class MSHTMLExternal;

struct MainWindowOptions {
  // Method name -> call flags, for the browser stand-in of window.external.
  std::map<std::wstring, WORD> methodKinds;
  // How long the browser path waits for a browser to load the pages.
  DWORD browserConnectTimeoutMs = 120000;
};

inline constexpr const wchar_t kMainWindowClass[] = L"HTMLUI";
inline constexpr const wchar_t kPageHostVariable[] = L"TARVIK_PAGE_HOST";
inline constexpr const wchar_t kPageConnectSecondsVariable[] = L"TARVIK_PAGE_CONNECT_SECONDS";

// Shows "<folder>\Load.html" and returns once the window is gone.
void runMainWindow(const std::wstring& folder, MSHTMLExternal* external, const MainWindowOptions& options);

// True for a window of the "HTMLUI" class registered by this process.
bool isMainWindow(HWND window);

}  // namespace stubframework::htmlui

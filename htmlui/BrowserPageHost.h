// Shows the extracted pages in a real browser when the embedded HTML document
// cannot be created (or when asked to): serves the page folder on a loopback
// port, puts a stand-in for window.external in front of every page's scripts,
// and carries its calls to the same script object on the user-interface thread.
//
// The page address goes to the file named by the environment variable
// "TARVIK_PAGE_ADDRESS_FILE" when it is set (tests and the demo attach a browser
// there); otherwise it is opened through the shell.
//
// Threads: user-interface thread (single-threaded apartment), which must keep
// pumping messages while the pages are shown.
#pragma once

#include "base/Platform.h"
#include "htmlui/BrowserBridge.h"
#include "htmlui/PageServer.h"

#include <dispex.h>

#include <map>
#include <memory>
#include <string>

namespace stubframework::htmlui {

class BrowserPageHost {
 public:
  static constexpr const wchar_t* kAddressFileVariable = L"TARVIK_PAGE_ADDRESS_FILE";

  struct Options {
    std::wstring folder;                  // the page folder, ending with "\"
    std::wstring startPage = L"Load.html";
    std::map<std::wstring, WORD> methodKinds;  // method name -> the call flags it accepts
  };

  explicit BrowserPageHost(IDispatchEx* external);
  ~BrowserPageHost();
  BrowserPageHost(const BrowserPageHost&) = delete;
  BrowserPageHost& operator=(const BrowserPageHost&) = delete;

  [[nodiscard]] HRESULT start(const Options& options);
  const std::string& pageAddress() const { return pageAddress_; }
  bool browserConnected() const { return server_.contacted(); }

  // Tells the page about a window operation (see BrowserBridge::sendWindowEvent).
  void sendWindowEvent(const std::string& op, int width = 0, int height = 0);
  // Tells the page it is closed, gives it a moment to hear it, and stops serving.
  void close();

  // The stand-in script for one run.
  static std::string shimScript(const std::string& token, const std::map<std::wstring, WORD>& methodKinds);

 private:
  Microsoft::WRL::ComPtr<IDispatchEx> external_;
  PageServer server_;
  std::unique_ptr<BrowserBridge> bridge_;
  std::string pageAddress_;
  bool closed_ = false;
};

}  // namespace stubframework::htmlui

// Carries window.external between a page in a browser and the host's script
// object (an IDispatchEx), on the user-interface thread.
//
// Page requests (calls, resumes, event polls, completions) arrive as messages to
// the bridge's own message-only window, so they run wherever the thread pumps
// messages: the main loop, a COM call delivered from a worker, or the bridge's
// own wait while a page function runs. Script functions that the page passes
// become dispatch objects; calling one (from any thread, through COM) delivers
// the call to the page and returns when the page has run it:
//  - during a page call, as an answer to that call's pending request, which the
//    page resumes with the function's outcome;
//  - otherwise through the events the page polls for.
//
// Threads: create, use and destroy on the user-interface thread (single-threaded
// apartment). post() may be called from any thread.
#pragma once

#include "base/Platform.h"
#include "htmlui/JsonValue.h"
#include "htmlui/PageRoute.h"

#include <dispex.h>
#include <wrl/client.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace stubframework::htmlui {

using RequestId = unsigned long long;

class BrowserBridge {
 public:
  // Sends the answer to a page request (any thread).
  using Responder = std::function<void(RequestId id, const std::string& json)>;

  BrowserBridge(IDispatchEx* external, Responder responder);
  ~BrowserBridge();
  BrowserBridge(const BrowserBridge&) = delete;
  BrowserBridge& operator=(const BrowserBridge&) = delete;

  [[nodiscard]] bool create();  // makes the message window

  // Hands a page request to the user-interface thread. Safe from any thread.
  void post(PageRoute::Kind kind, RequestId id, std::string body);

  // Tells the page about a window operation ("hide", "show", "minimize", "drag",
  // "resize" with width and height, "closed").
  void sendWindowEvent(const std::string& op, int width = 0, int height = 0);

  // Runs a page function and waits (pumping messages) for its outcome. Used by
  // the dispatch objects that stand for page functions.
  HRESULT callPageFunction(int functionId, const DISPPARAMS* params, VARIANT* result);

  // Ends every wait: the page is gone or the run is closing.
  void shutDown();
  bool isShutDown() const { return shutDown_; }
  // True while window or call events wait for the page to collect them.
  bool hasPendingEvents() const { return !events_.empty(); }

  // The object standing for page function `id` (one per id, so identity holds).
  Microsoft::WRL::ComPtr<IDispatch> functionObject(int id);

 private:
  struct Delivery;
  struct CallContext;

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l);
  void handle(PageRoute::Kind kind, RequestId id, const std::string& body);
  void handleCall(RequestId id, const JsonValue& request);
  void handleResume(RequestId id, const JsonValue& request);
  void handleEvents(RequestId id);
  void handleDone(RequestId id, const JsonValue& request);
  JsonValue execute(const JsonValue& request);
  void flushContext(CallContext& context);
  void flushEvents();
  void pumpUntil(const bool& done);
  void respond(RequestId id, const JsonValue& answer);

  JsonValue toJson(const VARIANT& value);
  HRESULT toVariant(const JsonValue& value, VARIANT* out);

  Microsoft::WRL::ComPtr<IDispatchEx> external_;
  Responder responder_;
  HWND window_ = nullptr;
  bool shutDown_ = false;
  std::vector<CallContext*> contexts_;
  std::deque<JsonValue> events_;
  std::map<unsigned, Delivery*> awaitingResume_;
  std::map<unsigned, Delivery*> awaitingDone_;
  bool eventsParked_ = false;
  RequestId parkedEvents_ = 0;
  unsigned nextTicket_ = 1;
  std::map<int, Microsoft::WRL::ComPtr<IDispatch>> functionObjects_;
  std::shared_ptr<BrowserBridge*> link_;  // cleared on destruction; function objects check it
};

}  // namespace stubframework::htmlui

// Serves a page folder to a local browser through the Windows HTTP Server API,
// on 127.0.0.1 and a free port. Files are answered by the server's own threads;
// requests for the host (calls, events) are handed to a sink together with the
// request id, and answered later, from any thread, with respond().
//
// Threads: start() and stop() on one thread; the sink is called on server threads.
#pragma once

#include "base/Platform.h"
#include "base/UniqueAny.h"
#include "htmlui/PageRoute.h"

#include <http.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace stubframework::htmlui {

using RequestId = unsigned long long;

class PageServer {
 public:
  // Called on a server thread for Call, Resume, Events and Done requests.
  using Sink = std::function<void(PageRoute::Kind kind, RequestId id, std::string body)>;

  PageServer() = default;
  ~PageServer();
  PageServer(const PageServer&) = delete;
  PageServer& operator=(const PageServer&) = delete;

  // `folder` is the page folder (ending with "\"); `shimScript` is served at the
  // shim address and put in front of every HTML page's own scripts.
  [[nodiscard]] HRESULT start(const std::wstring& folder, const std::string& token, std::string shimScript, Sink sink);
  void stop();

  unsigned short port() const { return port_; }
  // "http://127.0.0.1:<port>/<token>/"
  std::string baseAddress() const;
  // True once any request with the right token and host arrived.
  bool contacted() const { return contacted_.load(); }

  // Answers a request handed to the sink. Safe from any thread.
  void respond(RequestId id, int status, const char* contentType, const std::string& body);

  // Puts the shim in front of the page's own scripts: after "<head>" when there
  // is one, else after a doctype, else at the very start.
  static std::string injectShim(const std::string& html, const std::string& shimTag);

 private:
  void serve();
  // One request into `request` (a buffer of the receive size); ends early with
  // ERROR_OPERATION_ABORTED when the server stops.
  ULONG receive(HTTP_REQUEST* request);
  void answerFile(RequestId id, const std::string& relativePath);

  HANDLE queue_ = nullptr;
  base::UniqueHandle stopEvent_;
  bool initialized_ = false;
  std::wstring folder_;
  std::string token_;
  std::string shimScript_;
  Sink sink_;
  unsigned short port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> contacted_{false};
  std::vector<std::thread> threads_;
};

}  // namespace stubframework::htmlui

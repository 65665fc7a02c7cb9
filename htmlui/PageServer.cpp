#include "htmlui/PageServer.h"

#include <winsock2.h>

#include <http.h>

#include "base/FileSystem.h"
#include "base/LoopbackPort.h"
#include "base/Text.h"

#include <fstream>
#include <iterator>

namespace stubframework::htmlui {

namespace {

constexpr int kServerThreads = 4;
constexpr ULONG kRequestBufferBytes = 64 * 1024;
constexpr ULONG kMaxBodyBytes = 16 * 1024 * 1024;

std::string HeaderValue(const HTTP_REQUEST* request, HTTP_HEADER_ID header) {
  const auto& known = request->Headers.KnownHeaders[header];
  return known.pRawValue ? std::string(known.pRawValue, known.RawValueLength) : std::string();
}

std::string ReadWholeFile(const std::wstring& path, bool& ok) {
  std::ifstream in(path.c_str(), std::ios::binary);
  ok = static_cast<bool>(in);
  return ok ? std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()) : std::string();
}

bool IsHtml(const std::string& path) {
  const char* type = contentTypeFor(path);
  return strncmp(type, "text/html", 9) == 0;
}

}  // namespace

PageServer::~PageServer() { stop(); }

std::string PageServer::baseAddress() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/" + token_ + "/";
}

HRESULT PageServer::start(const std::wstring& folder, const std::string& token, std::string shimScript, Sink sink) {
  folder_ = folder;
  token_ = token;
  shimScript_ = std::move(shimScript);
  sink_ = std::move(sink);
  ULONG result = ::HttpInitialize(HTTPAPI_VERSION_1, HTTP_INITIALIZE_SERVER, nullptr);
  if (result != NO_ERROR) return HRESULT_FROM_WIN32(result);
  initialized_ = true;
  result = ::HttpCreateHttpHandle(&queue_, 0);
  if (result != NO_ERROR) return HRESULT_FROM_WIN32(result);
  stopEvent_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!stopEvent_) return HRESULT_FROM_WIN32(::GetLastError());
  // The port may be taken between the probe and the registration: try a few.
  for (int attempt = 0; attempt < 5; ++attempt) {
    port_ = base::FreeLoopbackPort();
    if (port_ == 0) continue;
    const std::wstring url = base::FormatText(L"http://127.0.0.1:%u/", static_cast<unsigned>(port_));
    result = ::HttpAddUrl(queue_, url.c_str(), nullptr);
    if (result == NO_ERROR) break;
  }
  if (result != NO_ERROR || port_ == 0) return HRESULT_FROM_WIN32(result ? result : ERROR_NO_SYSTEM_RESOURCES);
  for (int i = 0; i < kServerThreads; ++i) threads_.emplace_back([this] { serve(); });
  return S_OK;
}

void PageServer::stop() {
  // Receives are overlapped, so the stop event ends them (Wine has no
  // HttpShutdownRequestQueue).
  stopping_ = true;
  if (stopEvent_) ::SetEvent(stopEvent_.get());
  for (std::thread& t : threads_) {
    if (t.joinable()) t.join();
  }
  threads_.clear();
  if (queue_) {
    ::CloseHandle(queue_);
    queue_ = nullptr;
  }
  if (initialized_) ::HttpTerminate(HTTP_INITIALIZE_SERVER, nullptr);
  initialized_ = false;
}

void PageServer::respond(RequestId id, int status, const char* contentType, const std::string& body) {
  if (!queue_) return;
  HTTP_RESPONSE response = {};
  response.StatusCode = static_cast<USHORT>(status);
  const char* reason = status == 200 ? "OK" : status == 403 ? "Forbidden" : status == 404 ? "Not Found" : "Error";
  response.pReason = reason;
  response.ReasonLength = static_cast<USHORT>(strlen(reason));
  auto& type = response.Headers.KnownHeaders[HttpHeaderContentType];
  type.pRawValue = contentType;
  type.RawValueLength = static_cast<USHORT>(strlen(contentType));
  auto& cache = response.Headers.KnownHeaders[HttpHeaderCacheControl];
  cache.pRawValue = "no-store";
  cache.RawValueLength = 8;
  HTTP_DATA_CHUNK chunk = {};
  if (!body.empty()) {
    chunk.DataChunkType = HttpDataChunkFromMemory;
    chunk.FromMemory.pBuffer = const_cast<char*>(body.data());
    chunk.FromMemory.BufferLength = static_cast<ULONG>(body.size());
    response.EntityChunkCount = 1;
    response.pEntityChunks = &chunk;
  }
  ULONG sent = 0;
  ::HttpSendHttpResponse(queue_, id, 0, &response, nullptr, &sent, nullptr, 0, nullptr, nullptr);
}

std::string PageServer::injectShim(const std::string& html, const std::string& shimTag) {
  auto findIgnoreCase = [&html](const std::string& what) {
    for (size_t i = 0; i + what.size() <= html.size(); ++i) {
      size_t j = 0;
      while (j < what.size() && tolower(static_cast<unsigned char>(html[i + j])) == what[j]) ++j;
      if (j == what.size()) return i;
    }
    return std::string::npos;
  };
  size_t at = findIgnoreCase("<head");
  if (at != std::string::npos) {
    const size_t close = html.find('>', at);
    if (close != std::string::npos) return html.substr(0, close + 1) + shimTag + html.substr(close + 1);
  }
  at = findIgnoreCase("<!doctype");
  if (at != std::string::npos) {
    const size_t close = html.find('>', at);
    if (close != std::string::npos) return html.substr(0, close + 1) + shimTag + html.substr(close + 1);
  }
  return shimTag + html;
}

void PageServer::answerFile(RequestId id, const std::string& relativePath) {
  std::wstring path = folder_;
  for (const wchar_t c : base::Utf8ToWide(relativePath)) path += (c == L'/') ? L'\\' : c;
  if (!base::FileExists(path)) {
    respond(id, 404, "text/plain", "not found");
    return;
  }
  bool ok = false;
  std::string content = ReadWholeFile(path, ok);
  if (!ok) {
    respond(id, 404, "text/plain", "not found");
    return;
  }
  if (IsHtml(relativePath)) {
    content = injectShim(content, "<script src=\"/" + token_ + "/__external/shim.js\"></script>");
  }
  respond(id, 200, contentTypeFor(relativePath), content);
}

ULONG PageServer::receive(HTTP_REQUEST* request) {
  OVERLAPPED overlapped = {};
  base::UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!done) return ::GetLastError();
  overlapped.hEvent = done.get();
  ULONG result = ::HttpReceiveHttpRequest(queue_, HTTP_NULL_ID, 0, request, kRequestBufferBytes, nullptr, &overlapped);
  if (result != ERROR_IO_PENDING && result != NO_ERROR) return result;
  const HANDLE waits[] = {done.get(), stopEvent_.get()};
  if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
    ::CancelIoEx(queue_, &overlapped);
  }
  DWORD received = 0;
  if (!::GetOverlappedResult(queue_, &overlapped, &received, TRUE)) return ::GetLastError();
  return stopping_ ? ERROR_OPERATION_ABORTED : NO_ERROR;
}

void PageServer::serve() {
  std::vector<char> buffer(kRequestBufferBytes);
  const std::string expectedHost = "127.0.0.1:" + std::to_string(port_);
  while (!stopping_) {
    auto* request = reinterpret_cast<HTTP_REQUEST*>(buffer.data());
    const ULONG result = receive(request);
    if (result != NO_ERROR) {
      if (stopping_ || result == ERROR_OPERATION_ABORTED || result == ERROR_INVALID_HANDLE) return;
      continue;  // ERROR_MORE_DATA: headers too large for a page request; dropped
    }
    const RequestId id = request->RequestId;
    const std::string absPath = request->pRawUrl ? std::string(request->pRawUrl, request->RawUrlLength) : "";
    const PageRoute route = routePageRequest(HeaderValue(request, HttpHeaderHost), absPath, expectedHost, token_);
    if (route.kind == PageRoute::Kind::Forbidden) {
      respond(id, 403, "text/plain", "forbidden");
      continue;
    }
    contacted_ = true;
    switch (route.kind) {
      case PageRoute::Kind::NotFound: respond(id, 404, "text/plain", "not found"); break;
      case PageRoute::Kind::File:
        if (request->Verb != HttpVerbGET && request->Verb != HttpVerbHEAD) {
          respond(id, 404, "text/plain", "not found");
        } else {
          answerFile(id, route.path);
        }
        break;
      case PageRoute::Kind::ShimScript: respond(id, 200, "text/javascript; charset=utf-8", shimScript_); break;
      default: {
        std::string body;
        if (request->Flags & HTTP_REQUEST_FLAG_MORE_ENTITY_BODY_EXISTS) {
          std::vector<char> chunk(64 * 1024);
          for (;;) {
            ULONG got = 0;
            const ULONG r = ::HttpReceiveRequestEntityBody(queue_, id, 0, chunk.data(), static_cast<ULONG>(chunk.size()),
                                                           &got, nullptr);
            if (r != NO_ERROR && r != ERROR_HANDLE_EOF) break;
            body.append(chunk.data(), got);
            if (r == ERROR_HANDLE_EOF || body.size() > kMaxBodyBytes) break;
          }
        }
        if (body.size() > kMaxBodyBytes) {
          respond(id, 404, "text/plain", "too large");
        } else if (sink_) {
          sink_(route.kind, id, std::move(body));
        }
      }
    }
  }
}

}  // namespace stubframework::htmlui

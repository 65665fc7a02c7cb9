#include "downloader/HttpTask.h"

#include "downloader/ContentRange.h"

#include <urlmon.h>

#include <cstdio>
#include <cstdlib>
#include <new>

namespace downloader {

namespace {

constexpr DWORD kRequestFlagsHttp =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_UI;
constexpr DWORD kRequestFlagsHttps = kRequestFlagsHttp | INTERNET_FLAG_SECURE;
constexpr DWORD kUserAgentInitialSize = 256;

const char* Narrow(const void* info) { return info ? static_cast<const char*>(info) : ""; }

}  // namespace

HttpTask* HttpTask::Create(const wchar_t* url, HttpRange&& range, IHttpCallback* callback, ILogger* logger) noexcept {
  if (!url || !callback || !logger) return nullptr;
  try {
    return details::Object<HttpTask>::Create(std::wstring(url), std::move(range), callback, logger);
  } catch (...) {
    return nullptr;
  }
}

HttpTask::HttpTask(std::wstring url, HttpRange&& range, IHttpCallback* callback, ILogger* logger) noexcept
    : url_(std::move(url)), offset_(range.offset), size_(range.size), etag_(std::move(range.etag)),
      callback_(callback), logger_(logger) {
  callback_->AddRef();
  logger_->AddRef();
}

HttpTask::~HttpTask() {
  // A task that never ran still holds its callback.
  if (callback_) callback_->Release();
  logger_->Release();
}

void HttpTask::Start() noexcept {
  if (!BeginStart()) return;
  logger_->Log(L"HttpTask::Start", L"Start %s (OFFSET:%lld,SIZE:%lld,ETAG:%S).", url_.c_str(), offset_, size_,
               etag_.c_str());
  long hr = CreateSession();
  if (!results::Failed(hr)) {
    hr = Connect();
    if (results::Failed(hr)) {
      ::InternetCloseHandle(internet_);
      internet_ = nullptr;
    }
  }
  if (results::Failed(hr)) {
    // Nothing asynchronous was issued: complete on this thread. The Start
    // operation is never left, so a later Cancel finds nothing to close.
    IHttpCallback* callback = std::exchange(callback_, nullptr);
    callback->OnComplete(hr);
    callback->Release();
    return;
  }

  AddRef();  // released when the request handle is closed
  if (size_ != 0) {
    SetRange();
    if (!etag_.empty()) SetIfRange();
  }
  nextStep_ = &HttpTask::HeaderStep;
  if (::HttpSendRequestA(request_, nullptr, 0, nullptr, 0)) {
    ProcessHeader();
    QueryAvailable();
  } else {
    const DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING) {
      logger_->Log(L"HttpTask::SendRequest", L"HttpSendRequestA failed: %u.", error);
      Close(results::FromWin32(error));
    }
  }
  LeaveOperation();
}

void HttpTask::Cancel() noexcept {
  logger_->Log(L"HttpTask::Cancel", L"Cancel");
  Close(results::kHttpCancelled);
}

void HttpTask::CloseAction() noexcept {
  // WinINet cancels a pending call (its completion carries 12017 and is
  // ignored) and then reports INTERNET_STATUS_HANDLE_CLOSING, which completes
  // the task, possibly before this call returns.
  ::InternetCloseHandle(request_);
}

long HttpTask::CreateSession() noexcept {
  DWORD agentSize = kUserAgentInitialSize;
  char* agent = nullptr;
  long hr;
  for (;;) {
    std::free(agent);
    agent = static_cast<char*>(std::malloc(agentSize));
    if (!agent) {
      logger_->Log(L"HttpTask::CreateSession", L"malloc(%u) failed.", agentSize);
      return results::kOutOfMemory;
    }
    DWORD size = agentSize;
    hr = ::ObtainUserAgentString(0, agent, &size);
    if (hr == E_OUTOFMEMORY && size > agentSize) {
      agentSize = size;
      continue;
    }
    break;
  }
  if (FAILED(hr)) {
    std::free(agent);
    logger_->Log(L"HttpTask::CreateSession", L"ObtailUserAgentString failed: 0x%08X.", static_cast<unsigned>(hr));
    return hr;
  }
  internet_ = ::InternetOpenA(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_ASYNC);
  const DWORD openError = ::GetLastError();
  std::free(agent);
  if (!internet_) {
    logger_->Log(L"HttpTask::CreateSession", L"InternetOpenA failed: %u.", openError);
    return results::FromWin32(openError);
  }
  DWORD connectTimeout = 60000, sendTimeout = 30000, receiveTimeout = 30000;
  ::InternetSetOptionW(internet_, INTERNET_OPTION_CONNECT_TIMEOUT, &connectTimeout, sizeof(connectTimeout));
  ::InternetSetOptionW(internet_, INTERNET_OPTION_SEND_TIMEOUT, &sendTimeout, sizeof(sendTimeout));
  ::InternetSetOptionW(internet_, INTERNET_OPTION_RECEIVE_TIMEOUT, &receiveTimeout, sizeof(receiveTimeout));
  return results::kOk;
}

long HttpTask::Connect() noexcept {
  URL_COMPONENTSW parts = {};
  parts.dwStructSize = sizeof(parts);
  // Length 1 with no buffer: WinINet points into the URL instead of copying.
  parts.dwHostNameLength = 1;
  parts.dwUserNameLength = 1;
  parts.dwPasswordLength = 1;
  parts.dwUrlPathLength = 1;
  if (!::InternetCrackUrlW(url_.c_str(), 0, 0, &parts)) {
    const DWORD error = ::GetLastError();
    logger_->Log(L"HttpTask::Connect", L"InternetCrackUrlW failed: %u.", error);
    return results::FromWin32(error);
  }
  DWORD flags;
  if (parts.nScheme == INTERNET_SCHEME_HTTP) {
    flags = kRequestFlagsHttp;
  } else if (parts.nScheme == INTERNET_SCHEME_HTTPS) {
    flags = kRequestFlagsHttps;
  } else {
    return results::kInvalidUrl;
  }
  std::wstring host, user, password, object;
  try {
    host.assign(parts.lpszHostName ? parts.lpszHostName : L"", parts.lpszHostName ? parts.dwHostNameLength : 0);
    if (parts.lpszUserName && parts.dwUserNameLength) user.assign(parts.lpszUserName, parts.dwUserNameLength);
    if (parts.lpszPassword && parts.dwPasswordLength) password.assign(parts.lpszPassword, parts.dwPasswordLength);
    // From the start of the path to the end of the URL, so a query string is sent.
    object = parts.lpszUrlPath && *parts.lpszUrlPath ? parts.lpszUrlPath : L"/";
  } catch (...) {
    return results::kOutOfMemory;
  }
  connection_ = ::InternetConnectW(internet_, host.c_str(), parts.nPort, user.empty() ? nullptr : user.c_str(),
                                   password.empty() ? nullptr : password.c_str(), INTERNET_SERVICE_HTTP, 0, 0);
  if (!connection_) {
    const DWORD error = ::GetLastError();
    logger_->Log(L"HttpTask::Connect", L"InternetConnectW failed: %u.", error);
    return results::FromWin32(error);
  }
  request_ = ::HttpOpenRequestW(connection_, nullptr, object.c_str(), nullptr, nullptr, nullptr, flags,
                                reinterpret_cast<DWORD_PTR>(this));
  if (!request_) {
    const DWORD error = ::GetLastError();
    logger_->Log(L"HttpTask::Connect", L"HttpOpenRequestW failed: %u.", error);
    ::InternetCloseHandle(connection_);
    connection_ = nullptr;
    return results::FromWin32(error);
  }
  ::InternetSetStatusCallbackA(request_, &HttpTask::InternetStatusCallback);
  return results::kOk;
}

void HttpTask::SetRange() noexcept {
  char header[64];
  std::snprintf(header, sizeof(header), "Range: bytes=%lld-%lld", static_cast<long long>(offset_),
                static_cast<long long>(offset_ + size_ - 1));
  ::HttpAddRequestHeadersA(request_, header, static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
  logger_->Log(L"HttpTask::SetRange", L"%S", header);
}

void HttpTask::SetIfRange() noexcept {
  std::string header;
  try {
    header = "If-Range: " + etag_;
  } catch (...) {
    return;
  }
  ::HttpAddRequestHeadersA(request_, header.c_str(), static_cast<DWORD>(header.size()),
                           HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
  logger_->Log(L"HttpTask::SetIfRange", L"%S", header.c_str());
}

void CALLBACK HttpTask::InternetStatusCallback(HINTERNET, DWORD_PTR context, DWORD status, void* info,
                                               DWORD) noexcept {
  if (context) reinterpret_cast<HttpTask*>(context)->OnStatus(status, info);
}

void HttpTask::OnStatus(DWORD status, void* info) noexcept {
  static constexpr wchar_t kSource[] = L"HttpTask::InternetStatusCallback";
  switch (status) {
    case INTERNET_STATUS_RESOLVING_NAME:
      logger_->Log(kSource, L"INTERNET_STATUS_RESOLVING_NAME %S", Narrow(info));
      break;
    case INTERNET_STATUS_NAME_RESOLVED:
      logger_->Log(kSource, L"INTERNET_STATUS_NAME_RESOLVED %S", Narrow(info));
      break;
    case INTERNET_STATUS_CONNECTING_TO_SERVER:
      logger_->Log(kSource, L"INTERNET_STATUS_CONNECTING_TO_SERVER %S", Narrow(info));
      break;
    case INTERNET_STATUS_CONNECTED_TO_SERVER:
      logger_->Log(kSource, L"INTERNET_STATUS_CONNECTED_TO_SERVER %S", Narrow(info));
      break;
    case INTERNET_STATUS_REDIRECT:
      logger_->Log(kSource, L"INTERNET_STATUS_REDIRECT %S", Narrow(info));
      break;
    case INTERNET_STATUS_INTERMEDIATE_RESPONSE:
      logger_->Log(kSource, L"INTERNET_STATUS_INTERMEDIATE_RESPONSE");
      break;
    case INTERNET_STATUS_HANDLE_CLOSING:
      OnHandleClosing();
      break;
    case INTERNET_STATUS_REQUEST_COMPLETE: {
      const auto* async = static_cast<const INTERNET_ASYNC_RESULT*>(info);
      if (!async) break;
      // A completed availability query reports its byte count in dwResult, which
      // is 0 at the end of the data; only dwError tells a failure apart.
      if (async->dwResult != 0 || async->dwError == ERROR_SUCCESS) {
        if (EnterOperation()) {
          if (nextStep_) (this->*nextStep_)(async->dwResult);
          LeaveOperation();
        }
      } else if (async->dwError != ERROR_INTERNET_OPERATION_CANCELLED) {
        logger_->Log(kSource, L"INTERNET_STATUS_REQUEST_COMPLETE failed: %u.", async->dwError);
        Close(results::FromWin32(async->dwError));
      }
      break;
    }
    default:
      break;
  }
}

void HttpTask::OnHandleClosing() noexcept {
  ::InternetCloseHandle(connection_);
  connection_ = nullptr;
  ::InternetCloseHandle(internet_);
  internet_ = nullptr;
  buffer_.Free();
  Complete();
}

void HttpTask::Complete() noexcept {
  IHttpCallback* callback = std::exchange(callback_, nullptr);
  callback->OnComplete(StoredResult());
  callback->Release();
  Release();
}

void HttpTask::HeaderStep(DWORD_PTR) noexcept {
  ProcessHeader();
  QueryAvailable();
}

void HttpTask::DataStep(DWORD_PTR asyncResult) noexcept {
  available_ = static_cast<DWORD>(asyncResult);
  if (ProcessData()) QueryAvailable();
}

void HttpTask::ReadStep(DWORD_PTR) noexcept {
  if (DeliverRead()) QueryAvailable();
}

int32_t HttpTask::GetStatusCode() noexcept {
  DWORD status = static_cast<DWORD>(-1);
  DWORD length = sizeof(status);
  if (!::HttpQueryInfoA(request_, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr)) {
    logger_->Log(L"HttpTask::GetStatusCode", L"HttpQueryInfoA failed %u.", ::GetLastError());
    return -1;
  }
  return static_cast<int32_t>(status);
}

std::string HttpTask::GetHeader(DWORD infoLevel) noexcept {
  std::string value;
  DWORD length = 0;
  for (;;) {
    if (::HttpQueryInfoA(request_, infoLevel, value.empty() ? nullptr : value.data(), &length, nullptr)) {
      value.resize(length);
      return value;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER) {
      if (error != ERROR_HTTP_HEADER_NOT_FOUND) logger_->Log(L"HttpTask::GetHeader", L"HttpQueryInfoA failed: %u", error);
      return {};
    }
    try {
      value.assign(length + 1, '\0');
    } catch (...) {
      logger_->Log(L"HttpTask::GetHeader", L"malloc(%u) failed.", length);
      return {};
    }
  }
}

void HttpTask::GetContentRange(int64_t* offset, int64_t* size, int64_t* total) noexcept {
  *offset = 0;
  *size = 0;
  *total = -1;
  const std::string text = GetHeader(HTTP_QUERY_CONTENT_RANGE);
  if (text.empty()) return;
  ContentRange range;
  if (!ParseContentRange(text, &range)) {
    logger_->Log(L"HttpTask::GetContentRange", L"Unknown content range %S.", text.c_str());
    return;
  }
  *offset = range.offset;
  *size = range.size;
  *total = range.total;
}

void HttpTask::ProcessHeader() noexcept {
  HttpHeaderInfo header;
  header.statusCode = GetStatusCode();
  header.etag = GetHeader(HTTP_QUERY_ETAG);
  GetContentRange(&header.offset, &header.size, &header.total);
  if (header.total < 0) {
    // Content-Length is read as text and parsed here: WinINet's own number
    // conversion accepts trailing garbage and stops at 32 bits on some versions.
    int64_t length = -1;
    const std::string text = GetHeader(HTTP_QUERY_CONTENT_LENGTH);
    if (!text.empty() && !ParseDecimal64(text, &length)) length = -1;
    header.total = length;
    if (length > 0) header.size = length;
  }
  logger_->Log(L"HttpTask::ProcessHeader", L"%d (OFFSET:%lld SIZE:%lld TOTAL:%lld ETAG:%S).", header.statusCode,
               header.offset, header.size, header.total, header.etag.c_str());
  callback_->OnHttpHeader(header);
}

void HttpTask::QueryAvailable() noexcept {
  for (;;) {
    nextStep_ = &HttpTask::DataStep;
    if (!::InternetQueryDataAvailable(request_, &available_, 0, 0)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_IO_PENDING) return;  // DataStep continues on a WinINet thread
      logger_->Log(L"HttpTask::QueryAvailable", L"InternetQueryDataAvailable failed: %u.", error);
      Close(results::FromWin32(error));
      return;
    }
    if (!ProcessData()) return;
  }
}

bool HttpTask::ProcessData() noexcept {
  if (available_ == 0) {
    logger_->Log(L"HttpTask::ProcessData", L"Complete.");
    Close(results::kOk);
    return false;
  }
  const DWORD want = available_ > kReadSize ? available_ : kReadSize;
  if (!buffer_.SetSize(want)) {
    logger_->Log(L"HttpTask::ProcessData", L"Buffer::SetSize(%u) failed.", want);
    Close(results::kOutOfMemory);
    return false;
  }
  read_ = 0;
  nextStep_ = &HttpTask::ReadStep;
  if (!::InternetReadFile(request_, buffer_.data(), want, &read_)) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_IO_PENDING) return false;  // ReadStep continues on a WinINet thread
    logger_->Log(L"HttpTask::ProcessData", L"InternetReadFile failed: %u.", error);
    Close(results::FromWin32(error));
    return false;
  }
  return DeliverRead();
}

bool HttpTask::DeliverRead() noexcept {
  // At least the bytes announced as available must arrive.
  if (read_ == 0 || read_ < available_) {
    logger_->Log(L"HttpTask::ProcessData", L"InternetReadFile doesn't read all data.");
    Close(results::kInternalError);
    return false;
  }
  buffer_.Truncate(read_);
  callback_->OnData(buffer_);
  return true;
}

}  // namespace downloader

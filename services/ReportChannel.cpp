#include "services/ReportChannel.h"

#include "services/ServiceEndpoint.h"

#include <winhttp.h>

namespace stubframework::core {

namespace {

constexpr DWORD kExchangeReadChunk = 256;
constexpr DWORD kReportHeaderLength = 28;
static_assert(sizeof(kReportHeader) / sizeof(wchar_t) - 1 == kReportHeaderLength);

// The user's browser proxy configuration; frees the system's strings.
class BrowserProxyConfig {
 public:
  BrowserProxyConfig() noexcept { read_ = ::WinHttpGetIEProxyConfigForCurrentUser(&config_) != FALSE; }
  ~BrowserProxyConfig() {
    if (config_.lpszAutoConfigUrl) ::GlobalFree(config_.lpszAutoConfigUrl);
    if (config_.lpszProxy) ::GlobalFree(config_.lpszProxy);
    if (config_.lpszProxyBypass) ::GlobalFree(config_.lpszProxyBypass);
  }
  BrowserProxyConfig(const BrowserProxyConfig&) = delete;
  BrowserProxyConfig& operator=(const BrowserProxyConfig&) = delete;

  const wchar_t* proxy() const {
    return read_ && config_.lpszProxy && *config_.lpszProxy ? config_.lpszProxy : nullptr;
  }
  const wchar_t* bypass() const { return config_.lpszProxyBypass; }

 private:
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config_ = {};
  bool read_ = false;
};

// Opens root, connection and request for one report; empty request on failure.
struct ReportRequest {
  ReportChannelHandle root;
  ReportChannelHandle connection;
  ReportChannelHandle request;
};

bool OpenReportRequest(ReportRequest& out, const wchar_t* path, const wchar_t* verb) {
  out.root = OpenReportChannel();
  if (!out.root) return false;
  out.connection.reset(::WinHttpConnect(out.root.get(), ServiceHostName(), ServicePort(), 0));
  if (!out.connection) return false;
  const DWORD flags = (ServiceUsesTls() ? WINHTTP_FLAG_SECURE : 0) | WINHTTP_FLAG_REFRESH;
  out.request.reset(::WinHttpOpenRequest(out.connection.get(), verb, path, nullptr, WINHTTP_NO_REFERER,
                                         WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
  return static_cast<bool>(out.request);
}

}  // namespace

void ReportChannelHandleTraits::Close(Type h) noexcept { ::WinHttpCloseHandle(h); }

ReportChannelHandle OpenReportChannel() {
  BrowserProxyConfig proxy;
  if (const wchar_t* named = proxy.proxy()) {
    return ReportChannelHandle(::WinHttpOpen(kReportUserAgent, WINHTTP_ACCESS_TYPE_NAMED_PROXY, named,
                                             proxy.bypass() ? proxy.bypass() : WINHTTP_NO_PROXY_BYPASS, 0));
  }
  return ReportChannelHandle(
      ::WinHttpOpen(kReportUserAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
}

bool SendMessage(const void* body, DWORD length, const wchar_t* path, const wchar_t* verb) {
  ReportRequest report;
  if (!OpenReportRequest(report, path, verb)) return false;
  return ::WinHttpSendRequest(report.request.get(), kReportHeader, kReportHeaderLength, const_cast<void*>(body), length,
                              length, 0) != FALSE;
}

bool ExchangeMessage(const wchar_t* path, const std::string& body, std::string& response) {
  response.clear();
  ReportRequest report;
  if (!OpenReportRequest(report, path, L"POST")) return false;
  const bool hasBody = !body.empty();
  const DWORD length = static_cast<DWORD>(body.size());
  if (!::WinHttpSendRequest(report.request.get(), hasBody ? kReportHeader : WINHTTP_NO_ADDITIONAL_HEADERS,
                            hasBody ? kReportHeaderLength : 0,
                            hasBody ? const_cast<char*>(body.data()) : WINHTTP_NO_REQUEST_DATA, length, length, 0)) {
    return false;
  }
  if (!::WinHttpReceiveResponse(report.request.get(), nullptr)) return false;
  char chunk[kExchangeReadChunk];
  for (;;) {
    DWORD read = 0;
    if (!::WinHttpReadData(report.request.get(), chunk, kExchangeReadChunk, &read) || read == 0) break;
    response.append(chunk, read);
  }
  return true;
}

}  // namespace stubframework::core

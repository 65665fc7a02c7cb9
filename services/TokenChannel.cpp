#include "services/TokenChannel.h"

#include "base/Platform.h"
#include "base/Text.h"
#include "base/UniqueAny.h"
#include "services/ServiceAnswers.h"
#include "services/ServiceEndpoint.h"

#include <urlmon.h>
#include <wininet.h>

#include <cstring>
#include <vector>

namespace stubframework::core {

namespace {

constexpr DWORD kReadChunk = 65536;

struct WinInetHandleTraits {
  using Type = HINTERNET;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::InternetCloseHandle(h); }
};
using UniqueWinInetHandle = base::UniqueAny<WinInetHandleTraits>;

// The browser's user agent; empty when the system cannot tell it. The buffer
// starts empty (a valid pointer with size 0: a null buffer is refused outright)
// and grows to the size the call asks for.
std::wstring BrowserUserAgent() {
  std::vector<char> buffer(1, '\0');
  DWORD size = 0;
  for (int attempt = 0; attempt < 8; ++attempt) {
    const HRESULT hr = ::ObtainUserAgentString(0, buffer.data(), &size);
    if (SUCCEEDED(hr)) return base::AnsiToWide(std::string(buffer.data(), strnlen(buffer.data(), buffer.size())));
    if (hr != E_OUTOFMEMORY || size <= buffer.size()) return {};
    buffer.assign(size + 1, '\0');
  }
  return {};
}

}  // namespace

std::wstring TokenEndpoint() { return ServiceUrl(L"/v1/token"); }

bool PostToUrl(const std::wstring& url, const std::string& body, std::string& response) {
  response.clear();
  URL_COMPONENTSW parts = {};
  parts.dwStructSize = sizeof(parts);
  // Non-zero lengths with null buffers ask for pointers into the URL itself.
  parts.dwSchemeLength = 1;
  parts.dwHostNameLength = 1;
  parts.dwUserNameLength = 1;
  parts.dwPasswordLength = 1;
  parts.dwUrlPathLength = 1;
  if (!::InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return false;
  if (!parts.lpszHostName || parts.dwHostNameLength == 0 || !parts.lpszUrlPath || parts.dwUrlPathLength == 0) {
    return false;
  }
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return false;
  const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  // The path pointer runs to the end of the URL, so the query travels with it.
  const std::wstring path(parts.lpszUrlPath);
  const std::wstring user = parts.lpszUserName ? std::wstring(parts.lpszUserName, parts.dwUserNameLength) : L"";
  const std::wstring password = parts.lpszPassword ? std::wstring(parts.lpszPassword, parts.dwPasswordLength) : L"";

  const std::wstring agent = BrowserUserAgent();
  UniqueWinInetHandle root(
      ::InternetOpenW(agent.empty() ? nullptr : agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!root) return false;
  UniqueWinInetHandle connection(
      ::InternetConnectW(root.get(), host.c_str(), parts.nPort, user.empty() ? nullptr : user.c_str(),
                         password.empty() ? nullptr : password.c_str(), INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return false;
  UniqueWinInetHandle request(::HttpOpenRequestW(connection.get(), L"POST", path.c_str(), nullptr, nullptr, nullptr,
                                                 secure ? INTERNET_FLAG_SECURE : 0, 0));
  if (!request) return false;
  if (!::HttpSendRequestW(request.get(), nullptr, 0, const_cast<char*>(body.data()), static_cast<DWORD>(body.size()))) {
    return false;
  }
  std::vector<char> chunk(kReadChunk);
  for (;;) {
    DWORD read = 0;
    if (!::InternetReadFile(request.get(), chunk.data(), kReadChunk, &read)) {
      response.clear();
      return false;
    }
    if (read == 0) break;
    response.append(chunk.data(), read);
  }
  return true;
}

bool TokenizeUrl(std::wstring& url) {
  if (url.empty()) return false;
  std::string answer;
  if (!PostToUrl(TokenEndpoint(), base::WideToUtf8(url), answer)) return false;
  std::wstring text;
  // Strict decoding: an answer that is not UTF-8 is not trusted for a URL.
  if (!answer.empty() && !base::StrictUtf8ToWide(answer, text)) return false;
  std::wstring tokenized = ExtractTokenizedUrl(text);
  if (tokenized.empty()) return false;
  url = std::move(tokenized);
  return true;
}

}  // namespace stubframework::core

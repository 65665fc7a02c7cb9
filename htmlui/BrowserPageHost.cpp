#include "htmlui/BrowserPageHost.h"

#include "PageHostShimText.h"
#include "base/Text.h"
#include "base/UniqueAny.h"

#include <bcrypt.h>
#include <shellapi.h>

namespace stubframework::htmlui {

namespace {

constexpr DWORD kCloseNoticeMs = 1500;

std::string RandomToken() {
  unsigned char bytes[16] = {};
  if (!BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, bytes, sizeof(bytes), BCRYPT_USE_SYSTEM_PREFERRED_RNG))) return {};
  std::string token;
  char hex[3];
  for (unsigned char b : bytes) {
    snprintf(hex, sizeof(hex), "%02x", b);
    token += hex;
  }
  return token;
}

void ReplaceAll(std::string& text, const std::string& what, const std::string& with) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
}

std::string PageUrlPath(const std::wstring& page) {
  std::string path;
  for (const char c : base::WideToUtf8(page)) {
    if (c == '\\') {
      path += '/';
    } else if (isalnum(static_cast<unsigned char>(c)) || strchr("-._~/", c)) {
      path += c;
    } else {
      char escaped[4];
      snprintf(escaped, sizeof(escaped), "%%%02X", static_cast<unsigned char>(c));
      path += escaped;
    }
  }
  return path;
}

}  // namespace

BrowserPageHost::BrowserPageHost(IDispatchEx* external) : external_(external) {}

BrowserPageHost::~BrowserPageHost() { close(); }

std::string BrowserPageHost::shimScript(const std::string& token, const std::map<std::wstring, WORD>& methodKinds) {
  JsonValue kinds = JsonValue::makeObject();
  for (const auto& [name, flags] : methodKinds) kinds.mutableObject()[base::WideToUtf8(name)] = JsonValue::makeNumber(flags);
  std::string script = kPageHostShimTemplate;
  ReplaceAll(script, "@TOKEN@", token);
  ReplaceAll(script, "@METHOD_FLAGS@", kinds.serialize());
  return script;
}

HRESULT BrowserPageHost::start(const Options& options) {
  const std::string token = RandomToken();
  if (token.empty()) return E_FAIL;
  bridge_ = std::make_unique<BrowserBridge>(external_.Get(), [this](RequestId id, const std::string& json) {
    server_.respond(id, 200, "application/json", json);
  });
  if (!bridge_->create()) return HRESULT_FROM_WIN32(::GetLastError());
  BrowserBridge* bridge = bridge_.get();
  const HRESULT hr = server_.start(options.folder, token, shimScript(token, options.methodKinds),
                                   [bridge](PageRoute::Kind kind, RequestId id, std::string body) {
                                     bridge->post(kind, id, std::move(body));
                                   });
  if (FAILED(hr)) return hr;
  pageAddress_ = server_.baseAddress() + PageUrlPath(options.startPage);

  wchar_t addressFile[MAX_PATH] = {};
  if (::GetEnvironmentVariableW(kAddressFileVariable, addressFile, MAX_PATH) > 0) {
    base::UniqueFileHandle file(::CreateFileW(addressFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file || !::WriteFile(file.get(), pageAddress_.data(), static_cast<DWORD>(pageAddress_.size()), &written,
                              nullptr)) {
      return HRESULT_FROM_WIN32(::GetLastError());
    }
  } else {
    const std::wstring address = base::Utf8ToWide(pageAddress_);
    ::ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }
  return S_OK;
}

void BrowserPageHost::sendWindowEvent(const std::string& op, int width, int height) {
  if (bridge_ && !closed_) bridge_->sendWindowEvent(op, width, height);
}

void BrowserPageHost::close() {
  if (closed_) return;
  closed_ = true;
  if (bridge_) {
    bridge_->sendWindowEvent("closed");
    // Give a connected page the chance to collect the notice.
    const ULONGLONG deadline = ::GetTickCount64() + kCloseNoticeMs;
    while (server_.contacted() && bridge_->hasPendingEvents() && ::GetTickCount64() < deadline) {
      MSG message;
      while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
      }
      ::MsgWaitForMultipleObjectsEx(0, nullptr, 50, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    bridge_->shutDown();
  }
  server_.stop();
  bridge_.reset();
}

}  // namespace stubframework::htmlui

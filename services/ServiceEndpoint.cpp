#include "services/ServiceEndpoint.h"

#include "BuildConfig.h"

#include <atomic>

namespace stubframework::core {

namespace {
std::atomic<unsigned short> g_portOverride{0};
}

const wchar_t* ServiceHostName() noexcept { return build::kServiceHost; }

unsigned short ServicePort() noexcept {
  if constexpr (!build::kServiceUsesTls) {
    if (const unsigned short port = g_portOverride.load()) return port;
  }
  return build::kServicePort;
}

bool OverrideServicePort(unsigned short port) noexcept {
  if constexpr (build::kServiceUsesTls) {
    (void)port;
    return false;
  } else {
    g_portOverride.store(port);
    return true;
  }
}
bool ServiceUsesTls() noexcept { return build::kServiceUsesTls; }

std::wstring ServiceUrl(const std::wstring& path) {
  const bool tls = ServiceUsesTls();
  std::wstring url = tls ? L"https://" : L"http://";
  url += ServiceHostName();
  const unsigned short port = ServicePort();
  if (port != (tls ? 443 : 80)) url += L":" + std::to_wstring(port);
  return url + path;
}

}  // namespace stubframework::core

#include "services/ServiceEndpoint.h"

#include "BuildConfig.h"

namespace stubframework::core {

const wchar_t* ServiceHostName() noexcept { return build::kServiceHost; }
unsigned short ServicePort() noexcept { return build::kServicePort; }
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

#include "tests/services/ServiceTestSupport.h"

#include "base/Text.h"
#include "services/MachineId.h"
#include "services/ServiceEndpoint.h"

#include <winsock2.h>

namespace servicetest {

std::string UniqueMarker() {
  std::wstring guid;
  if (!stubframework::core::CreateGuidText(guid)) return "no-guid";
  return base::WideToUtf8(guid);
}

unsigned short ClosedLoopbackPort() {
  WSADATA data;
  if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return 1;
  unsigned short port = 1;
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s != INVALID_SOCKET) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port = ntohs(address.sin_port);
    }
    ::closesocket(s);
  }
  ::WSACleanup();
  return port;
}

ScopedUnreachableService::ScopedUnreachableService() {
  active_ = stubframework::core::OverrideServicePort(ClosedLoopbackPort());
}
ScopedUnreachableService::~ScopedUnreachableService() { (void)stubframework::core::OverrideServicePort(0); }

ScopedHostAnswers::ScopedHostAnswers(const ServiceHostRecord& host, const std::string& json)
    : host_(host), applied_(host.configure(json)) {}
ScopedHostAnswers::~ScopedHostAnswers() { host_.configure("{}"); }

}  // namespace servicetest

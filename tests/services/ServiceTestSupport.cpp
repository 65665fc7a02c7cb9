#include "tests/services/ServiceTestSupport.h"

#include "base/LoopbackPort.h"

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

// A loopback port that nothing listens on.
unsigned short ClosedLoopbackPort() {
  const unsigned short port = base::FreeLoopbackPort();
  return port ? port : 1;
}

ScopedUnreachableService::ScopedUnreachableService() {
  active_ = stubframework::core::OverrideServicePort(ClosedLoopbackPort());
}
ScopedUnreachableService::~ScopedUnreachableService() { (void)stubframework::core::OverrideServicePort(0); }

ScopedHostAnswers::ScopedHostAnswers(const ServiceHostRecord& host, const std::string& json)
    : host_(host), applied_(host.configure(json)) {}
ScopedHostAnswers::~ScopedHostAnswers() { host_.configure("{}"); }

}  // namespace servicetest

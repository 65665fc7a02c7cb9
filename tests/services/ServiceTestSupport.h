// Small helpers shared by the tests that talk to the reference service host.
#pragma once

#include "tests/services/ServiceHostRecord.h"

#include <string>

namespace servicetest {

// A fresh GUID text, to tell this test's requests apart in the shared record.
std::string UniqueMarker();

// A loopback port nothing listens on (bound once, then released).
unsigned short ClosedLoopbackPort();

// Points the service client at a closed port for its lifetime.
class ScopedUnreachableService {
 public:
  ScopedUnreachableService();
  ~ScopedUnreachableService();
  bool active() const { return active_; }

 private:
  bool active_ = false;
};

// Restores the host's default answers when the scope ends.
class ScopedHostAnswers {
 public:
  ScopedHostAnswers(const ServiceHostRecord& host, const std::string& json);
  ~ScopedHostAnswers();
  bool applied() const { return applied_; }

 private:
  const ServiceHostRecord& host_;
  bool applied_;
};

}  // namespace servicetest

#include "base/ResultMacros.h"

#include <atomic>

namespace base {
namespace {
std::atomic<FailureHook> g_hook{nullptr};
}

void SetFailureHook(FailureHook hook) noexcept { g_hook.store(hook); }

void ReportFailure(const char* file, int line, HRESULT hr) noexcept {
  if (FailureHook hook = g_hook.load()) hook(file, line, hr);
}

}  // namespace base

// Handlers of the methods that ask the installer service or the network: the
// user-activity record, the region check, the connectivity probe and the
// machine identity. The analytics client does the work and writes the log lines.
#include "framework/StubFramework.h"
#include "htmlui/DispatchArgs.h"
#include "methods/ExternalMethods.h"
#include "services/Analytics.h"

namespace stubframework {

using namespace htmlui;

HRESULT ExternalMethods::trackUserActivity(WORD flags, DISPPARAMS* params, VARIANT*) {
  const HRESULT checked = checkCall(flags, kCallM, params, {VT_BSTR});
  if (FAILED(checked)) return checked;
  if (core::Analytics* analytics = framework_ ? framework_->analytics() : nullptr) {
    analytics->TrackUserActivity(TextArg(params, 0));  // the worker runs on its own; its handle is dropped
  }
  return S_OK;
}

HRESULT ExternalMethods::isInEmbargoedCountry(WORD flags, DISPPARAMS* params, VARIANT* result) {
  const HRESULT checked = checkCall(flags, kCallM, params, {});
  if (FAILED(checked) || !result) return checked;
  core::Analytics* analytics = framework_ ? framework_->analytics() : nullptr;
  SetResultBool(result, analytics && analytics->IsInEmbargoedCountry());
  return S_OK;
}

HRESULT ExternalMethods::isInternetConnected(WORD flags, DISPPARAMS* params, VARIANT* result) {
  const HRESULT checked = checkCall(flags, kCallM, params, {});
  if (FAILED(checked) || !result) return checked;
  core::Analytics* analytics = framework_ ? framework_->analytics() : nullptr;
  SetResultBool(result, analytics && analytics->IsInternetConnected());
  return S_OK;
}

HRESULT ExternalMethods::getMachineId(WORD flags, DISPPARAMS* params, VARIANT* result) {
  const HRESULT checked = checkCall(flags, kCallM, params, {});
  if (FAILED(checked) || !result) return checked;
  core::Analytics* analytics = framework_ ? framework_->analytics() : nullptr;
  return SetResultText(result, analytics ? analytics->ReportedMachineId() : std::wstring());
}

}  // namespace stubframework

// Handlers of the property store, the install status and the channel.
#include "framework/ResultCodes.h"
#include "framework/StubConfig.h"
#include "framework/StubFramework.h"
#include "htmlui/DispatchArgs.h"
#include "htmlui/HtmlExternal.h"
#include "methods/ExternalMethods.h"

namespace stubframework {

using namespace htmlui;

namespace {
constexpr wchar_t kResourceLocationProperty[] = L"resourceLocation";
constexpr unsigned kHighestInstallStatus = STUB_FAILED;
}  // namespace

HRESULT ExternalMethods::getProperty(WORD flags, DISPPARAMS* params, VARIANT* result) {
  const HRESULT checked = checkCall(flags, kCallMG, params, {VT_BSTR});
  if (FAILED(checked)) return checked;
  if (!result) return S_OK;
  core::HtmlExternal* object = external();
  return SetResultText(result, object ? object->getProperty(TextArg(params, 0)) : std::wstring());
}

HRESULT ExternalMethods::setProperty(WORD flags, DISPPARAMS* params, VARIANT*) {
  log(L"EMSetProperty");
  const HRESULT checked = checkCall(flags, kCallM, params, {VT_BSTR, VT_BSTR});
  if (FAILED(checked)) return checked;
  const std::wstring name = TextArg(params, 0);
  const std::wstring value = TextArg(params, 1);
  if (core::HtmlExternal* object = external()) object->setProperty(name, value);
  log(L"EMSetProperty %s, %s", value.c_str(), name.c_str());
  return S_OK;
}

HRESULT ExternalMethods::getResourceLocation(WORD flags, DISPPARAMS* params, VARIANT* result) {
  const HRESULT checked = checkCall(flags, kCallM, params, {});
  if (FAILED(checked)) return checked;
  if (!result) return S_OK;
  core::HtmlExternal* object = external();
  return SetResultText(result, object ? object->getProperty(kResourceLocationProperty) : std::wstring());
}

HRESULT ExternalMethods::setInstallStatus(WORD flags, DISPPARAMS* params, VARIANT*) {
  const HRESULT checked = checkCall(flags, kCallM, params, {VT_I4});
  if (FAILED(checked)) return checked;
  const int status = IntArg(params, 0);
  if (static_cast<unsigned>(status) > kHighestInstallStatus) return STG_E_INVALIDPARAMETER;
  log(L"EMSetInstallStatus: %d", status);
  if (StubConfig* config = framework() ? framework()->config() : nullptr) config->setStatus(status);
  return S_OK;
}

HRESULT ExternalMethods::setChannel(WORD flags, DISPPARAMS* params, VARIANT*) {
  const HRESULT checked = checkCall(flags, kCallM, params, {VT_BSTR});
  if (FAILED(checked)) return checked;
  const std::wstring channel = TextArg(params, 0);
  log(L"EMSetChannel: %s", channel.c_str());
  if (StubConfig* config = framework() ? framework()->config() : nullptr) config->setChannel(channel);
  return S_OK;
}

}  // namespace stubframework

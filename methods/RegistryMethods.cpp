// Handlers of the registry methods.
#include "framework/Registry.h"
#include "framework/StubConfig.h"
#include "framework/StubFramework.h"
#include "htmlui/DispatchArgs.h"
#include "methods/ExternalMethods.h"
#include "methods/RegistrySearch.h"

namespace stubframework {

using namespace htmlui;

HRESULT ExternalMethods::getDataFromReg(WORD flags, DISPPARAMS* params, VARIANT* result) {
  log(L"EMGetDataFromReg");
  const HRESULT checked = checkCall(flags, kCallMG, params, {VT_BSTR, VT_BSTR});
  if (FAILED(checked) || !result) return checked;
  const std::wstring key = TextArg(params, 0);
  const std::wstring name = TextArg(params, 1);
  std::wstring value;
  readRegValue(key, name, value);
  log(L"EMGetDataFromReg args %s %s, Result %s", key.c_str(), name.c_str(), value.c_str());
  return SetResultText(result, value);
}

HRESULT ExternalMethods::setDataToReg(WORD flags, DISPPARAMS* params, VARIANT*) {
  log(L"EMSetDataToReg");
  const HRESULT checked = checkCall(flags, kCallM, params, {VT_BSTR, VT_BSTR, VT_BSTR, VT_BOOL});
  if (FAILED(checked)) return checked;
  const std::wstring key = TextArg(params, 0);
  const std::wstring name = TextArg(params, 1);
  const std::wstring value = TextArg(params, 2);
  const bool view64 = BoolArg(params, 3);
  writeRegValue(key, name, value, view64);  // the outcome is not reported to script
  log(L"EMSetDataToReg %d, %s, %s, %s", view64 ? -1 : 0, value.c_str(), name.c_str(), key.c_str());
  return S_OK;
}

HRESULT ExternalMethods::deleteRegKey(WORD flags, DISPPARAMS* params, VARIANT*) {
  log(L"EMDeleteRegKey");
  const HRESULT checked = checkCall(flags, kCallM, params, {VT_BSTR, VT_BOOL});
  if (FAILED(checked)) return checked;
  const std::wstring key = TextArg(params, 0);
  const bool view64 = BoolArg(params, 1);
  deleteRegKeyView(key, view64);
  log(L"EMDeleteRegKey %d, %s", view64 ? -1 : 0, key.c_str());
  return S_OK;
}

HRESULT ExternalMethods::searchRegKey(WORD flags, DISPPARAMS* params, VARIANT* result) {
  log(L"EMSearchRegKey");
  const HRESULT checked = checkCall(flags, kCallMG, params, {VT_BOOL, VT_BSTR, VT_BSTR, VT_BSTR});
  if (FAILED(checked) || !result) return checked;
  const bool view64 = BoolArg(params, 0);
  const std::wstring key = TextArg(params, 1);
  const std::wstring names = TextArg(params, 2);
  const std::wstring valueName = TextArg(params, 3);
  SetResultBool(result, searchRegistryKey(key, view64, splitSearchNames(names), valueName));
  log(L"EMSearchRegKey %d %s %s %s", view64 ? 1 : 0, key.c_str(), names.c_str(), valueName.c_str());
  return S_OK;
}

HRESULT ExternalMethods::getBaseRegKey(WORD flags, DISPPARAMS* params, VARIANT* result) {
  log(L"EMGetBaseRegKey");
  const HRESULT checked = checkCall(flags, kCallM, params, {});
  if (FAILED(checked) || !result) return checked;
  StubConfig* config = framework() ? framework()->config() : nullptr;
  const std::wstring key =
      config ? StubConfig::makeBaseRegKey(config->productId(), config->productVersion()) : std::wstring();
  log(L"EMGetBaseRegKey %s", key.c_str());
  return SetResultText(result, key);
}

}  // namespace stubframework

// Handlers of the system and language queries.
#include "base/Text.h"
#include "framework/ProcessCommandLine.h"
#include "framework/StubConfig.h"
#include "framework/StubFramework.h"
#include "htmlui/DispatchArgs.h"
#include "htmlui/HtmlExternal.h"
#include "methods/ExternalMethods.h"
#include "methods/LanguageTable.h"
#include "methods/SystemVersion.h"

namespace stubframework {

using namespace htmlui;

namespace {
constexpr wchar_t kOsBitNotSupportProperty[] = L"OSBitNotSupport";
}

HRESULT ExternalMethods::getOSVersion(WORD flags, DISPPARAMS* params, VARIANT* result) {
  const HRESULT checked = checkCall(flags, kCallM, params, {});
  if (FAILED(checked) || !result) return checked;
  const SystemVersion version = reportedVersion();
  return SetResultText(result, base::FormatText(L"%u.%u", version.major, version.minor));
}

HRESULT ExternalMethods::checkOS(WORD flags, DISPPARAMS* params, VARIANT* result) {
  log(L"EMCheckOS");
  const HRESULT checked = checkCall(flags, kCallMG, params, {VT_BSTR, VT_BSTR});
  if (FAILED(checked) || !result) return checked;
  const std::wstring minimumOs = TextArg(params, 0);
  const std::wstring requiredBits = TextArg(params, 1);
  StubConfig* config = framework() ? framework()->config() : nullptr;
  bool valid = false;
  if (base::EqualsIgnoreCase(requiredBits, L"x64") && config &&
      base::EqualsIgnoreCase(config->architecture(), L"x86")) {
    if (core::HtmlExternal* object = external()) object->setProperty(kOsBitNotSupportProperty, L"true");
  } else {
    valid = meetsMinimum(processBlockVersion(), minimumVersionFor(minimumOs));
  }
  SetResultBool(result, valid);
  log(L"EMCheckOS Result : %s", valid ? L"OS valid" : L"OS invalid");
  return S_OK;
}

HRESULT ExternalMethods::getOSLang(WORD flags, DISPPARAMS* params, VARIANT* result) {
  const HRESULT checked = checkCall(flags, kCallM, params, {});
  if (FAILED(checked) || !result) return checked;
  SetResultInt(result, languageNumberFromId(::GetUserDefaultUILanguage()));
  return S_OK;
}

HRESULT ExternalMethods::getLanguageByID(WORD flags, DISPPARAMS* params, VARIANT* result) {
  const HRESULT checked = checkCall(flags, kCallMG, params, {VT_I4});
  if (FAILED(checked) || !result) return checked;
  SetResultInt(result, languageNumberFromId(static_cast<uint32_t>(IntArg(params, 0))));
  return S_OK;
}

HRESULT ExternalMethods::getParsedInstallLanguage(WORD flags, DISPPARAMS* params, VARIANT* result) {
  const HRESULT checked = checkCall(flags, kCallMG, params, {VT_BSTR});
  if (FAILED(checked) || !result) return checked;
  SetResultInt(result, languageNumberFromCode(TextArg(params, 0).c_str()));
  return S_OK;
}

HRESULT ExternalMethods::setLang(WORD flags, DISPPARAMS* params, VARIANT*) {
  const HRESULT checked = checkCall(flags, kCallM, params, {VT_I4});
  if (FAILED(checked)) return checked;
  // A number outside the table names no row: the configuration stays as it is.
  if (StubConfig* config = framework() ? framework()->config() : nullptr) config->setInstallLanguage(IntArg(params, 0));
  return S_OK;
}

HRESULT ExternalMethods::isSilentLaunchStub(WORD flags, DISPPARAMS* params, VARIANT* result) {
  const HRESULT checked = checkCall(flags, kCallM, params, {});
  if (FAILED(checked) || !result) return checked;
  const bool silent = cmdline::isSilentLaunch(processArguments());
  SetResultBool(result, silent);
  log(L"EMIsSilentLaunchStub Result: %s", silent ? L"launch silently" : L"launch normal");
  return S_OK;
}

HRESULT ExternalMethods::getLastInstallError(WORD flags, DISPPARAMS* params, VARIANT* result) {
  log(L"EMGetLastInstallError");
  const HRESULT checked = checkCall(flags, kCallM, params, {});
  if (FAILED(checked) || !result) return checked;
  core::HtmlExternal* object = external();
  const int code = object ? object->lastInstallerExitCode() : 0;
  SetResultUInt(result, static_cast<unsigned>(code));
  log(L"EMGetLastInstallError ErrorCode: %ld", static_cast<long>(code));
  return S_OK;
}

}  // namespace stubframework

#include "methods/ExternalMethods.h"

#include "base/Text.h"
#include "framework/InstallerLog.h"
#include "framework/StubFramework.h"
#include "htmlui/DispatchArgs.h"
#include "htmlui/HtmlExternal.h"

#include <algorithm>
#include <cstdarg>
#include <vector>

namespace stubframework {

ExternalMethods::ExternalMethods(StubFramework* framework) : framework_(framework) {
  // The resume-mode property reset runs here once the process methods exist.
  // Registration follows the catalogue's order; handlers of the download,
  // install, maintenance, self-update, verification and report methods are
  // registered by their own subsystems at their places in this list.
  registerMethod(L"closeWindow", &ExternalMethods::closeWindow, kCallM);
  registerMethod(L"dragWindow", &ExternalMethods::dragWindow, kCallM);
  registerMethod(L"hideWindow", &ExternalMethods::hideWindow, kCallM);
  registerMethod(L"showWindow", &ExternalMethods::showWindow, kCallM);
  registerMethod(L"terminateWindow", &ExternalMethods::terminateWindow, kCallM);
  registerMethod(L"selectFolder", &ExternalMethods::selectFolder, kCallMG);
  registerMethod(L"startProgram", &ExternalMethods::startProgram, kCallM);
  registerMethod(L"messageBox", &ExternalMethods::messageBox, kCallM);
  registerMethod(L"deleteRegKey", &ExternalMethods::deleteRegKey, kCallM);
  registerMethod(L"setWindowSize", &ExternalMethods::setWindowSize, kCallM);
  registerMethod(L"setProperty", &ExternalMethods::setProperty, kCallM);
  registerMethod(L"setLang", &ExternalMethods::setLang, kCallM);
  registerMethod(L"setInstallStatus", &ExternalMethods::setInstallStatus, kCallM);
  registerMethod(L"setChannel", &ExternalMethods::setChannel, kCallM);
  registerMethod(L"setDataToReg", &ExternalMethods::setDataToReg, kCallM);
  registerMethod(L"isFileExists", &ExternalMethods::isFileExists, kCallMG);
  registerMethod(L"isSilentLaunchStub", &ExternalMethods::isSilentLaunchStub, kCallM);
  registerMethod(L"createDirectory", &ExternalMethods::createDirectory, kCallMG);
  registerMethod(L"trackUserActivity", &ExternalMethods::trackUserActivity, kCallM);
  registerMethod(L"openPage", &ExternalMethods::openPage, kCallMG);
  registerMethod(L"searchRegKey", &ExternalMethods::searchRegKey, kCallMG);
  registerMethod(L"getProperty", &ExternalMethods::getProperty, kCallMG);
  registerMethod(L"getDiskAvailableSpace", &ExternalMethods::getDiskAvailableSpace, kCallMG);
  registerMethod(L"getOSLang", &ExternalMethods::getOSLang, kCallM);
  registerMethod(L"getLanguageByID", &ExternalMethods::getLanguageByID, kCallMG);
  registerMethod(L"getParsedInstallLanguage", &ExternalMethods::getParsedInstallLanguage, kCallMG);
  registerMethod(L"getFileVersion", &ExternalMethods::getFileVersion, kCallMG);
  registerMethod(L"getDataFromReg", &ExternalMethods::getDataFromReg, kCallMG);
  registerMethod(L"getCrc", &ExternalMethods::getCrc, kCallMG);
  registerMethod(L"getOSVersion", &ExternalMethods::getOSVersion, kCallM);
  registerMethod(L"getResourceLocation", &ExternalMethods::getResourceLocation, kCallM);
  registerMethod(L"getCurrentPath", &ExternalMethods::getCurrentPath, kCallM);
  registerMethod(L"getDesktopPath", &ExternalMethods::getDesktopPath, kCallM);
  registerMethod(L"getTempPath", &ExternalMethods::getTempPath, kCallMG);
  registerMethod(L"getBaseRegKey", &ExternalMethods::getBaseRegKey, kCallM);
  registerMethod(L"getFileSize", &ExternalMethods::getFileSize, kCallMG);
  registerMethod(L"getLastInstallError", &ExternalMethods::getLastInstallError, kCallM);
  registerMethod(L"checkOS", &ExternalMethods::checkOS, kCallMG);
  registerMethod(L"getMachineId", &ExternalMethods::getMachineId, kCallM);
  registerMethod(L"confirmMessageBox", &ExternalMethods::confirmMessageBox, kCallMG);
  registerMethod(L"isInEmbargoedCountry", &ExternalMethods::isInEmbargoedCountry, kCallM);
  registerMethod(L"isInternetConnected", &ExternalMethods::isInternetConnected, kCallM);
  registerMethod(L"renameFile", &ExternalMethods::renameFile, kCallMG);
}

ExternalMethods::~ExternalMethods() = default;

void ExternalMethods::attachWindow(HWND window) { window_ = window; }

void ExternalMethods::registerMethod(const wchar_t* name, Handler handler, WORD kind) {
  methods_[name] = handler;
  kinds_[name] = kind;
}

std::map<std::wstring, WORD> ExternalMethods::methodKinds() const { return kinds_; }

HRESULT ExternalMethods::checkCall(WORD flags, WORD kind, const DISPPARAMS* params,
                                   std::initializer_list<VARTYPE> typesInScriptOrder) const {
  if (flags != kind) return DISP_E_MEMBERNOTFOUND;
  const unsigned count = static_cast<unsigned>(typesInScriptOrder.size());
  if (!params || params->cArgs != count || params->cNamedArgs != 0) return DISP_E_BADPARAMCOUNT;
  std::vector<VARTYPE> reversed(typesInScriptOrder.begin(), typesInScriptOrder.end());
  std::reverse(reversed.begin(), reversed.end());
  return htmlui::CheckParamTypes(framework_, reversed.data(), count, params);
}

core::HtmlExternal* ExternalMethods::external() const { return framework_ ? framework_->external() : nullptr; }

void ExternalMethods::log(const wchar_t* format, ...) const {
  if (!framework_ || !framework_->log()) return;
  va_list args;
  va_start(args, format);
  framework_->log()->write(InstallerLog::kDebug, format, args);
  va_end(args);
}

}  // namespace stubframework

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
  registerMethod(L"closeWindow", &ExternalMethods::closeWindow);
  registerMethod(L"dragWindow", &ExternalMethods::dragWindow);
  registerMethod(L"hideWindow", &ExternalMethods::hideWindow);
  registerMethod(L"showWindow", &ExternalMethods::showWindow);
  registerMethod(L"terminateWindow", &ExternalMethods::terminateWindow);
  registerMethod(L"selectFolder", &ExternalMethods::selectFolder);
  registerMethod(L"startProgram", &ExternalMethods::startProgram);
  registerMethod(L"messageBox", &ExternalMethods::messageBox);
  registerMethod(L"deleteRegKey", &ExternalMethods::deleteRegKey);
  registerMethod(L"setWindowSize", &ExternalMethods::setWindowSize);
  registerMethod(L"setProperty", &ExternalMethods::setProperty);
  registerMethod(L"setLang", &ExternalMethods::setLang);
  registerMethod(L"setInstallStatus", &ExternalMethods::setInstallStatus);
  registerMethod(L"setChannel", &ExternalMethods::setChannel);
  registerMethod(L"setDataToReg", &ExternalMethods::setDataToReg);
  registerMethod(L"isFileExists", &ExternalMethods::isFileExists);
  registerMethod(L"isSilentLaunchStub", &ExternalMethods::isSilentLaunchStub);
  registerMethod(L"createDirectory", &ExternalMethods::createDirectory);
  registerMethod(L"openPage", &ExternalMethods::openPage);
  registerMethod(L"searchRegKey", &ExternalMethods::searchRegKey);
  registerMethod(L"getProperty", &ExternalMethods::getProperty);
  registerMethod(L"getDiskAvailableSpace", &ExternalMethods::getDiskAvailableSpace);
  registerMethod(L"getOSLang", &ExternalMethods::getOSLang);
  registerMethod(L"getLanguageByID", &ExternalMethods::getLanguageByID);
  registerMethod(L"getParsedInstallLanguage", &ExternalMethods::getParsedInstallLanguage);
  registerMethod(L"getFileVersion", &ExternalMethods::getFileVersion);
  registerMethod(L"getDataFromReg", &ExternalMethods::getDataFromReg);
  registerMethod(L"getCrc", &ExternalMethods::getCrc);
  registerMethod(L"getOSVersion", &ExternalMethods::getOSVersion);
  registerMethod(L"getResourceLocation", &ExternalMethods::getResourceLocation);
  registerMethod(L"getCurrentPath", &ExternalMethods::getCurrentPath);
  registerMethod(L"getDesktopPath", &ExternalMethods::getDesktopPath);
  registerMethod(L"getTempPath", &ExternalMethods::getTempPath);
  registerMethod(L"getBaseRegKey", &ExternalMethods::getBaseRegKey);
  registerMethod(L"getFileSize", &ExternalMethods::getFileSize);
  registerMethod(L"getLastInstallError", &ExternalMethods::getLastInstallError);
  registerMethod(L"checkOS", &ExternalMethods::checkOS);
  registerMethod(L"confirmMessageBox", &ExternalMethods::confirmMessageBox);
  registerMethod(L"renameFile", &ExternalMethods::renameFile);
}

ExternalMethods::~ExternalMethods() = default;

void ExternalMethods::attachWindow(HWND window) { window_ = window; }

void ExternalMethods::registerMethod(const wchar_t* name, Handler handler) { methods_[name] = handler; }

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

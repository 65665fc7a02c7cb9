// The framework's catalogue of script-callable methods: an ordered map from the
// method name to its handler, filled at construction, and the handlers.
// The script object (HtmlExternal) freezes the map into its dispatch table when
// the framework runs; handlers then receive (flags, arguments in reverse script
// order, optional result slot) and return S_OK or the status of a wrong call.
//
// Ownership: a local object of the process entry; holds (does not own) the
// framework. Threads: handlers run on the user-interface thread.
#pragma once

#include "base/Platform.h"
#include "htmlui/MSHTMLExternal.h"

#include <oleauto.h>

#include <initializer_list>
#include <map>
#include <string>
#include <type_traits>

namespace stubframework {

class StubFramework;
namespace core {
class HtmlExternal;
}

class ExternalMethods {
 public:
  using Handler = htmlui::MethodHandler;
  using MethodTable = std::map<std::wstring, Handler>;

  // Call kinds: M (method call only) and MG (method call or property get).
  static constexpr WORD kCallM = DISPATCH_METHOD;
  static constexpr WORD kCallMG = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

  explicit ExternalMethods(StubFramework* framework);
  virtual ~ExternalMethods();
  ExternalMethods(const ExternalMethods&) = delete;
  ExternalMethods& operator=(const ExternalMethods&) = delete;

  // Keeps the host window for the window methods and as owner of dialogs.
  virtual void attachWindow(HWND window);

  const MethodTable& methodTable() const { return methods_; }
  StubFramework* framework() const { return framework_; }
  HWND window() const { return window_; }

  // Binds a script name to a handler and the one call kind (kCallM or kCallMG)
  // the handler accepts; a name already present is replaced.
  void registerMethod(const wchar_t* name, Handler handler, WORD kind);
  // The same for handlers of a derived catalogue.
  template <typename Derived>
  void registerMethod(const wchar_t* name, HRESULT (Derived::*handler)(WORD, DISPPARAMS*, VARIANT*), WORD kind) {
    static_assert(std::is_base_of_v<ExternalMethods, Derived>);
    registerMethod(name, static_cast<Handler>(handler), kind);
  }
  // Method name -> call kind, for callers that must choose the flags themselves
  // (the browser stand-in of window.external cannot see whether a result is used).
  std::map<std::wstring, WORD> methodKinds() const;

  // The calling rules every handler applies first: the one accepted flags value
  // (else DISP_E_MEMBERNOTFOUND), the exact count without named arguments (else
  // DISP_E_BADPARAMCOUNT), then the types in script order through CheckParamTypes.
  [[nodiscard]] HRESULT checkCall(WORD flags, WORD kind, const DISPPARAMS* params,
                                  std::initializer_list<VARTYPE> typesInScriptOrder) const;

 protected:
  core::HtmlExternal* external() const;
  void log(const wchar_t* format, ...) const;  // DEBUG level

  // Service and network methods.
  HRESULT trackUserActivity(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT isInEmbargoedCountry(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT isInternetConnected(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT getMachineId(WORD flags, DISPPARAMS* params, VARIANT* result);

  // Window methods.
  HRESULT closeWindow(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT dragWindow(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT hideWindow(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT showWindow(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT terminateWindow(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT setWindowSize(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT messageBox(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT confirmMessageBox(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT selectFolder(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT startProgram(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT openPage(WORD flags, DISPPARAMS* params, VARIANT* result);

  // Property and status methods.
  HRESULT getProperty(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT setProperty(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT getResourceLocation(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT setInstallStatus(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT setChannel(WORD flags, DISPPARAMS* params, VARIANT* result);

  // File and path methods.
  HRESULT isFileExists(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT createDirectory(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT getFileSize(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT getCrc(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT getFileVersion(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT renameFile(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT getDiskAvailableSpace(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT getCurrentPath(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT getDesktopPath(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT getTempPath(WORD flags, DISPPARAMS* params, VARIANT* result);

  // Registry methods.
  HRESULT getDataFromReg(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT setDataToReg(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT deleteRegKey(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT searchRegKey(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT getBaseRegKey(WORD flags, DISPPARAMS* params, VARIANT* result);

  // System and language queries.
  HRESULT getOSVersion(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT checkOS(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT getOSLang(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT getLanguageByID(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT getParsedInstallLanguage(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT setLang(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT isSilentLaunchStub(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT getLastInstallError(WORD flags, DISPPARAMS* params, VARIANT* result);

 private:
  StubFramework* framework_;
  HWND window_ = nullptr;
  MethodTable methods_;
  std::map<std::wstring, WORD> kinds_;
};

}  // namespace stubframework

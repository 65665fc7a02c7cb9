// Handlers of the window, dialog and launch methods. They act on the host
// window the catalogue received through attachWindow.
#include "framework/StubFramework.h"
#include "htmlui/DispatchArgs.h"
#include "htmlui/HtmlExternal.h"
#include "methods/ExternalMethods.h"
#include "methods/ShellLaunch.h"

#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

namespace stubframework {

using namespace htmlui;
using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kHostWindowClass[] = L"HTMLUI";
constexpr WPARAM kMoveByCaption = SC_MOVE | HTCAPTION;  // 0xF012

bool IsHostWindow(HWND window) {
  if (!window || !::IsWindow(window)) return false;
  WNDCLASSEXW info = {};
  info.cbSize = sizeof(info);
  const ATOM hostAtom = static_cast<ATOM>(::GetClassInfoExW(::GetModuleHandleW(nullptr), kHostWindowClass, &info));
  return hostAtom != 0 && static_cast<ATOM>(::GetClassLongPtrW(window, GCW_ATOM)) == hostAtom;
}

std::wstring PickFolderWithDialog(HWND owner, const std::wstring& initialFolder, bool& available) {
  available = false;
  ComPtr<IFileOpenDialog> dialog;
  if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog)))) return {};
  available = true;
  FILEOPENDIALOGOPTIONS options = 0;
  if (SUCCEEDED(dialog->GetOptions(&options))) dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM);
  ComPtr<IShellItem> initial;
  if (SUCCEEDED(::SHCreateItemFromParsingName(initialFolder.c_str(), nullptr, IID_PPV_ARGS(&initial)))) {
    dialog->SetFolder(initial.Get());
  }
  if (dialog->Show(owner) != S_OK) return {};
  ComPtr<IShellItem> chosen;
  if (FAILED(dialog->GetResult(&chosen))) return {};
  PWSTR name = nullptr;
  if (FAILED(chosen->GetDisplayName(SIGDN_DESKTOPABSOLUTEPARSING, &name)) || !name) return {};
  std::wstring path = name;
  ::CoTaskMemFree(name);
  return path;
}

std::wstring PickFolderWithBrowser(HWND owner) {
  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  info.ulFlags = BIF_NEWDIALOGSTYLE;
  PIDLIST_ABSOLUTE item = ::SHBrowseForFolderW(&info);
  if (!item) return {};
  wchar_t path[MAX_PATH] = {};
  const bool hasPath = ::SHGetPathFromIDListW(item, path) != FALSE;
  ::CoTaskMemFree(item);
  return hasPath ? std::wstring(path) : std::wstring();
}

}  // namespace

HRESULT ExternalMethods::closeWindow(WORD flags, DISPPARAMS* params, VARIANT*) {
  log(L"ZSClose");
  const HRESULT checked = checkCall(flags, kCallM, params, {});
  if (FAILED(checked)) return checked;
  // The host window's close message only raises its close-request flag, which
  // the message loop sees once this call has returned.
  if (IsHostWindow(window())) ::SendMessageW(window(), WM_CLOSE, 0, 0);
  return S_OK;
}

HRESULT ExternalMethods::dragWindow(WORD flags, DISPPARAMS* params, VARIANT*) {
  log(L"ZSDragWindow");
  const HRESULT checked = checkCall(flags, kCallM, params, {});
  if (FAILED(checked)) return checked;
  if (window()) ::SendMessageW(window(), WM_SYSCOMMAND, kMoveByCaption, 0);
  return S_OK;
}

HRESULT ExternalMethods::hideWindow(WORD flags, DISPPARAMS* params, VARIANT*) {
  const HRESULT checked = checkCall(flags, kCallM, params, {});
  if (FAILED(checked)) return checked;
  if (window()) ::ShowWindow(window(), SW_HIDE);
  log(L"EMHideWindow");
  return S_OK;
}

HRESULT ExternalMethods::showWindow(WORD flags, DISPPARAMS* params, VARIANT*) {
  const HRESULT checked = checkCall(flags, kCallM, params, {});
  if (FAILED(checked)) return checked;
  if (window()) ::ShowWindow(window(), SW_SHOW);
  log(L"EMShowWindow");
  return S_OK;
}

HRESULT ExternalMethods::terminateWindow(WORD flags, DISPPARAMS* params, VARIANT*) {
  const HRESULT checked = checkCall(flags, kCallM, params, {});
  if (FAILED(checked)) return checked;
  ::ExitProcess(0);
}

HRESULT ExternalMethods::setWindowSize(WORD flags, DISPPARAMS* params, VARIANT*) {
  const HRESULT checked = checkCall(flags, kCallM, params, {VT_I4, VT_I4});
  if (FAILED(checked)) return checked;
  const int width = IntArg(params, 0);
  const int height = IntArg(params, 1);
  log(L"ZSWindowSize: %d", width);
  if (core::HtmlExternal* object = external()) object->resizeAndCenter(window(), width, height);
  return S_OK;
}

HRESULT ExternalMethods::messageBox(WORD flags, DISPPARAMS* params, VARIANT*) {
  const HRESULT checked = checkCall(flags, kCallM, params, {VT_BSTR, VT_BSTR});
  if (FAILED(checked)) return checked;
  const std::wstring text = TextArg(params, 0);
  const std::wstring caption = TextArg(params, 1);
  log(L"ZSMessageBox: %s %s", text.c_str(), caption.c_str());
  ::MessageBoxW(window(), text.c_str(), caption.c_str(), MB_OK);
  return S_OK;
}

HRESULT ExternalMethods::confirmMessageBox(WORD flags, DISPPARAMS* params, VARIANT* result) {
  log(L"EMConfirmMessageBox");
  const HRESULT checked = checkCall(flags, kCallMG, params, {VT_BSTR, VT_BSTR});
  if (FAILED(checked)) return checked;
  // Shown even when the caller takes no result: the box is the point of the call.
  const int choice = ::MessageBoxW(window(), TextArg(params, 0).c_str(), TextArg(params, 1).c_str(), MB_OKCANCEL);
  const bool confirmed = choice != IDCANCEL;
  SetResultBool(result, confirmed);
  log(L"EMConfirmMessageBox Result : %s", confirmed ? L"Close" : L"Cancel Close");
  return S_OK;
}

HRESULT ExternalMethods::selectFolder(WORD flags, DISPPARAMS* params, VARIANT* result) {
  log(L"EMSelectFolder");
  const HRESULT checked = checkCall(flags, kCallMG, params, {VT_BSTR});
  if (FAILED(checked) || !result) return checked;
  const std::wstring initialFolder = TextArg(params, 0);
  bool dialogAvailable = false;
  std::wstring chosen = PickFolderWithDialog(window(), initialFolder, dialogAvailable);
  if (!dialogAvailable) chosen = PickFolderWithBrowser(window());
  const std::wstring folder = chosen.empty() ? initialFolder : chosen;
  log(L"EMSelectFolder args %s, Result %s", initialFolder.c_str(), folder.c_str());
  return SetResultText(result, folder);
}

HRESULT ExternalMethods::startProgram(WORD flags, DISPPARAMS* params, VARIANT*) {
  const HRESULT checked = checkCall(flags, kCallM, params, {VT_BSTR, VT_BSTR});
  if (FAILED(checked)) return checked;
  (void)launchThroughShell(TextArg(params, 0), TextArg(params, 1));
  return S_OK;
}

HRESULT ExternalMethods::openPage(WORD flags, DISPPARAMS* params, VARIANT* result) {
  log(L"EMOpenPage");
  const HRESULT checked = checkCall(flags, kCallMG, params, {VT_BSTR});
  if (FAILED(checked) || !result) return checked;
  const std::wstring url = TextArg(params, 0);
  const bool opened = SUCCEEDED(launchThroughShell(url, L""));
  SetResultBool(result, opened);
  log(L"ZSOpenPage: %s, result: %s", url.c_str(), opened ? L"success" : L"fail");
  return S_OK;
}

}  // namespace stubframework

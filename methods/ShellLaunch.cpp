#include "methods/ShellLaunch.h"

#include "base/ComOwners.h"

#include <exdisp.h>
#include <servprov.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <wrl/client.h>

namespace stubframework {

namespace {

using Microsoft::WRL::ComPtr;

HRESULT DesktopShellDispatch(ComPtr<IShellDispatch2>& shell) {
  ComPtr<IShellWindows> windows;
  HRESULT hr = ::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(&windows));
  if (FAILED(hr)) return hr;
  base::UniqueVariant location;
  location.get()->vt = VT_I4;
  location.get()->lVal = CSIDL_DESKTOP;
  base::UniqueVariant empty;
  long window = 0;
  ComPtr<IDispatch> desktop;
  hr = windows->FindWindowSW(location.get(), empty.get(), SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, &desktop);
  if (hr != S_OK || !desktop) return FAILED(hr) ? hr : E_FAIL;
  ComPtr<IServiceProvider> services;
  if (FAILED(hr = desktop.As(&services))) return hr;
  ComPtr<IShellBrowser> browser;
  if (FAILED(hr = services->QueryService(SID_STopLevelBrowser, IID_PPV_ARGS(&browser)))) return hr;
  ComPtr<IShellView> view;
  if (FAILED(hr = browser->QueryActiveShellView(&view))) return hr;
  ComPtr<IDispatch> background;
  if (FAILED(hr = view->GetItemObject(SVGIO_BACKGROUND, IID_PPV_ARGS(&background)))) return hr;
  ComPtr<IShellFolderViewDual> folderView;
  if (FAILED(hr = background.As(&folderView))) return hr;
  ComPtr<IDispatch> application;
  if (FAILED(hr = folderView->get_Application(&application)) || !application) return FAILED(hr) ? hr : E_FAIL;
  return application.As(&shell);
}

}  // namespace

HRESULT launchThroughShell(const std::wstring& file, const std::wstring& parameters) {
  ComPtr<IShellDispatch2> shell;
  HRESULT hr = DesktopShellDispatch(shell);
  if (SUCCEEDED(hr)) {
    ::AllowSetForegroundWindow(ASFW_ANY);
    base::UniqueBstr fileText = base::UniqueBstr::FromText(file);
    base::UniqueVariant args;
    args.get()->vt = VT_BSTR;
    args.get()->bstrVal = ::SysAllocStringLen(parameters.data(), static_cast<UINT>(parameters.size()));
    base::UniqueVariant unset;
    return shell->ShellExecute(fileText.get(), *args.get(), *unset.get(), *unset.get(), *unset.get());
  }
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const HINSTANCE started = ::ShellExecuteW(nullptr, L"open", file.c_str(),
                                            parameters.empty() ? nullptr : parameters.c_str(), nullptr, SW_SHOWNORMAL);
  if (SUCCEEDED(com)) ::CoUninitialize();
  return reinterpret_cast<INT_PTR>(started) > 32 ? S_OK : hr;
}

}  // namespace stubframework

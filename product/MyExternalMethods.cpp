#include "product/MyExternalMethods.h"

#include "BuildConfig.h"
#include "htmlui/DispatchArgs.h"
#include "product/WebView2Runtime.h"

#include <iterator>
#include <new>

namespace myexternalmethods {

using namespace stubframework::htmlui;

namespace {

// setTrackingProperty's index -> field and log text.
struct TrackingSlot {
  std::wstring TrackingProperties::*field;
  const wchar_t* logFormat;
};
const TrackingSlot kTrackingSlots[] = {
    {&TrackingProperties::installChannel, L"EMSetTrackingProperty install.channel: %s"},
    {&TrackingProperties::installLanguage, L"EMSetTrackingProperty install.language: %s"},
    {&TrackingProperties::installMsiFilename, L"EMSetTrackingProperty install.msi-filename: %s"},
    {&TrackingProperties::installAnalytics, L"EMSetTrackingProperty install.analytics: %s"},
    {&TrackingProperties::installLicense, L"EMSetTrackingProperty install.license: %s"},
};

}  // namespace

MyExternalMethods::MyExternalMethods(stubframework::StubFramework* framework, std::wstring bootstrapperUrl)
    : ExternalMethods(framework),
      bootstrapperUrl_(bootstrapperUrl.empty() ? std::wstring(stubframework::build::kWebView2BootstrapperUrl)
                                               : std::move(bootstrapperUrl)) {
  tracking_.reset(new (std::nothrow) TrackingProperties(TrackingProperties::ForThisDevice()));
  state_.reset(new (std::nothrow) ExtensionState());
  // The product-analytics client starts here once it exists.
  registerMethod(L"getSourceID", &MyExternalMethods::getSourceID, kCallMG);
  // prepareInstall registers here.
  registerMethod(L"minimizedWindow", &MyExternalMethods::minimizedWindow, kCallM);
  // trackingByAnalyticsSDK registers here.
  registerMethod(L"setTrackingProperty", &MyExternalMethods::setTrackingProperty, kCallM);
  registerMethod(L"getOSVersionAndBuildNumber", &MyExternalMethods::getOSVersionAndBuildNumber, kCallM);
  registerMethod(L"downloadAndInstallWV2RT", &MyExternalMethods::downloadAndInstallWV2RT, kCallM);
}

MyExternalMethods::~MyExternalMethods() = default;

HRESULT MyExternalMethods::getSourceID(WORD flags, DISPPARAMS* params, VARIANT* result) {
  log(L"EMGetSourceID");
  const HRESULT checked = checkCall(flags, kCallMG, params, {VT_BSTR});
  if (FAILED(checked) || !result) return checked;
  const std::wstring source;
  log(L"EMGetSourceID args %s, Result %s", TextArg(params, 0).c_str(), source.c_str());
  return SetResultText(result, source);
}

HRESULT MyExternalMethods::minimizedWindow(WORD flags, DISPPARAMS* params, VARIANT*) {
  log(L"EMMinimizedWindow");
  const HRESULT checked = checkCall(flags, kCallM, params, {});
  if (FAILED(checked)) return checked;
  if (window()) ::ShowWindow(window(), SW_SHOWMINIMIZED);
  return S_OK;
}

HRESULT MyExternalMethods::setTrackingProperty(WORD flags, DISPPARAMS* params, VARIANT*) {
  log(L"EMSetTrackingProperty");
  const HRESULT checked = checkCall(flags, kCallM, params, {VT_I4, VT_BSTR});
  if (FAILED(checked)) return checked;
  const int index = IntArg(params, 0);
  if (index < 0 || index >= static_cast<int>(std::size(kTrackingSlots)) || !tracking_) return S_OK;
  const std::wstring value = TextArg(params, 1);
  tracking_.get()->*kTrackingSlots[index].field = value;
  log(kTrackingSlots[index].logFormat, value.c_str());
  return S_OK;
}

HRESULT MyExternalMethods::getOSVersionAndBuildNumber(WORD flags, DISPPARAMS* params, VARIANT* result) {
  const HRESULT checked = checkCall(flags, kCallM, params, {});
  if (FAILED(checked) || !result) return checked;
  return SetResultText(result, osVersionAndBuild());
}

HRESULT MyExternalMethods::downloadAndInstallWV2RT(WORD flags, DISPPARAMS* params, VARIANT* result) {
  const HRESULT checked = checkCall(flags, kCallM, params, {});
  if (FAILED(checked) || !result) return checked;
  SetResultBool(result, ensureWebView2Runtime(bootstrapperUrl_));
  return S_OK;
}

}  // namespace myexternalmethods

// The catalogue the stub uses: the framework's methods plus the product's own
// (source id, minimised window, tracking properties, system version, browser
// runtime), and the tracking properties every product event carries.
//
// Ownership: a local object of the process entry, destroyed after the framework;
// owns its ExtensionState and TrackingProperties.
// Threads: handlers run on the user-interface thread.
#pragma once

#include "methods/ExternalMethods.h"
#include "product/ExtensionState.h"
#include "product/TrackingProperties.h"

#include <memory>
#include <string>

namespace myexternalmethods {

class MyExternalMethods : public stubframework::ExternalMethods {
 public:
  // Builds the tracking properties and the extension state, then registers the
  // product methods after the framework's. `bootstrapperUrl` is where the
  // browser runtime's bootstrapper comes from (the build constant by default).
  explicit MyExternalMethods(stubframework::StubFramework* framework, std::wstring bootstrapperUrl = std::wstring());
  ~MyExternalMethods() override;

  TrackingProperties* trackingProperties() const { return tracking_.get(); }
  ExtensionState* extensionState() const { return state_.get(); }

 protected:
  HRESULT getSourceID(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT minimizedWindow(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT setTrackingProperty(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT getOSVersionAndBuildNumber(WORD flags, DISPPARAMS* params, VARIANT* result);
  HRESULT downloadAndInstallWV2RT(WORD flags, DISPPARAMS* params, VARIANT* result);

 private:
  std::unique_ptr<ExtensionState> state_;
  std::unique_ptr<TrackingProperties> tracking_;
  std::wstring bootstrapperUrl_;
};

}  // namespace myexternalmethods

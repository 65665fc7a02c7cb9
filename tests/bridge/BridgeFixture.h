// A framework with its catalogue bound to the script object and a JScript
// engine over it: what page script sees through window.external.
#pragma once

#include "base/FileSystem.h"
#include "base/Platform.h"
#include "base/Text.h"
#include "framework/InstallerLog.h"
#include "framework/StubConfig.h"
#include "framework/StubFramework.h"
#include "htmlui/HtmlExternal.h"
#include "methods/ExternalMethods.h"
#include "tests/bridge/ScriptHost.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <functional>
#include <memory>
#include <string>

namespace testsupport {

inline constexpr wchar_t kBaseRegSubKey[] = L"SOFTWARE\\Vandor\\stubframework\\TRVK";

class BridgeFixture : public ::testing::Test {
 protected:
  using CatalogueFactory =
      std::function<std::unique_ptr<stubframework::ExternalMethods>(stubframework::StubFramework*)>;

  void SetUp() override { start(nullptr); }
  void TearDown() override { stop(); }

  void start(const CatalogueFactory& factory) {
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    comStarted_ = true;
    framework_ = stubframework::StubFramework::create();
    ASSERT_NE(framework_, nullptr);
    methods_ = factory ? factory(framework_) : std::make_unique<stubframework::ExternalMethods>(framework_);
    framework_->bindCatalogue(methods_.get());
    host_ = std::make_unique<ScriptHost>(external());
    ASSERT_TRUE(host_->ready());
  }

  void stop() {
    host_.reset();
    if (framework_) stubframework::StubFramework::release(framework_);
    framework_ = nullptr;
    methods_.reset();
    if (comStarted_) ::CoUninitialize();
    comStarted_ = false;
  }

  // Restarts with another catalogue (the base catalogue is made by SetUp).
  void restartWith(const CatalogueFactory& factory) {
    stop();
    start(factory);
  }

  stubframework::core::HtmlExternal* external() const { return framework_->external(); }
  stubframework::StubConfig* config() const { return framework_->config(); }
  ScriptHost& script() { return *host_; }

  // The installer log so far, as text.
  std::wstring logText() const { return base::Utf8ToWide(ReadFileBytes(framework_->log()->path())); }

  // JScript string literal of a Windows path.
  static std::wstring Quote(const std::wstring& text) {
    std::wstring out = L"\"";
    for (wchar_t c : text) {
      if (c == L'\\' || c == L'"') out += L'\\';
      out += c;
    }
    return out + L"\"";
  }

  ScopedRegistryCleanup registry_{HKEY_CURRENT_USER, kBaseRegSubKey};
  stubframework::StubFramework* framework_ = nullptr;
  std::unique_ptr<stubframework::ExternalMethods> methods_;
  std::unique_ptr<ScriptHost> host_;
  bool comStarted_ = false;
};

}  // namespace testsupport

// downloadAndInstallWV2RT against a loopback server that serves the test
// bootstrapper under the runtime bootstrapper's name.
#include "BuildConfig.h"
#include "product/WebView2Runtime.h"
#include "tests/product/ProductFixture.h"

#include <wininet.h>

using namespace testsupport;
using namespace myexternalmethods;

namespace {

std::wstring TempBootstrapperPath() {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + kWebView2BootstrapperName;
}

std::wstring ServedBootstrapper() {
  return EnvironmentValue(L"STUB_WV2_SERVED_DIR") + L"\\" + kWebView2BootstrapperName;
}

class WebView2Test : public ProductFixture {
 protected:
  void SetUp() override {
    ProductFixture::SetUp();
    ::DeleteFileW(TempBootstrapperPath().c_str());
    ::DeleteFileW(ServedBootstrapper().c_str());
    ::DeleteUrlCacheEntryW(stubframework::build::kWebView2BootstrapperUrl);
    ::SetEnvironmentVariableW(L"STUB_TEST_BOOTSTRAPPER_FAIL", nullptr);
  }
  void TearDown() override {
    ::SetEnvironmentVariableW(L"STUB_TEST_BOOTSTRAPPER_FAIL", nullptr);
    ::DeleteFileW(ServedBootstrapper().c_str());
    ::DeleteFileW(TempBootstrapperPath().c_str());
    ProductFixture::TearDown();
  }
  void serveBootstrapper() {
    ASSERT_TRUE(
        ::CopyFileW(EnvironmentValue(L"STUB_WV2_TEST_BOOTSTRAPPER").c_str(), ServedBootstrapper().c_str(), FALSE));
  }
  static bool registerVersion(HKEY root, REGSAM view, const wchar_t* version) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(root, kWebView2ClientKey, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
      return false;
    }
    const LSTATUS written = ::RegSetValueExW(key, L"pv", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                                             static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
    return written == ERROR_SUCCESS;
  }

  ScopedRegistryCleanup userClient_{HKEY_CURRENT_USER, kWebView2ClientKey};
  ScopedRegistryCleanup machineClient_{HKEY_LOCAL_MACHINE, kWebView2ClientKey};
};

TEST_F(WebView2Test, NoRuntimeOnThisMachine) {
  std::wstring version;
  EXPECT_FALSE(installedWebView2Version(version));
}

TEST_F(WebView2Test, RegisteredVersionCountsUnlessItIsZero) {
  std::wstring version;
  ASSERT_TRUE(registerVersion(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, L"0.0.0.0"));
  EXPECT_FALSE(installedWebView2Version(version));
  ASSERT_TRUE(registerVersion(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, L"119.0.1.5"));
  EXPECT_TRUE(installedWebView2Version(version));
  EXPECT_EQ(version, L"119.0.1.5");
}

TEST_F(WebView2Test, PresentRuntimeNeedsNoDownload) {
  ASSERT_TRUE(registerVersion(HKEY_CURRENT_USER, 0, L"120.0.1.2"));
  serveBootstrapper();
  EXPECT_EQ(script().evalText(L"external.downloadAndInstallWV2RT()"), L"true");
  EXPECT_FALSE(base::PathExists(TempBootstrapperPath()));
}

TEST_F(WebView2Test, MissingRuntimeIsDownloadedAndInstalled) {
  serveBootstrapper();
  EXPECT_EQ(script().evalText(L"external.downloadAndInstallWV2RT()"), L"true");
  std::wstring version;
  ASSERT_TRUE(installedWebView2Version(version));
  EXPECT_EQ(version, L"121.0.2277.83");
  EXPECT_TRUE(base::FileExists(TempBootstrapperPath()));  // left in the temporary folder
}

TEST_F(WebView2Test, FailingBootstrapperGivesFalse) {
  serveBootstrapper();
  ::SetEnvironmentVariableW(L"STUB_TEST_BOOTSTRAPPER_FAIL", L"1");
  EXPECT_EQ(script().evalText(L"external.downloadAndInstallWV2RT()"), L"false");
  std::wstring version;
  EXPECT_FALSE(installedWebView2Version(version));
}

TEST_F(WebView2Test, MissingBootstrapperGivesFalse) {
  EXPECT_EQ(script().evalText(L"external.downloadAndInstallWV2RT()"), L"false");
  std::wstring version;
  EXPECT_FALSE(installedWebView2Version(version));
}

TEST_F(WebView2Test, WithoutResultSlotNothingIsDownloaded) {
  serveBootstrapper();
  DISPID id = 0;
  base::UniqueBstr name = base::UniqueBstr::FromText(L"downloadAndInstallWV2RT");
  ASSERT_EQ(external()->GetDispID(name.get(), 0, &id), S_OK);
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  EXPECT_EQ(external()->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
  EXPECT_FALSE(base::PathExists(TempBootstrapperPath()));
  std::wstring version;
  EXPECT_FALSE(installedWebView2Version(version));
}

}  // namespace

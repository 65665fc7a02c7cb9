// Runs of the real stub (and of the framework in this process) with a scratch
// temporary folder, checked through what they leave behind: exit code, the
// recorded status, the kept log copy and the folders.
#include "framework/InstallerLog.h"
#include "framework/Registry.h"
#include "framework/StubConfig.h"
#include "framework/StubFramework.h"

#include "base/FileSystem.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

using testsupport::ListFolder;
using testsupport::ReadFileBytes;
using testsupport::RunProcess;

const wchar_t kStubKey[] = L"SOFTWARE\\Vandor\\stubframework\\TRVK\\1";
const std::wstring kStubKeyPath = std::wstring(L"HKEY_CURRENT_USER\\") + kStubKey;

class StubProcessTest : public ::testing::Test {
 protected:
  testsupport::ScopedRegistryCleanup cleanup_{HKEY_CURRENT_USER, kStubKey};
  testsupport::ScopedTempDir temp_;

  // Runs the stub built without pages, so every run goes straight to its epilogue.
  testsupport::ProcessResult runStub(const std::wstring& arguments = L"") {
    const std::wstring stub = testsupport::StubExeWithoutPagesPath();
    EXPECT_FALSE(stub.empty()) << "STUB_EXE_NOPAGES is not set";
    return RunProcess(L"\"" + stub + L"\"" + arguments, testsupport::StubEnvironment(temp_.path()));
  }

  std::wstring recordedStatus() {
    std::wstring status;
    stubframework::readRegValue(kStubKeyPath, L"status", status);
    return status;
  }

  // The only log copy the run kept.
  std::string keptLog() {
    const auto copies = ListFolder(temp_.path() + L"TRVK_log");
    EXPECT_EQ(copies.size(), 1u);
    if (copies.empty()) return {};
    return ReadFileBytes(temp_.path() + L"TRVK_log\\" + copies.begin()->first);
  }
};

TEST_F(StubProcessTest, RunWithoutAPackageRecordsErrorKeepsTheLogAndCleansUp) {
  const auto result = runStub();
  ASSERT_TRUE(result.started);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_EQ(recordedStatus(), L"2");

  // Only the log copy folder stays behind: the log's folder and the package folder are gone.
  const auto left = ListFolder(temp_.path());
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left.begin()->first, L"TRVK_log");

  const std::string log = keptLog();
  // The property dump is the last thing the log holds: one line per entry, in name order, each followed by an empty line.
  const size_t dump = log.find("DEBUG] Property downloadCurrent: 0\r\n\r\n");
  ASSERT_NE(dump, std::string::npos) << log;
  const size_t lang = log.find("DEBUG] Property lang: en\r\n\r\n");
  const size_t option = log.find("DEBUG] Property uninstallOption: \r\n\r\n");
  ASSERT_NE(lang, std::string::npos);
  ASSERT_NE(option, std::string::npos);
  EXPECT_LT(dump, lang);
  EXPECT_LT(lang, option);
  EXPECT_EQ(log.substr(log.size() - 4), "\r\n\r\n");
  EXPECT_EQ(log.find("Property", option + 10), std::string::npos);
}

TEST_F(StubProcessTest, ExitCodeFollowsTheStoredSelfUpdateCode) {
  struct Case {
    const wchar_t* stored;  // null: no value
    DWORD exitCode;
  };
  const Case cases[] = {{L"197800", 197800}, {L"5", 0}, {nullptr, 0}};
  for (const Case& c : cases) {
    testsupport::ScopedRegistryCleanup clean(HKEY_CURRENT_USER, kStubKey);
    if (c.stored) {
      ASSERT_TRUE(stubframework::writeRegValue(kStubKeyPath, L"selfupdate_code", c.stored, false));
    }
    const auto result = runStub();
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, c.exitCode) << (c.stored ? c.stored : L"(none)");
  }
}

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  return ::DefWindowProcW(window, message, w, l);
}

TEST_F(StubProcessTest, SecondInstanceRestoresTheRunningWindowAndEndsWithoutALog) {
  // This process plays the running stub: it owns the mutex and the "HTMLUI" window.
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, L"VandorStubFramework");
  ASSERT_NE(mutex, nullptr);
  ASSERT_NE(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = &PlainWindowProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"HTMLUI";
  ASSERT_NE(::RegisterClassW(&windowClass), 0);
  HWND window = ::CreateWindowExW(0, L"HTMLUI", L"", WS_POPUP | WS_VISIBLE, 10, 10, 200, 100, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
  ASSERT_NE(window, nullptr) << "needs a display (run under xvfb-run)";
  ::ShowWindow(window, SW_MINIMIZE);
  ASSERT_TRUE(::IsIconic(window));

  const auto result = runStub();
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exitCode, 0u);
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
  EXPECT_FALSE(::IsIconic(window)) << "the second instance restores the minimised window";
  EXPECT_TRUE(ListFolder(temp_.path()).empty()) << "the second instance makes no log and no folder";
  EXPECT_EQ(recordedStatus(), L"");

  ::DestroyWindow(window);
  ::UnregisterClassW(L"HTMLUI", windowClass.hInstance);
  ::CloseHandle(mutex);
}

TEST_F(StubProcessTest, EpilogueFixesUpTheStatusAndRemovesExtractionFolders) {
  stubframework::StubFramework::Options options;
  options.tempPath = temp_.path();
  stubframework::StubFramework* framework = stubframework::StubFramework::create(options);
  ASSERT_NE(framework, nullptr);
  ASSERT_NE(framework->config(), nullptr);
  const std::wstring unzipped = temp_.path() + L"unzipped";
  ASSERT_TRUE(base::CreateFolderTree(unzipped + L"\\inner"));
  ASSERT_TRUE(testsupport::WriteFileBytes(unzipped + L"\\inner\\setup.exe", "MZ"));
  const std::wstring kept = temp_.path() + L"kept";
  ASSERT_TRUE(base::CreateFolderTree(kept));
  auto& properties = framework->config()->properties();
  properties.set(L"pkg__ZIP_Unzip_Folder__1", unzipped);
  properties.set(L"pkg__zip_unzip_folder__2", kept);  // the marker is case-sensitive
  properties.set(L"uninstallOption", L"Remove");
  const std::wstring logPath = framework->log()->path();

  stubframework::StubFramework::run(framework, nullptr);

  // No package: the status became 2 (ERROR), then 92 through the "Remove" option.
  EXPECT_EQ(framework->config()->getStatus(), 92);
  EXPECT_EQ(recordedStatus(), L"92");
  EXPECT_FALSE(base::PathExists(unzipped));
  EXPECT_TRUE(base::PathExists(kept));
  EXPECT_FALSE(framework->log()->isOpen()) << "a run that ends with status 2 closes its log";
  const auto files = framework->reportFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0], logPath);
  EXPECT_TRUE(base::FileExists(base::JoinPath(temp_.path() + L"TRVK_log", base::FileNameOf(logPath))));

  EXPECT_EQ(stubframework::StubFramework::release(framework), 0);
  EXPECT_FALSE(base::PathExists(base::ParentFolderOf(logPath)));
}

TEST(AddReportFileTest, ReturnsTheDocumentedCodes) {
  testsupport::ScopedTempDir temp;
  stubframework::StubFramework::Options options;
  options.tempPath = temp.path();
  stubframework::StubFramework* framework = stubframework::StubFramework::create(options);
  ASSERT_NE(framework, nullptr);
  const std::wstring present = temp.path() + L"present.log";
  ASSERT_TRUE(testsupport::WriteFileBytes(present, "log"));
  EXPECT_EQ(stubframework::addReportFile(framework, nullptr), 201);
  EXPECT_EQ(stubframework::addReportFile(nullptr, present.c_str()), 200);
  EXPECT_EQ(stubframework::addReportFile(framework, (temp.path() + L"missing.log").c_str()), 202);
  EXPECT_EQ(stubframework::addReportFile(framework, present.c_str()), 0);
  EXPECT_EQ(framework->reportFiles(), std::vector<std::wstring>{present});
  testsupport::ScopedRegistryCleanup clean(HKEY_CURRENT_USER, kStubKey);
  stubframework::StubFramework::release(framework);
}

}  // namespace

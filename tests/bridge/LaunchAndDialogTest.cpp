// Methods that depend on how the stub was started, and the message boxes,
// answered by a helper thread that finds the box and presses its buttons.
#include "framework/Registry.h"
#include "tests/bridge/BridgeFixture.h"

#include <atomic>
#include <thread>

using namespace testsupport;

namespace {

constexpr wchar_t kChildMarker[] = L"shortcut=C:\\Launched From\\TarvikSetup.exe";

bool IsLaunchChild() { return std::wstring(::GetCommandLineW()).find(kChildMarker) != std::wstring::npos; }

// Runs in a child started with "/qn shortcut=..." (see the test below).
using LaunchChildTest = BridgeFixture;
TEST_F(LaunchChildTest, AnswersFromTheLaunchArguments) {
  if (!IsLaunchChild()) GTEST_SKIP() << "runs only as the child of SilentAndShortcutLaunch";
  EXPECT_EQ(script().evalText(L"external.isSilentLaunchStub()"), L"true");
  EXPECT_EQ(script().evalText(L"external.getCurrentPath()"), L"C:\\Launched From");
  EXPECT_NE(logText().find(L"EMIsSilentLaunchStub Result: launch silently"), std::wstring::npos);
}

TEST(LaunchArguments, SilentAndShortcutLaunch) {
  if (IsLaunchChild()) GTEST_SKIP();
  wchar_t self[MAX_PATH] = {};
  ASSERT_GT(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  const std::wstring command = L"\"" + std::wstring(self) + L"\" /qn \"" + kChildMarker +
                               L"\" --gtest_filter=LaunchChildTest.AnswersFromTheLaunchArguments";
  const ProcessResult child = RunProcess(command, {}, 120000);
  ASSERT_TRUE(child.finished);
  EXPECT_EQ(child.exitCode, 0u);
}

// Presses a button of the first box with `caption` that appears (bounded wait).
class BoxAnswerer {
 public:
  BoxAnswerer(const wchar_t* caption, UINT message, WPARAM wParam)
      : thread_([this, caption, message, wParam] {
          for (int round = 0; round < 600 && !stop_; ++round) {
            if (HWND box = ::FindWindowW(L"#32770", caption)) {
              ::PostMessageW(box, message, wParam, 0);
              answered_ = true;
              return;
            }
            ::Sleep(50);
          }
        }) {}
  ~BoxAnswerer() {
    stop_ = true;
    thread_.join();
  }
  bool answered() const { return answered_; }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<bool> answered_{false};
  std::thread thread_;
};

using DialogTest = BridgeFixture;

TEST_F(DialogTest, ConfirmBoxAnswersTrueForOk) {
  BoxAnswerer answerer(L"Confirm OK", WM_COMMAND, IDOK);
  EXPECT_EQ(script().evalText(L"external.confirmMessageBox('Leave setup?', 'Confirm OK')"), L"true");
  EXPECT_TRUE(answerer.answered());
  EXPECT_NE(logText().find(L"EMConfirmMessageBox Result : Close"), std::wstring::npos);
}

TEST_F(DialogTest, ConfirmBoxClosedByItsCloseBoxAnswersFalse) {
  BoxAnswerer answerer(L"Confirm Close", WM_CLOSE, 0);
  EXPECT_EQ(script().evalText(L"external.confirmMessageBox('Leave setup?', 'Confirm Close')"), L"false");
  EXPECT_TRUE(answerer.answered());
  EXPECT_NE(logText().find(L"EMConfirmMessageBox Result : Cancel Close"), std::wstring::npos);
}

TEST_F(DialogTest, ConfirmBoxIsShownEvenWithoutResultSlot) {
  BoxAnswerer answerer(L"Confirm Statement", WM_COMMAND, IDCANCEL);
  DISPID id = 0;
  base::UniqueBstr name = base::UniqueBstr::FromText(L"confirmMessageBox");
  ASSERT_EQ(external()->GetDispID(name.get(), 0, &id), S_OK);
  VARIANT arguments[2];
  arguments[0].vt = VT_BSTR;
  arguments[0].bstrVal = ::SysAllocString(L"Confirm Statement");  // caption (last script argument)
  arguments[1].vt = VT_BSTR;
  arguments[1].bstrVal = ::SysAllocString(L"text");
  DISPPARAMS params = {arguments, nullptr, 2, 0};
  EXPECT_EQ(
      external()->Invoke(id, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, nullptr, nullptr, nullptr),
      S_OK);
  EXPECT_TRUE(answerer.answered());
  ::VariantClear(&arguments[0]);
  ::VariantClear(&arguments[1]);
}

TEST_F(DialogTest, MessageBoxWaitsForOk) {
  BoxAnswerer answerer(L"Plain Box", WM_COMMAND, IDOK);
  ASSERT_EQ(script().run(L"external.messageBox('Disk is full', 'Plain Box');"), S_OK);
  EXPECT_TRUE(answerer.answered());
  EXPECT_NE(logText().find(L"ZSMessageBox: Disk is full Plain Box"), std::wstring::npos);
}

using StartProgramTest = BridgeFixture;

TEST_F(StartProgramTest, RunsTheProgramWithItsParameters) {
  const std::wstring key = L"HKCU\\SOFTWARE\\Vandor\\stubframework\\TRVK\\start-test";
  ASSERT_EQ(script().run(L"external.startProgram('reg.exe', " + Quote(L"add " + key + L" /v ran /d yes /f") + L");"),
            S_OK);
  std::wstring value;
  for (int round = 0; round < 400 && !stubframework::readRegValue(key, L"ran", value); ++round) ::Sleep(50);
  EXPECT_EQ(value, L"yes");
}

}  // namespace

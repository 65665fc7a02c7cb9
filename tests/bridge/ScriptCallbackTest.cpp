// A long method's worker calling a script function back: the call is carried to
// the user-interface thread and runs only while that thread pumps messages.
#include "htmlui/CallbackMessages.h"
#include "htmlui/DispatchArgs.h"
#include "htmlui/ScriptCallback.h"
#include "tests/bridge/BridgeFixture.h"

using namespace testsupport;
using namespace stubframework;

namespace {

const htmlui::CallbackMessages kMessages = {L"EMCountTo: CoMarshalInterThreadInterfaceInStream failed with %x", true,
                                            L"CountThreadFunc CoGetInterfaceAndReleaseStream  failed with: %x"};

// A catalogue with two test methods built on the callback pattern:
// countTo(n, callback) calls back n times with (Running, n, i) and once with
// (NoError, n, n); holdUntilWorkerCalls() blocks the user-interface thread
// without pumping until the worker is about to call back.
class CallbackCatalogue : public ExternalMethods {
 public:
  explicit CallbackCatalogue(StubFramework* framework) : ExternalMethods(framework) {
    registerMethod(L"countTo", &CallbackCatalogue::countTo, kCallM);
    registerMethod(L"holdUntilWorkerCalls", &CallbackCatalogue::holdUntilWorkerCalls, kCallM);
    calling_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    done_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  }

  HANDLE done() const { return done_.get(); }
  bool finishedWhileHeld = true;
  DWORD workerThread = 0;

  HRESULT countTo(WORD flags, DISPPARAMS* params, VARIANT*) {
    const HRESULT checked = checkCall(flags, kCallM, params, {VT_I4, VT_DISPATCH});
    if (FAILED(checked)) return checked;
    const int count = htmlui::IntArg(params, 0);
    ::ResetEvent(done_.get());
    ::ResetEvent(calling_.get());
    HANDLE calling = calling_.get();
    HANDLE done = done_.get();
    DWORD* thread = &workerThread;
    return htmlui::StartScriptWorker(
        framework(), htmlui::DispatchArg(params, 1), kMessages,
        htmlui::MakeScriptWorkerJob([count, calling, done, thread](htmlui::ScriptCallback& callback) {
          *thread = ::GetCurrentThreadId();
          for (int i = 1; i <= count; ++i) {
            ::SetEvent(calling);
            callback.callWithIntegers({Running, count, i});
          }
          callback.callWithIntegers({NoError, count, count});
          ::SetEvent(done);
        }));
  }

  HRESULT holdUntilWorkerCalls(WORD flags, DISPPARAMS* params, VARIANT*) {
    const HRESULT checked = checkCall(flags, kCallM, params, {});
    if (FAILED(checked)) return checked;
    ::WaitForSingleObject(calling_.get(), INFINITE);
    // The worker is inside its first call now; it cannot finish while this
    // thread does not pump.
    finishedWhileHeld = ::WaitForSingleObject(done_.get(), 500) == WAIT_OBJECT_0;
    return S_OK;
  }

 private:
  base::UniqueHandle calling_;
  base::UniqueHandle done_;
};

class ScriptCallbackTest : public BridgeFixture {
 protected:
  void SetUp() override {
    start([](StubFramework* framework) { return std::make_unique<CallbackCatalogue>(framework); });
  }
  CallbackCatalogue& catalogue() { return static_cast<CallbackCatalogue&>(*methods_); }

  // Pumps this thread's messages until the worker has made its last call (at
  // most a bounded number of waits).
  bool pumpUntilDone() {
    HANDLE done = catalogue().done();
    for (int round = 0; round < 10000; ++round) {
      if (::WaitForSingleObject(done, 0) == WAIT_OBJECT_0) return true;
      ::MsgWaitForMultipleObjects(1, &done, FALSE, 5000, QS_ALLINPUT);
      MSG message;
      while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
      }
    }
    return false;
  }
};

TEST_F(ScriptCallbackTest, WorkerCallsBackManyTimesOnTheUserInterfaceThread) {
  ASSERT_EQ(script().run(L"var calls = []; var threads = 0;"
                         L"external.countTo(200, function (result, total, current) {"
                         L"  calls.push(result + ':' + total + ':' + current); });"),
            S_OK);
  // Nothing arrives before this thread pumps.
  EXPECT_EQ(script().evalNumber(L"calls.length"), 0);
  ASSERT_TRUE(pumpUntilDone());
  EXPECT_EQ(script().evalNumber(L"calls.length"), 201);
  EXPECT_EQ(script().evalText(L"calls[0]"), L"10:200:1");
  EXPECT_EQ(script().evalText(L"calls[199]"), L"10:200:200");
  EXPECT_EQ(script().evalText(L"calls[200]"), L"0:200:200");
  EXPECT_NE(catalogue().workerThread, ::GetCurrentThreadId());
}

TEST_F(ScriptCallbackTest, CallArrivesOnlyOnceTheThreadPumpsAgain) {
  ASSERT_EQ(script().run(L"var seen = 0;"
                         L"external.countTo(1, function (result, total, current) { seen++; });"
                         L"external.holdUntilWorkerCalls();"
                         L"var seenAfterHold = seen;"),
            S_OK);
  EXPECT_FALSE(catalogue().finishedWhileHeld);
  EXPECT_EQ(script().evalNumber(L"seenAfterHold"), 0);
  ASSERT_TRUE(pumpUntilDone());
  EXPECT_EQ(script().evalNumber(L"seen"), 2);
}

TEST_F(ScriptCallbackTest, ScriptErrorInsideTheCallbackDoesNotStopTheWorker) {
  ASSERT_EQ(script().run(L"var n = 0; external.countTo(3, function () { n++; throw new Error('page bug'); });"), S_OK);
  ASSERT_TRUE(pumpUntilDone());
  EXPECT_EQ(script().evalNumber(L"n"), 4);
}

TEST_F(ScriptCallbackTest, ArgumentsOtherThanAFunctionAreRefused) {
  EXPECT_EQ(script().errorOf(L"external.countTo(3, 'not a function')"), 0x80020005ul);
  EXPECT_EQ(script().errorOf(L"external.countTo(3)"), 0x8002000Eul);
}

TEST_F(ScriptCallbackTest, MarshallingFailureIsLoggedAndReturned) {
  bool ran = false;
  const HRESULT hr = htmlui::StartScriptWorker(
      framework_, nullptr, kMessages, htmlui::MakeScriptWorkerJob([&ran](htmlui::ScriptCallback&) { ran = true; }));
  EXPECT_EQ(hr, E_POINTER);
  EXPECT_FALSE(ran);
  EXPECT_NE(logText().find(L"ERROR] EMCountTo: CoMarshalInterThreadInterfaceInStream failed with 80004003"),
            std::wstring::npos);
}

TEST_F(ScriptCallbackTest, EachLongMethodLogsItsOwnMarshallingFailure) {
  struct Case {
    const htmlui::CallbackMessages& messages;
    const wchar_t* line;
  } cases[] = {
      {htmlui::kDownloadCallback, L"ERROR] EMDownload: CoMarshalInterThreadInterfaceInStream failed with 80004003"},
      {htmlui::kInstallCallback, L"ERROR] EMInstall: CoMarshalInterThreadInterfaceInStream failed with 80004003"},
      {htmlui::kSelfUpdateCallback, L"DEBUG] ZSUpdateSelf: CoMarshalInterThreadInterfaceInStream failed with 80004003"},
      {htmlui::kUpdateInstallerListCallback,
       L"ERROR] EMUpdateInstallerList: CoMarshalInterThreadInterfaceInStream failed with 80004003"},
      {htmlui::kRemoveProgramCallback,
       L"DEBUG] EMRemoveProgram: CoMarshalInterThreadInterfaceInStream failed with 80004003"},
      {htmlui::kRepairProgramCallback,
       L"DEBUG] ZSRepairProgram: CoMarshalInterThreadInterfaceInStream failed with 80004003"},
      {htmlui::kVerifyFileCallback,
       L"DEBUG] EMVerifyFileInSpecialDirectory: CoMarshalInterThreadInterfaceInStream failed with 80004003"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(htmlui::StartScriptWorker(framework_, nullptr, c.messages,
                                        htmlui::MakeScriptWorkerJob([](htmlui::ScriptCallback&) {})),
              E_POINTER);
    EXPECT_NE(logText().find(c.line), std::wstring::npos) << c.line;
  }
}

}  // namespace

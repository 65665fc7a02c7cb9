// The dispatch object itself: ids, name lookup, expandos, the property store and
// the progress properties, partly through JScript and partly through direct calls.
#include "htmlui/DispatchArgs.h"
#include "tests/bridge/BridgeFixture.h"

#include <thread>
#include <vector>

using namespace testsupport;
using stubframework::core::HtmlExternal;

namespace {

class HtmlExternalTest : public BridgeFixture {
 protected:
  DISPID dispId(const wchar_t* name, DWORD options, HRESULT* status = nullptr) {
    base::UniqueBstr text = base::UniqueBstr::FromText(name);
    DISPID id = 12345;
    const HRESULT hr = external()->GetDispID(text.get(), options, &id);
    if (status) *status = hr;
    return id;
  }
};

TEST_F(HtmlExternalTest, MethodIdsFollowNameOrderStartingAtOne) {
  const stubframework::htmlui::DispatchEntry* entries = nullptr;
  const int count = external()->getMethods(&entries);
  ASSERT_EQ(count, static_cast<int>(methods_->methodTable().size()));
  ASSERT_GT(count, 30);
  for (int k = 1; k < count; ++k) EXPECT_LT(entries[k - 1].name, entries[k].name);
  for (int k = 0; k < count; ++k) {
    EXPECT_EQ(dispId(entries[k].name.c_str(), fdexNameCaseSensitive), k + 1) << entries[k].name;
  }
}

TEST_F(HtmlExternalTest, GetIDsOfNamesIsCaseSensitiveAndResolvesEveryName) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"getproperty"), const_cast<LPOLESTR>(L"getProperty")};
  DISPID ids[2] = {0, 0};
  EXPECT_EQ(external()->GetIDsOfNames(IID_NULL, names, 2, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], DISPID_UNKNOWN);
  EXPECT_EQ(ids[1], dispId(L"getProperty", 0));
  EXPECT_GT(ids[1], 0);
}

TEST_F(HtmlExternalTest, GetDispIDIgnoresCaseOnlyWhenAsked) {
  HRESULT status = S_OK;
  EXPECT_EQ(dispId(L"GETPROPERTY", fdexNameCaseInsensitive, &status), dispId(L"getProperty", 0));
  EXPECT_EQ(status, S_OK);
  EXPECT_EQ(dispId(L"GETPROPERTY", 0, &status), DISPID_UNKNOWN);
  EXPECT_EQ(status, DISP_E_UNKNOWNNAME);
}

TEST_F(HtmlExternalTest, InvokeRefusesForeignInterfaceAndUnknownIds) {
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  const IID other = IID_IDispatch;
  EXPECT_EQ(external()->Invoke(1, other, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);
  EXPECT_EQ(external()->Invoke(0, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  const DISPID beyond = external()->getMethods(nullptr) + 1;
  EXPECT_EQ(external()->Invoke(beyond, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
}

TEST_F(HtmlExternalTest, ScriptPropertiesLiveOnTheObject) {
  ASSERT_EQ(script().run(L"external.foo = 5; external.bar = 'text';"), S_OK);
  EXPECT_EQ(script().evalNumber(L"external.foo"), 5);
  EXPECT_EQ(script().evalText(L"external.bar"), L"text");
  // Expandos carry the top bit; the no-dynamic-properties option hides them.
  HRESULT status = S_OK;
  const DISPID foo = dispId(L"foo", fdexNameCaseSensitive, &status);
  EXPECT_EQ(status, S_OK);
  EXPECT_EQ(static_cast<unsigned>(foo), 0x80000000u);
  EXPECT_EQ(dispId(L"FOO", fdexNameCaseInsensitive), foo);
  EXPECT_EQ(dispId(L"foo", fdexNameNoDynamicProperties, &status), DISPID_UNKNOWN);
  EXPECT_EQ(status, DISP_E_UNKNOWNNAME);
}

TEST_F(HtmlExternalTest, DeletedPropertyIsGoneUntilEnsuredAgain) {
  ASSERT_EQ(script().run(L"external.foo = 5;"), S_OK);
  base::UniqueBstr name = base::UniqueBstr::FromText(L"foo");
  EXPECT_EQ(external()->DeleteMemberByName(name.get(), fdexNameCaseSensitive), S_OK);
  HRESULT status = S_OK;
  EXPECT_EQ(dispId(L"foo", 0, &status), DISPID_UNKNOWN);
  EXPECT_EQ(status, DISP_E_UNKNOWNNAME);
  EXPECT_EQ(script().evalText(L"typeof external.foo"), L"undefined");
  // Ensure revives the same slot, empty.
  const DISPID revived = dispId(L"foo", fdexNameEnsure, &status);
  EXPECT_EQ(status, S_OK);
  EXPECT_EQ(static_cast<unsigned>(revived), 0x80000000u);
  EXPECT_EQ(script().evalText(L"typeof external.foo"), L"undefined");
  ASSERT_EQ(script().run(L"external.foo = 7;"), S_OK);
  EXPECT_EQ(script().evalNumber(L"external.foo"), 7);
}

TEST_F(HtmlExternalTest, ScriptDeleteRemovesAPropertyButNeverAMethod) {
  ASSERT_EQ(script().run(L"external.gone = 1; delete external.gone;"), S_OK);
  EXPECT_EQ(script().evalText(L"typeof external.gone"), L"undefined");
  EXPECT_EQ(external()->DeleteMemberByDispID(dispId(L"getProperty", 0)), S_FALSE);
  EXPECT_EQ(external()->DeleteMemberByDispID(static_cast<DISPID>(0x80000000u + 999)), S_OK);
}

TEST_F(HtmlExternalTest, StoredFunctionIsCalledWithItsArguments) {
  ASSERT_EQ(script().run(L"var seen = ''; external.onEvent = function (a, b) { seen = a + '/' + b; return a * b; };"
                         L"external.onEvent(6, 7);"),
            S_OK);
  EXPECT_EQ(script().evalText(L"seen"), L"6/7");
  // Called for a value too (flags 1|2 with arguments).
  EXPECT_EQ(script().evalNumber(L"external.onEvent(3, 4)"), 12);
  EXPECT_EQ(script().evalText(L"seen"), L"3/4");
}

TEST_F(HtmlExternalTest, ExpandoAccessRules) {
  HRESULT status = S_OK;
  const DISPID id = dispId(L"value", fdexNameEnsure, &status);
  ASSERT_EQ(status, S_OK);
  VARIANT argument;
  ::VariantInit(&argument);
  argument.vt = VT_I4;
  argument.lVal = 9;
  DISPID putName = DISPID_PROPERTYPUT;
  DISPPARAMS unnamed = {&argument, nullptr, 1, 0};
  DISPPARAMS named = {&argument, &putName, 1, 1};
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  base::UniqueVariant result;
  EXPECT_EQ(external()->InvokeEx(id, 0, DISPATCH_PROPERTYPUT, &unnamed, nullptr, nullptr, nullptr),
            DISP_E_BADPARAMCOUNT);
  DISPID wrongName = 5;
  DISPPARAMS wronglyNamed = {&argument, &wrongName, 1, 1};
  EXPECT_EQ(external()->InvokeEx(id, 0, DISPATCH_PROPERTYPUT, &wronglyNamed, nullptr, nullptr, nullptr),
            DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(external()->InvokeEx(id, 0, DISPATCH_PROPERTYPUT, &named, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(external()->InvokeEx(id, 0, DISPATCH_PROPERTYGET, &named, result.get(), nullptr, nullptr),
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(external()->InvokeEx(id, 0, DISPATCH_PROPERTYGET, &none, result.get(), nullptr, nullptr), S_OK);
  EXPECT_EQ(result.get()->vt, VT_I4);
  EXPECT_EQ(result.get()->lVal, 9);
  // Calling a value that is not a function does nothing.
  EXPECT_EQ(external()->InvokeEx(id, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(external()->InvokeEx(id, 0, DISPATCH_CONSTRUCT, &none, nullptr, nullptr, nullptr), E_NOTIMPL);
  EXPECT_EQ(external()->InvokeEx(static_cast<DISPID>(0x80000000u + 50), 0, DISPATCH_PROPERTYGET, &none, result.get(),
                                 nullptr, nullptr),
            DISP_E_UNKNOWNNAME);
}

TEST_F(HtmlExternalTest, ManyPropertiesGrowTheTable) {
  ASSERT_EQ(script().run(L"for (var i = 0; i < 100; i++) external['p' + i] = i * 2;"), S_OK);
  EXPECT_EQ(script().evalNumber(L"external.p0 + external.p31 + external.p32 + external.p99"), 0 + 62 + 64 + 198);
  EXPECT_EQ(static_cast<unsigned>(dispId(L"p99", 0)), 0x80000000u + 99);
}

TEST_F(HtmlExternalTest, QueryInterfaceAnswersTheDispatchFamilyOnly) {
  Microsoft::WRL::ComPtr<IDispatchEx> dispatchEx;
  EXPECT_EQ(external()->QueryInterface(IID_IDispatchEx, reinterpret_cast<void**>(dispatchEx.GetAddressOf())), S_OK);
  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(external()->QueryInterface(IID_IStream, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  UINT count = 0;
  EXPECT_EQ(external()->GetTypeInfoCount(&count), E_NOTIMPL);
}

TEST_F(HtmlExternalTest, ProgressPropertiesAreDecimalText) {
  external()->setDownloadTotal(4294967295ul);
  external()->setInstallCurrent(17);
  EXPECT_EQ(external()->getProperty(L"downloadTotal"), L"4294967295");
  EXPECT_EQ(external()->getDownloadTotal(), 4294967295ul);
  EXPECT_EQ(script().evalText(L"external.getProperty('installCurrent')"), L"17");
  external()->setProperty(L"installTotal", L"many");
  EXPECT_EQ(external()->getInstallTotal(), 0ul);
  external()->resetProgress();
  EXPECT_EQ(external()->getProperty(L"downloadTotal"), L"1");
  EXPECT_EQ(external()->getProperty(L"downloadCurrent"), L"0");
  EXPECT_EQ(external()->getProperty(L"installTotal"), L"1");
  EXPECT_EQ(external()->getProperty(L"installCurrent"), L"0");
}

TEST_F(HtmlExternalTest, WorkersWriteProgressWhileScriptReads) {
  constexpr unsigned long kSteps = 20000;
  std::vector<std::thread> workers;
  for (int w = 0; w < 3; ++w) {
    workers.emplace_back([this, w] {
      for (unsigned long i = 1; i <= kSteps; ++i) {
        if (w == 0) external()->setDownloadCurrent(i);
        if (w == 1) external()->setInstallCurrent(i);
        if (w == 2) external()->setProperty(L"worker" + std::to_wstring(i % 50), std::to_wstring(i));
      }
    });
  }
  unsigned long last = 0;
  for (int read = 0; read < 200; ++read) {
    const unsigned long now =
        std::wcstoul(script().evalText(L"external.getProperty('downloadCurrent')").c_str(), nullptr, 10);
    EXPECT_GE(now, last);  // one writer: values only grow
    last = now;
  }
  for (std::thread& worker : workers) worker.join();
  EXPECT_EQ(external()->getDownloadCurrent(), kSteps);
  EXPECT_EQ(external()->getInstallCurrent(), kSteps);
  EXPECT_EQ(external()->getProperty(L"worker0"), std::to_wstring(kSteps));
}

TEST_F(HtmlExternalTest, ZipProgressBecomesInstallProperties) {
  stubframework::zip::ZipReporter* reporter = external();
  reporter->ReportProgress(129, 300);
  EXPECT_EQ(external()->getProperty(L"installCurrent"), L"12");
  EXPECT_EQ(external()->getProperty(L"installTotal"), L"300");
  reporter->ReportError(112);
  EXPECT_EQ(external()->lastExtractionError(), 112u);
}

TEST_F(HtmlExternalTest, FlagsAndExitCodeStartCleared) {
  EXPECT_FALSE(external()->sizeProbe());
  EXPECT_FALSE(external()->stopRequested());
  EXPECT_EQ(external()->lastInstallerExitCode(), 0);
  external()->setStopRequested(true);
  external()->setSizeProbe(true);
  EXPECT_TRUE(external()->stopRequested());
  EXPECT_TRUE(external()->sizeProbe());
}

TEST_F(HtmlExternalTest, SetWindowHandsANewHandleToTheCatalogue) {
  HWND window = ::CreateWindowExW(0, L"STATIC", L"host", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  external()->setWindow(window);
  EXPECT_EQ(methods_->window(), window);
  external()->setWindow(nullptr);
  EXPECT_EQ(methods_->window(), nullptr);
  ::DestroyWindow(window);
}

TEST_F(HtmlExternalTest, CheckParamTypesComparesCountThenEachTypeInCallOrder) {
  VARIANT arguments[2];
  ::VariantInit(&arguments[0]);
  ::VariantInit(&arguments[1]);
  arguments[0].vt = VT_I4;  // last script argument
  arguments[1].vt = VT_BSTR;
  DISPPARAMS params = {arguments, nullptr, 2, 0};
  const VARTYPE good[] = {VT_I4, VT_BSTR};
  const VARTYPE bad[] = {VT_I4, VT_BOOL};
  const VARTYPE one[] = {VT_I4};
  EXPECT_EQ(stubframework::htmlui::CheckParamTypes(framework_, good, 2, &params), S_OK);
  EXPECT_EQ(stubframework::htmlui::CheckParamTypes(framework_, bad, 2, &params), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(stubframework::htmlui::CheckParamTypes(framework_, one, 1, &params), DISP_E_BADPARAMCOUNT);
  const std::wstring log = logText();
  EXPECT_NE(log.find(L"DEBUG] CheckParamTypes -- DISP_E_TYPEMISMATCH: argument 1 has type 8, expected 11"),
            std::wstring::npos);
  EXPECT_NE(log.find(L"DEBUG] CheckParamTypes -- DISP_E_BADPARAMCOUNT"), std::wstring::npos);
}

}  // namespace

// The calling rules every handler shares, exercised from JScript: the one
// accepted flags value, the argument count, the argument types with their log
// line, and value-returning methods called without a result slot.
#include "tests/bridge/BridgeFixture.h"

using namespace testsupport;

namespace {

constexpr unsigned long kMemberNotFound = 0x80020003ul;
constexpr unsigned long kBadParamCount = 0x8002000Eul;
constexpr unsigned long kTypeMismatch = 0x80020005ul;

using CallingRulesTest = BridgeFixture;

TEST_F(CallingRulesTest, ValueMethodWithArgumentsCalledAsStatementIsRefused) {
  // Kind 3 (method or property get) called with flags 1.
  EXPECT_EQ(script().errorOf(L"external.getProperty('x')"), kMemberNotFound);
  EXPECT_EQ(script().errorOf(L"external.isFileExists('C:\\\\')"), kMemberNotFound);
  EXPECT_EQ(script().errorOf(L"var r = external.getProperty('x')"), 0ul);
}

TEST_F(CallingRulesTest, StatementMethodCalledForAValueIsRefused) {
  // Kind 1 with arguments, its result used: flags 3.
  EXPECT_EQ(script().errorOf(L"var r = external.setProperty('a', 'b')"), kMemberNotFound);
  EXPECT_EQ(external()->getProperty(L"a"), L"");
  EXPECT_EQ(script().errorOf(L"external.setProperty('a', 'b')"), 0ul);
  EXPECT_EQ(external()->getProperty(L"a"), L"b");
}

TEST_F(CallingRulesTest, ValueMethodWithoutArgumentsAnswersFlagsOne) {
  // JScript calls a method without arguments with flags 1 even for its value.
  EXPECT_EQ(script().evalText(L"external.getBaseRegKey()"),
            L"HKEY_CURRENT_USER\\SOFTWARE\\Vandor\\stubframework\\TRVK\\1");
  // The same method asked with flags 3 is refused.
  DISPID id = 0;
  base::UniqueBstr name = base::UniqueBstr::FromText(L"getBaseRegKey");
  ASSERT_EQ(external()->GetDispID(name.get(), 0, &id), S_OK);
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  base::UniqueVariant result;
  EXPECT_EQ(external()->Invoke(id, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, result.get(), nullptr,
                               nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(result.get()->vt, VT_EMPTY);
}

TEST_F(CallingRulesTest, WrongArgumentCountIsRefusedWithoutEffect) {
  struct Case {
    const wchar_t* statement;
  } cases[] = {
      {L"external.setProperty('only')"},
      {L"external.setProperty('a', 'b', 'c')"},
      {L"var r = external.getDataFromReg('HKCU')"},
      {L"var r = external.getProperty('a', 'b')"},
      {L"external.setInstallStatus()"},
      {L"external.closeWindow(1)"},
  };
  for (const Case& c : cases) EXPECT_EQ(script().errorOf(c.statement), kBadParamCount) << c.statement;
  EXPECT_EQ(external()->getProperty(L"only"), L"");
  EXPECT_EQ(external()->getProperty(L"a"), L"");
}

TEST_F(CallingRulesTest, NamedArgumentsAreRefused) {
  DISPID id = 0;
  base::UniqueBstr name = base::UniqueBstr::FromText(L"setProperty");
  ASSERT_EQ(external()->GetDispID(name.get(), 0, &id), S_OK);
  VARIANT arguments[2];
  arguments[0].vt = VT_BSTR;
  arguments[0].bstrVal = ::SysAllocString(L"v");
  arguments[1].vt = VT_BSTR;
  arguments[1].bstrVal = ::SysAllocString(L"n");
  DISPID names[1] = {0};
  DISPPARAMS params = {arguments, names, 2, 1};
  EXPECT_EQ(external()->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(external()->getProperty(L"n"), L"");
  ::VariantClear(&arguments[0]);
  ::VariantClear(&arguments[1]);
}

TEST_F(CallingRulesTest, WrongTypeIsRefusedWithOneDebugLine) {
  EXPECT_EQ(script().errorOf(L"external.setProperty('a', 1)"), kTypeMismatch);
  EXPECT_EQ(external()->getProperty(L"a"), L"");
  const std::wstring log = logText();
  const size_t entry = log.rfind(L"DEBUG] EMSetProperty\r\n");
  ASSERT_NE(entry, std::wstring::npos);
  const std::wstring after = log.substr(entry + 22);
  EXPECT_EQ(after.find(L"DEBUG] CheckParamTypes -- DISP_E_TYPEMISMATCH: argument 0 has type 3, expected 8\r\n"),
            after.find(L"DEBUG] "));
  EXPECT_EQ(after.find(L"EMSetProperty"), std::wstring::npos);
}

TEST_F(CallingRulesTest, ScriptTypesAreTakenExactly) {
  struct Case {
    const wchar_t* statement;
  } cases[] = {
      {L"external.setInstallStatus(1.5)"},  // a fraction arrives as VT_R8
      {L"external.setInstallStatus('1')"},  // text is not converted
      {L"var r = external.getLanguageByID(true)"},
      {L"var r = external.searchRegKey(1, 'HKCU\\\\x', 'a', 'b')"},  // a number is not a boolean
      {L"external.setDataToReg('HKCU\\\\x', 'n', 'v', 'true')"},
  };
  for (const Case& c : cases) EXPECT_EQ(script().errorOf(c.statement), kTypeMismatch) << c.statement;
}

TEST_F(CallingRulesTest, ValueMethodWithoutResultSlotDoesNothing) {
  ScopedTempDir temp;
  const std::wstring folder = temp.file(L"made-by-script");
  DISPID id = 0;
  base::UniqueBstr name = base::UniqueBstr::FromText(L"createDirectory");
  ASSERT_EQ(external()->GetDispID(name.get(), 0, &id), S_OK);
  base::UniqueVariant argument;
  argument.get()->vt = VT_BSTR;
  argument.get()->bstrVal = ::SysAllocString(folder.c_str());
  DISPPARAMS params = {argument.get(), nullptr, 1, 0};
  EXPECT_EQ(
      external()->Invoke(id, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, nullptr, nullptr, nullptr),
      S_OK);
  EXPECT_FALSE(base::PathExists(folder));
  base::UniqueVariant result;
  EXPECT_EQ(external()->Invoke(id, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, result.get(), nullptr,
                               nullptr),
            S_OK);
  EXPECT_EQ(result.get()->vt, VT_BOOL);
  EXPECT_EQ(result.get()->boolVal, VARIANT_TRUE);
  EXPECT_TRUE(base::DirectoryExists(folder));
}

TEST_F(CallingRulesTest, ResultsHaveTheDocumentedTypes) {
  EXPECT_EQ(script().evalText(L"typeof external.getProperty('x')"), L"string");
  EXPECT_EQ(script().evalText(L"typeof external.isFileExists('C:\\\\')"), L"boolean");
  EXPECT_EQ(script().evalText(L"external.isFileExists('C:\\\\')"), L"true");
  EXPECT_EQ(script().evalText(L"typeof external.getLanguageByID(1033)"), L"number");
  EXPECT_EQ(script().evalText(L"typeof external.getLastInstallError()"), L"number");
}

TEST_F(CallingRulesTest, UnknownNameIsNoMethod) {
  EXPECT_EQ(script().evalText(L"typeof external.noSuchMethod"), L"undefined");
  EXPECT_NE(script().errorOf(L"external.noSuchMethod()"), 0ul);
}

}  // namespace

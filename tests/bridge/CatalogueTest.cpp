// The catalogue's own handlers, called from JScript as the pages call them.
#include "framework/Registry.h"
#include "framework/TempFolder.h"
#include "methods/LanguageTable.h"
#include "methods/RegistrySearch.h"
#include "methods/SystemVersion.h"
#include "services/Analytics.h"
#include "tests/bridge/BridgeFixture.h"

#include <winioctl.h>

#include <algorithm>
#include <cwctype>

using namespace testsupport;
using namespace stubframework;

namespace {

constexpr unsigned long kInvalidParameter = 0x80030057ul;

using CatalogueTest = BridgeFixture;

TEST_F(CatalogueTest, SetInstallStatusAcceptsZeroToSixOnly) {
  config()->setStatus(4);
  EXPECT_EQ(script().errorOf(L"external.setInstallStatus(7)"), kInvalidParameter);
  EXPECT_EQ(script().errorOf(L"external.setInstallStatus(-1)"), kInvalidParameter);
  EXPECT_EQ(config()->getStatus(), 4);
  EXPECT_EQ(script().errorOf(L"external.setInstallStatus(6)"), 0ul);
  EXPECT_EQ(config()->getStatus(), 6);
  std::wstring stored;
  ASSERT_TRUE(readRegValue(config()->baseRegKey(), L"status", stored));
  EXPECT_EQ(stored, L"6");
  EXPECT_NE(logText().find(L"EMSetInstallStatus: 6"), std::wstring::npos);
  EXPECT_EQ(logText().find(L"EMSetInstallStatus: 7"), std::wstring::npos);
}

TEST_F(CatalogueTest, PropertiesRoundTripAndLogValueBeforeName) {
  EXPECT_EQ(script().evalText(L"external.getProperty('never-set')"), L"");
  ASSERT_EQ(script().run(L"external.setProperty('colour', 'blue');"), S_OK);
  EXPECT_EQ(script().evalText(L"external.getProperty('colour')"), L"blue");
  EXPECT_NE(logText().find(L"EMSetProperty blue, colour"), std::wstring::npos);
  external()->setProperty(L"resourceLocation", L"C:\\pkg\\");
  EXPECT_EQ(script().evalText(L"external.getResourceLocation()"), L"C:\\pkg\\");
}

TEST_F(CatalogueTest, SetChannelStoresItInTheRegistry) {
  ASSERT_EQ(script().run(L"external.setChannel('beta');"), S_OK);
  EXPECT_EQ(config()->channelId(), L"beta");
  std::wstring stored;
  ASSERT_TRUE(readRegValue(config()->baseRegKey(), L"channel", stored));
  EXPECT_EQ(stored, L"beta");
}

TEST_F(CatalogueTest, GetCrcOfKnownData) {
  ScopedTempDir temp;
  ASSERT_TRUE(WriteFileBytes(temp.file(L"check.txt"), "123456789"));
  ASSERT_TRUE(WriteFileBytes(temp.file(L"empty.bin"), ""));
  // Larger than one read block, so blocks are chained.
  std::string big(3 * 1024 * 1024 + 17, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) & 0xFF);
  ASSERT_TRUE(WriteFileBytes(temp.file(L"big.bin"), big));
  EXPECT_EQ(script().evalText(L"external.getCrc(" + Quote(temp.file(L"check.txt")) + L")"), L"3421780262");
  EXPECT_EQ(script().evalText(L"external.getCrc(" + Quote(temp.file(L"empty.bin")) + L")"), L"0");
  EXPECT_EQ(script().evalText(L"external.getCrc(" + Quote(temp.file(L"missing.bin")) + L")"), L"0");
  EXPECT_EQ(script().evalText(L"external.getCrc(" + Quote(temp.file(L"big.bin")) + L")"), L"414768466");
  EXPECT_NE(logText().find(L"EMGetCRC args " + temp.file(L"check.txt") + L", Result 3421780262"), std::wstring::npos);
}

TEST_F(CatalogueTest, GetFileSizeGivesTheWholeSixtyFourBitSize) {
  ScopedTempDir temp;
  const std::wstring path = temp.file(L"sparse.bin");
  {
    base::UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(file.valid());
    DWORD ignored = 0;
    ::DeviceIoControl(file.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = 5368709120LL;  // 5 GiB
    ASSERT_TRUE(::SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(::SetEndOfFile(file.get()));
  }
  EXPECT_EQ(script().evalText(L"external.getFileSize(" + Quote(path) + L")"), L"5368709120");
  EXPECT_EQ(script().evalText(L"external.getFileSize(" + Quote(temp.file(L"missing")) + L")"), L"0");
  // Held open without sharing by someone else: "0".
  base::UniqueFileHandle holder(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder.valid());
  EXPECT_EQ(script().evalText(L"external.getFileSize(" + Quote(path) + L")"), L"0");
}

TEST_F(CatalogueTest, RenameFileRefusesAnExistingTarget) {
  ScopedTempDir temp;
  ASSERT_TRUE(WriteFileBytes(temp.file(L"a.txt"), "A"));
  ASSERT_TRUE(WriteFileBytes(temp.file(L"b.txt"), "B"));
  const std::wstring a = Quote(temp.file(L"a.txt"));
  EXPECT_EQ(script().evalText(L"external.renameFile(" + a + L", " + Quote(temp.file(L"b.txt")) + L")"), L"false");
  EXPECT_EQ(ReadFileBytes(temp.file(L"a.txt")), "A");
  EXPECT_EQ(ReadFileBytes(temp.file(L"b.txt")), "B");
  EXPECT_NE(logText().find(L"EMRenameFile args oldFileName:" + temp.file(L"a.txt") + L", newFileName:" +
                           temp.file(L"b.txt") + L", Result: -1"),
            std::wstring::npos);
  EXPECT_EQ(script().evalText(L"external.renameFile(" + a + L", " + Quote(temp.file(L"c.txt")) + L")"), L"true");
  EXPECT_FALSE(base::PathExists(temp.file(L"a.txt")));
  EXPECT_EQ(ReadFileBytes(temp.file(L"c.txt")), "A");
}

TEST_F(CatalogueTest, CreateDirectoryIsTrueOnlyWhenItMadeTheFolder) {
  ScopedTempDir temp;
  const std::wstring deep = temp.file(L"one\\two\\three");
  EXPECT_EQ(script().evalText(L"external.createDirectory(" + Quote(deep) + L")"), L"true");
  EXPECT_TRUE(base::DirectoryExists(deep));
  EXPECT_EQ(script().evalText(L"external.createDirectory(" + Quote(deep) + L")"), L"false");
  EXPECT_EQ(script().evalText(L"external.isFileExists(" + Quote(deep) + L") || external.createDirectory(" +
                              Quote(deep) + L")"),
            L"true");
  EXPECT_EQ(script().evalText(L"external.isFileExists(" + Quote(temp.file(L"nothing")) + L")"), L"false");
}

TEST_F(CatalogueTest, GetTempPathMakesTheSubfolder) {
  const std::wstring systemTemp = userTemporaryPath();
  ASSERT_FALSE(systemTemp.empty());
  const std::wstring product = script().evalText(L"external.getTempPath('')");
  EXPECT_EQ(product, systemTemp + L"TRVK\\");
  EXPECT_TRUE(base::DirectoryExists(product));
  const std::wstring named = script().evalText(L"external.getTempPath('bridge-test-folder')");
  EXPECT_EQ(named, systemTemp + L"bridge-test-folder\\");
  EXPECT_TRUE(base::DirectoryExists(named));
  EXPECT_EQ(script().evalText(L"external.getTempPath('bridge-test-folder')"), named);  // existing is fine
  ::RemoveDirectoryW(named.c_str());
}

TEST_F(CatalogueTest, PathQueriesHaveNoTrailingBackslash) {
  const std::wstring current = script().evalText(L"external.getCurrentPath()");
  EXPECT_EQ(current, base::ParentFolderOf(base::CurrentModulePath()));
  const std::wstring desktop = script().evalText(L"external.getDesktopPath()");
  EXPECT_FALSE(desktop.empty());
  EXPECT_NE(desktop.back(), L'\\');
  const std::wstring free = script().evalText(L"external.getDiskAvailableSpace('C:\\\\')");
  EXPECT_GT(std::wcstoull(free.c_str(), nullptr, 10), 0ull);
  EXPECT_EQ(script().evalText(L"external.getDiskAvailableSpace('Q:\\\\no\\\\such')"), L"0");
}

TEST_F(CatalogueTest, GetFileVersionReadsExecutablesByKindIgnoringCase) {
  wchar_t system[MAX_PATH] = {};
  ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
  const std::wstring dll = Quote(std::wstring(system) + L"\\kernel32.dll");
  const std::wstring upper = script().evalText(L"external.getFileVersion('.EXE', " + dll + L")");
  EXPECT_EQ(script().evalText(L"external.getFileVersion('.exe', " + dll + L")"), upper);
  EXPECT_EQ(std::count(upper.begin(), upper.end(), L'.'), 3);
  EXPECT_TRUE(std::iswdigit(upper.front()));
  EXPECT_EQ(script().evalText(L"external.getFileVersion('.dll', " + dll + L")"), L"");
  EXPECT_EQ(script().evalText(L"external.getFileVersion('.MSI', " + dll + L")"), L"");
}

TEST_F(CatalogueTest, GetFileVersionReadsAnInstallerPackagesProductVersion) {
  const std::wstring package = EnvironmentValue(L"STUB_VERSION_PROBE_MSI");
  ASSERT_TRUE(base::FileExists(package)) << "run through ctest";
  EXPECT_EQ(script().evalText(L"external.getFileVersion('.msi', " + Quote(package) + L")"), L"3.14.15.9");
  EXPECT_EQ(script().evalText(L"external.getFileVersion('.MSI', " + Quote(package) + L")"), L"3.14.15.9");
  EXPECT_EQ(script().evalText(L"external.getFileVersion('.EXE', " + Quote(package) + L")"), L"");
  ScopedTempDir temp;
  ASSERT_TRUE(WriteFileBytes(temp.file(L"fake.msi"), "not a package"));
  EXPECT_EQ(script().evalText(L"external.getFileVersion('.MSI', " + Quote(temp.file(L"fake.msi")) + L")"), L"");
  EXPECT_NE(logText().find(L"EMGetMSIFileVersion args " + package + L", Result 3.14.15.9"), std::wstring::npos);
}

TEST_F(CatalogueTest, RegistryMethodsReadWriteAndDelete) {
  const std::wstring key = L"HKCU\\SOFTWARE\\Vandor\\stubframework\\TRVK\\bridge-test\\deep";
  ASSERT_EQ(script().run(L"external.setDataToReg(" + Quote(key) + L", 'answer', '42', false);"), S_OK);
  EXPECT_EQ(script().evalText(L"external.getDataFromReg(" + Quote(key) + L", 'answer')"), L"42");
  EXPECT_EQ(script().evalText(L"external.getDataFromReg('HKEY_CURRENT_USER\\\\SOFTWARE\\\\Vandor\\\\stubframework\\\\"
                              L"TRVK\\\\bridge-test\\\\deep', 'answer')"),
            L"42");
  EXPECT_EQ(script().evalText(L"external.getDataFromReg('HKXX\\\\SOFTWARE', 'answer')"), L"");
  EXPECT_NE(logText().find(L"EMSetDataToReg 0, 42, answer, " + key), std::wstring::npos);
  // A key with subkeys stays.
  const std::wstring parent = L"HKCU\\SOFTWARE\\Vandor\\stubframework\\TRVK\\bridge-test";
  ASSERT_EQ(script().run(L"external.deleteRegKey(" + Quote(parent) + L", false);"), S_OK);
  EXPECT_EQ(script().evalText(L"external.getDataFromReg(" + Quote(key) + L", 'answer')"), L"42");
  ASSERT_EQ(script().run(L"external.deleteRegKey(" + Quote(key) + L", false);"), S_OK);
  EXPECT_EQ(script().evalText(L"external.getDataFromReg(" + Quote(key) + L", 'answer')"), L"");
  EXPECT_NE(logText().find(L"EMDeleteRegKey 0, " + key), std::wstring::npos);
}

TEST_F(CatalogueTest, SearchRegKeyFindsANamedSubkeyHoldingTheValue) {
  const std::wstring root = L"HKCU\\SOFTWARE\\Vandor\\stubframework\\TRVK\\search";
  // A\X\C holds V: found for names "B;C".
  ASSERT_TRUE(writeRegValue(root + L"\\A\\X\\C", L"V", L"1", false));
  ASSERT_TRUE(writeRegValue(root + L"\\A\\Y\\other", L"W", L"1", false));
  const std::wstring a = Quote(root + L"\\A");
  EXPECT_EQ(script().evalText(L"external.searchRegKey(false, " + a + L", 'B;C', 'V')"), L"true");
  EXPECT_EQ(script().evalText(L"external.searchRegKey(false, " + a + L", ';;c;', 'V')"), L"true");  // case, empties
  EXPECT_EQ(script().evalText(L"external.searchRegKey(false, " + a + L", 'B;D', 'V')"), L"false");
  EXPECT_EQ(script().evalText(L"external.searchRegKey(false, " + a + L", '', 'V')"), L"false");
  EXPECT_EQ(script().evalText(L"external.searchRegKey(false, " + a + L", 'other', 'V')"), L"false");
  EXPECT_EQ(script().evalText(L"external.searchRegKey(false, " + a + L", 'other', 'W')"), L"true");
  // A name must match a whole trailing component's tail, not a middle part.
  EXPECT_EQ(script().evalText(L"external.searchRegKey(false, " + a + L", 'X', 'V')"), L"false");
  // V directly in A\X stops the search at X.
  ASSERT_TRUE(writeRegValue(root + L"\\A\\X", L"V", L"1", false));
  EXPECT_EQ(script().evalText(L"external.searchRegKey(false, " + a + L", 'B;C', 'V')"), L"false");
  EXPECT_NE(logText().find(L"EMSearchRegKey 0 " + root + L"\\A B;C V"), std::wstring::npos);
}

TEST_F(CatalogueTest, SearchNamesAndTailRule) {
  EXPECT_EQ(splitSearchNames(L";a;;bc;"), (std::vector<std::wstring>{L"a", L"bc"}));
  EXPECT_TRUE(splitSearchNames(L"").empty());
  EXPECT_TRUE(relativePathEndsWith(L"X\\C\\", L"c"));
  EXPECT_TRUE(relativePathEndsWith(L"X\\ABC\\", L"bc"));  // tail of the last component
  EXPECT_FALSE(relativePathEndsWith(L"C", L"C"));         // rel must be longer than the name
  EXPECT_FALSE(relativePathEndsWith(L"X\\C\\D\\", L"C"));
}

TEST_F(CatalogueTest, BaseRegKeyComesFromProductAndMajorVersion) {
  EXPECT_EQ(script().evalText(L"external.getBaseRegKey()"),
            L"HKEY_CURRENT_USER\\SOFTWARE\\Vandor\\stubframework\\TRVK\\1");
  EXPECT_NE(logText().find(L"EMGetBaseRegKey HKEY_CURRENT_USER\\SOFTWARE\\Vandor\\stubframework\\TRVK\\1"),
            std::wstring::npos);
}

TEST_F(CatalogueTest, LanguageIdentifiersMapToLanguageNumbers) {
  struct Case {
    int id;
    int number;
  } cases[] = {{1033, 1},  {2057, 1},  {1050, 29}, {4122, 29}, {5146, 25}, {8218, 25}, {2074, 80}, {12314, 80},
               {1082, 62}, {1055, 95}, {1158, 0},  {1028, 13}, {3076, 13}, {5124, 13}, {2052, 12}, {4100, 12},
               {2058, 6},  {3082, 6},  {2070, 7},  {1046, 7},  {1041, 5},  {1042, 9},  {1049, 10}, {1029, 11},
               {1036, 2},  {1031, 3},  {1040, 4},  {1043, 8},  {1026, 26}, {1098, 91}, {7194, 80}, {15386, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(script().evalNumber(L"external.getLanguageByID(" + std::to_wstring(c.id) + L")"), c.number) << c.id;
  }
  // Only the low 16 bits count.
  EXPECT_EQ(script().evalNumber(L"external.getLanguageByID(65536 + 1033)"), 1);
}

TEST_F(CatalogueTest, LanguageCodesParseExactly) {
  struct Case {
    const wchar_t* code;
    int number;
  } cases[] = {{L"jp", 5}, {L"JP", 0}, {L"ja", 0}, {L"other", 0}, {L"en", 1}, {L"tw", 13}, {L"zu", 107}, {L"", 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(script().evalNumber(std::wstring(L"external.getParsedInstallLanguage('") + c.code + L"')"), c.number)
        << c.code;
  }
  EXPECT_EQ(script().evalNumber(L"external.getOSLang()"), languageNumberFromId(::GetUserDefaultUILanguage()));
}

TEST_F(CatalogueTest, SetLangChangesLanguageAndOutOfRangeChangesNothing) {
  ASSERT_EQ(script().run(L"external.setLang(5);"), S_OK);
  EXPECT_EQ(config()->installLanguage(), L"Japanese");
  EXPECT_EQ(external()->getProperty(L"lang"), L"jp");
  std::wstring stored;
  ASSERT_TRUE(readRegValue(config()->baseRegKey(), L"install_language", stored));
  EXPECT_EQ(stored, L"Japanese");
  for (const wchar_t* number : {L"108", L"-1", L"2147483647"}) {
    ASSERT_EQ(script().run(std::wstring(L"external.setLang(") + number + L");"), S_OK) << number;
    EXPECT_EQ(config()->installLanguage(), L"Japanese");
    EXPECT_EQ(external()->getProperty(L"lang"), L"jp");
  }
  ASSERT_TRUE(readRegValue(config()->baseRegKey(), L"install_language", stored));
  EXPECT_EQ(stored, L"Japanese");
}

TEST_F(CatalogueTest, MinimumSystemTable) {
  struct Case {
    const wchar_t* minimum;
    unsigned major;
    unsigned minor;
    bool valid;
  } cases[] = {
      {L"Windows 7", 6, 1, true},      {L"Windows 7", 6, 0, false},   {L"Windows 7 SP1", 6, 1, true},
      {L"Windows 8", 6, 2, true},      {L"Windows 8.1", 6, 2, false}, {L"Windows 8.1", 6, 3, true},
      {L"Windows 10", 6, 3, false},    {L"Windows 10", 10, 0, true},  {L"Windows XP", 5, 1, true},
      {L"Windows Vista", 5, 2, false}, {L"windows 10", 6, 1, true},   {L"windows 10", 6, 0, false},
      {L"Windows 8", 10, 0, true},     {L"anything", 0, 0, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(meetsMinimum(SystemVersion{c.major, c.minor, 0}, minimumVersionFor(c.minimum)), c.valid)
        << c.minimum << " on " << c.major << "." << c.minor;
  }
}

TEST_F(CatalogueTest, CheckOsUsesTheProcessBlockVersion) {
  SystemVersion running;
  ASSERT_TRUE(rtlSystemVersion(running));
  const SystemVersion block = processBlockVersion();
  EXPECT_EQ(block.major, running.major);
  EXPECT_EQ(block.minor, running.minor);
  EXPECT_EQ(block.build, running.build);
  for (const wchar_t* minimum : {L"Windows 7", L"Windows 8.1", L"Windows 10", L"Windows XP"}) {
    const bool expected = meetsMinimum(running, minimumVersionFor(minimum));
    EXPECT_EQ(script().evalText(std::wstring(L"external.checkOS('") + minimum + L"', 'x86')"),
              expected ? L"true" : L"false")
        << minimum;
  }
  EXPECT_NE(logText().find(L"EMCheckOS Result : OS valid"), std::wstring::npos);
  // A 64-bit machine supports a 64-bit requirement; the property stays unset.
  ASSERT_EQ(config()->architecture(), L"x64");
  EXPECT_EQ(script().evalText(L"external.checkOS('Windows XP', 'X64')"), L"true");
  EXPECT_EQ(external()->getProperty(L"OSBitNotSupport"), L"");
}

TEST_F(CatalogueTest, SystemQueries) {
  const SystemVersion reported = reportedVersion();
  EXPECT_EQ(script().evalText(L"external.getOSVersion()"),
            std::to_wstring(reported.major) + L"." + std::to_wstring(reported.minor));
  EXPECT_EQ(script().evalText(L"external.isSilentLaunchStub()"), L"false");
  EXPECT_NE(logText().find(L"EMIsSilentLaunchStub Result: launch normal"), std::wstring::npos);
  external()->setLastInstallerExitCode(-5);
  EXPECT_EQ(script().evalText(L"external.getLastInstallError()"), L"4294967291");
  EXPECT_NE(logText().find(L"EMGetLastInstallError ErrorCode: -5"), std::wstring::npos);
}

}  // namespace

namespace {

// Every registered kind is the one its handler accepts: with that kind and far too
// many arguments each handler refuses the count (and does no work), never the flags.
TEST_F(CatalogueTest, RegisteredKindsMatchTheHandlers) {
  std::vector<VARIANT> tooMany(20);
  for (VARIANT& v : tooMany) {
    ::VariantInit(&v);
    v.vt = VT_I4;
  }
  DISPPARAMS params = {tooMany.data(), nullptr, static_cast<UINT>(tooMany.size()), 0};
  const auto kinds = methods_->methodKinds();
  ASSERT_EQ(kinds.size(), methods_->methodTable().size());
  for (const auto& [name, kind] : kinds) {
    EXPECT_TRUE(kind == stubframework::ExternalMethods::kCallM || kind == stubframework::ExternalMethods::kCallMG);
    base::UniqueBstr bstr = base::UniqueBstr::FromText(name);
    DISPID id = DISPID_UNKNOWN;
    ASSERT_EQ(external()->GetDispID(bstr.get(), fdexNameCaseSensitive, &id), S_OK) << name;
    VARIANT result;
    ::VariantInit(&result);
    EXPECT_EQ(external()->InvokeEx(id, LOCALE_USER_DEFAULT, kind, &params, &result, nullptr, nullptr),
              DISP_E_BADPARAMCOUNT)
        << name;
    ::VariantClear(&result);
  }
}

}  // namespace

namespace {

// The service methods answer through the analytics client; here no service host
// listens, so the region check says no and the activity send fails quietly.
TEST_F(CatalogueTest, ServiceMethodsAnswerFromTheAnalyticsClient) {
  ASSERT_NE(framework_->analytics(), nullptr);
  const std::wstring machineId = script().evalText(L"external.getMachineId()");
  EXPECT_FALSE(machineId.empty());
  EXPECT_EQ(machineId, framework_->analytics()->ReportedMachineId());
  EXPECT_EQ(script().evalText(L"String(external.isInternetConnected())"),
            framework_->analytics()->IsInternetConnected() ? L"true" : L"false");
  EXPECT_EQ(script().evalText(L"typeof external.isInEmbargoedCountry()"), L"boolean");
  EXPECT_EQ(script().run(L"external.trackUserActivity('Welcome.Next');"), S_OK);
  EXPECT_EQ(script().errorOf(L"external.trackUserActivity(5)"), static_cast<unsigned long>(DISP_E_TYPEMISMATCH));
}

}  // namespace

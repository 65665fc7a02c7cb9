// The machine identity with the real system services Wine provides: data
// protection, WMI, SetupAPI, and the stored id file.
#include "base/Platform.h"
#include "base/UniqueAny.h"
#include "framework/StubConfig.h"
#include "services/MachineId.h"
#include "services/MachineIdRules.h"
#include "services/NetworkAdapters.h"
#include "services/StoredMachineId.h"
#include "tests/support/TestSupport.h"

#include <dpapi.h>
#include <gtest/gtest.h>
#include <objbase.h>

#include <thread>

namespace stubframework::core {
namespace {

using testsupport::ScopedTempDir;

constexpr wchar_t kSampleId[] = L"P-001A2B3C-4D5E-001A-2B3C-4D5E001A2B3C";

bool IsGuidText(const std::wstring& text) {
  if (text.size() != 36) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash != (text[i] == L'-')) return false;
    if (!dash && !iswxdigit(text[i])) return false;
    if (!dash && iswlower(text[i])) return false;
  }
  return true;
}

class ComApartment {
 public:
  ComApartment() { hr_ = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~ComApartment() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }

 private:
  HRESULT hr_;
};

TEST(StoredMachineId, RoundTripsThroughMachineScopeProtection) {
  ScopedTempDir dir;
  const std::wstring path = dir.file(L"data");
  ASSERT_TRUE(StoreMachineId(path, kSampleId));
  std::wstring loaded;
  ASSERT_TRUE(LoadStoredMachineId(path, loaded));
  EXPECT_EQ(loaded, kSampleId);

  // The file holds protected data, not the id, and only the fixed entropy opens it.
  std::string bytes = testsupport::ReadFileBytes(path);
  const std::string plain(reinterpret_cast<const char*>(kSampleId), 76);
  EXPECT_EQ(bytes.find(plain), std::string::npos);
  DATA_BLOB in{static_cast<DWORD>(bytes.size()), reinterpret_cast<BYTE*>(bytes.data())};
  DATA_BLOB out = {};
  EXPECT_FALSE(::CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, 0, &out));
  char entropyText[] = "quamble";
  DATA_BLOB entropy{7, reinterpret_cast<BYTE*>(entropyText)};
  ASSERT_TRUE(::CryptUnprotectData(&in, nullptr, &entropy, nullptr, nullptr, 0, &out));
  base::UniqueLocalMem owner(out.pbData);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.pbData), out.cbData), plain);  // 76 bytes, no terminator
}

TEST(StoredMachineId, MissingEmptyOrForeignFilesDoNotLoad) {
  ScopedTempDir dir;
  std::wstring id = L"unchanged";
  EXPECT_FALSE(LoadStoredMachineId(dir.file(L"missing"), id));
  ASSERT_TRUE(testsupport::WriteFileBytes(dir.file(L"empty"), ""));
  EXPECT_FALSE(LoadStoredMachineId(dir.file(L"empty"), id));
  ASSERT_TRUE(
      testsupport::WriteFileBytes(dir.file(L"plain"), std::string(reinterpret_cast<const char*>(kSampleId), 76)));
  EXPECT_FALSE(LoadStoredMachineId(dir.file(L"plain"), id));
  EXPECT_EQ(id, L"unchanged");
}

TEST(StoredMachineId, WaitsForAnotherExclusiveOpener) {
  ScopedTempDir dir;
  const std::wstring path = dir.file(L"data");
  ASSERT_TRUE(StoreMachineId(path, kSampleId));
  base::UniqueFileHandle holder(
      ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder);
  std::thread release([&holder] {
    ::Sleep(200);
    holder.reset();
  });
  std::wstring loaded;
  const bool ok = LoadStoredMachineId(path, loaded);
  release.join();
  EXPECT_TRUE(ok);
  EXPECT_EQ(loaded, kSampleId);
}

TEST(StoredMachineId, GivesUpWhenTheFileStaysLocked) {
  ScopedTempDir dir;
  const std::wstring path = dir.file(L"data");
  ASSERT_TRUE(StoreMachineId(path, kSampleId));
  base::UniqueFileHandle holder(
      ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder);
  std::wstring loaded;
  EXPECT_FALSE(LoadStoredMachineId(path, loaded));
  EXPECT_FALSE(StoreMachineId(path, kSampleId));
}

TEST(MachineId, AStoredIdWinsOverTheAdaptersOnEveryKindOfMachine) {
  ScopedTempDir dir;
  for (MachineKind kind : {MachineKind::kPhysical, MachineKind::kVirtual, MachineKind::kUnknown}) {
    const std::wstring path = dir.file(L"data");
    ASSERT_TRUE(StoreMachineId(path, kSampleId));
    std::wstring id;
    ASSERT_TRUE(EstablishMachineId(kind, path, id));
    EXPECT_EQ(id, kSampleId);
  }
}

TEST(MachineId, VirtualMachineMakesAndKeepsARandomId) {
  ScopedTempDir dir;
  const std::wstring path = dir.file(L"data");
  ASSERT_TRUE(StoreMachineId(path, L"P-too-short"));  // another length: replaced
  std::wstring first;
  ASSERT_TRUE(EstablishMachineId(MachineKind::kVirtual, path, first));
  ASSERT_EQ(first.size(), kMachineIdLength);
  EXPECT_EQ(first.substr(0, 2), L"V-");
  EXPECT_TRUE(IsGuidText(first.substr(2))) << first;
  std::wstring stored;
  ASSERT_TRUE(LoadStoredMachineId(path, stored));
  EXPECT_EQ(stored, first);
  std::wstring second;
  ASSERT_TRUE(EstablishMachineId(MachineKind::kVirtual, path, second));
  EXPECT_EQ(second, first);
}

TEST(MachineId, VirtualMachineWithoutAStoreHasNoId) {
  ScopedTempDir dir;
  std::wstring id = L"placeholder";
  EXPECT_FALSE(EstablishMachineId(MachineKind::kVirtual, dir.file(L"no\\such\\folder\\data"), id));
  EXPECT_EQ(id, L"placeholder");
}

TEST(MachineId, PhysicalMachineUsesTheLowestAdapterAddressWhateverTheSystemReports) {
  ScopedTempDir dir;
  const std::wstring path = dir.file(L"data");
  const std::vector<std::wstring> addresses = ListPhysicalMacAddresses();
  std::wstring id = L"placeholder";
  const bool ok = EstablishMachineId(MachineKind::kPhysical, path, id);
  if (addresses.empty()) {
    EXPECT_FALSE(ok);
    EXPECT_EQ(id, L"placeholder");
    EXPECT_FALSE(testsupport::ReadFileBytes(path).size() > 0);
  } else {
    ASSERT_TRUE(ok);
    EXPECT_EQ(id, L"P-" + BuildMachineIdBody(LowestMacAddress(addresses)));
    std::wstring stored;
    ASSERT_TRUE(LoadStoredMachineId(path, stored));
    EXPECT_EQ(stored, id);
  }
}

TEST(MachineId, AdapterListingAndAddressQueriesRunOnTheSystem) {
  for (const NetworkAdapter& adapter : ListNetworkAdapters()) {
    EXPECT_FALSE(adapter.devicePath.empty());
    EXPECT_LE(adapter.description.size(), 1023u);
    const std::wstring address = QueryPermanentAddress(adapter.devicePath);
    EXPECT_TRUE(address.empty() || address.size() == 17) << address;
  }
  EXPECT_EQ(QueryPermanentAddress(L"\\\\?\\no#such#device"), L"");
}

TEST(MachineId, WmiReportsThisMachineAsNotVirtual) {
  ComApartment com;
  // Wine names its computer system "Wine" by "The Wine Project": no hypervisor signature.
  EXPECT_EQ(DetectMachineKind(), MachineKind::kPhysical);
  EXPECT_TRUE(IsVirtualMachineSignature(L"VirtualBox", L"innotek GmbH"));
  EXPECT_TRUE(IsVirtualMachineSignature(L"VMware Virtual Platform", L"VMware, Inc."));
  EXPECT_TRUE(IsVirtualMachineSignature(L"Virtual Machine", L"Microsoft Corporation"));
  EXPECT_FALSE(IsVirtualMachineSignature(L"virtualbox", L"innotek GmbH"));
  EXPECT_FALSE(IsVirtualMachineSignature(L"Virtual Machine", L"VMware, Inc."));
}

TEST(MachineId, ProcessCacheAnswersTheSameIdEveryTime) {
  ComApartment com;
  std::wstring first = L"placeholder";
  const bool ok = GetMachineId(first);
  std::wstring second = L"placeholder";
  EXPECT_EQ(GetMachineId(second), ok);
  EXPECT_EQ(first, second);
  if (ok) {
    EXPECT_EQ(first.size(), kMachineIdLength);
    EXPECT_TRUE(first.rfind(L"P-", 0) == 0 || first.rfind(L"V-", 0) == 0) << first;
  }
}

TEST(MachineId, RequestTokensAreFreshGuidTexts) {
  std::wstring a, b;
  ASSERT_TRUE(CreateGuidText(a));
  ASSERT_TRUE(CreateGuidText(b));
  EXPECT_TRUE(IsGuidText(a)) << a;
  EXPECT_NE(a, b);
}

TEST(ReportedMachineId, IsTheSha256OfTheLowBytesInLowerCaseHex) {
  EXPECT_EQ(ReportedMachineId(L"X-XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX"),
            L"0a64d955f4e08a65953484e0548300dd26fc1e6cc193c9c8ee3d0e731360fc75");
  EXPECT_EQ(ReportedMachineId(kSampleId), L"40114013419f868858042657ed27b94414a4b068d7f40fa5a4dac48b50e26b19");
  EXPECT_EQ(ReportedMachineId(L"\x0158"), ReportedMachineId(L"X"));
  EXPECT_EQ(ReportedMachineId(L""), L"");
}

TEST(ReportedMachineId, ConfigurationReportsTheDigestNeverTheRawId) {
  testsupport::ScopedRegistryCleanup registry(HKEY_CURRENT_USER, L"SOFTWARE\\Vandor\\stubframework\\TRVK\\63");
  StubConfig config(L"63.0.0.1");
  const std::wstring raw = config.machineIdSource();
  ASSERT_EQ(raw.size(), kMachineIdLength);
  const std::wstring reported = config.machineId();
  ASSERT_EQ(reported.size(), 64u);
  EXPECT_EQ(reported.find_first_not_of(L"0123456789abcdef"), std::wstring::npos);
  EXPECT_EQ(reported, ReportedMachineId(raw));
  std::wstring established = L"X-XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX";
  {
    ComApartment com;
    (void)GetMachineId(established);
  }
  EXPECT_EQ(raw, established);  // the placeholder when the machine has no id
}

}  // namespace
}  // namespace stubframework::core

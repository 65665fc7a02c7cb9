#include "services/MachineId.h"

#include "base/CriticalSection.h"
#include "base/Platform.h"
#include "base/UniqueAny.h"
#include "services/MachineIdRules.h"
#include "services/NetworkAdapters.h"
#include "services/StoredMachineId.h"

#include <objbase.h>
#include <wincrypt.h>

namespace stubframework::core {

namespace {

constexpr wchar_t kPhysicalPrefix[] = L"P-";
constexpr wchar_t kVirtualPrefix[] = L"V-";

struct CryptProviderTraits {
  using Type = HCRYPTPROV;
  static Type Invalid() noexcept { return 0; }
  static void Close(Type h) noexcept { ::CryptReleaseContext(h, 0); }
};
struct CryptHashTraits {
  using Type = HCRYPTHASH;
  static Type Invalid() noexcept { return 0; }
  static void Close(Type h) noexcept { ::CryptDestroyHash(h); }
};

bool LoadUsableStoredId(const std::wstring& storedPath, std::wstring& id) {
  std::wstring stored;
  if (!LoadStoredMachineId(storedPath, stored) || stored.size() != kMachineIdLength) return false;
  id = stored;
  return true;
}

bool EstablishVirtualId(const std::wstring& storedPath, std::wstring& id) {
  if (LoadUsableStoredId(storedPath, id)) return true;
  std::wstring guid;
  if (!CreateGuidText(guid)) return false;
  const std::wstring made = kVirtualPrefix + guid;
  // A random id that cannot be kept would change on every run: no id instead.
  if (!StoreMachineId(storedPath, made)) return false;
  id = made;
  return true;
}

bool EstablishPhysicalId(const std::wstring& storedPath, std::wstring& id) {
  if (LoadUsableStoredId(storedPath, id)) return true;
  const std::wstring body = BuildMachineIdBody(LowestMacAddress(ListPhysicalMacAddresses()));
  if (body.empty()) return false;
  const std::wstring made = kPhysicalPrefix + body;
  (void)StoreMachineId(storedPath, made);  // the address gives the same id again next time
  id = made;
  return true;
}

}  // namespace

bool CreateGuidText(std::wstring& text) {
  GUID guid;
  if (FAILED(::CoCreateGuid(&guid))) return false;
  wchar_t braced[40] = {};
  if (::StringFromGUID2(guid, braced, 40) != 39) return false;
  text.assign(braced + 1, 36);
  return true;
}

bool EstablishMachineId(MachineKind kind, const std::wstring& storedPath, std::wstring& id) {
  return kind == MachineKind::kVirtual ? EstablishVirtualId(storedPath, id) : EstablishPhysicalId(storedPath, id);
}

bool GetMachineId(std::wstring& id) {
  static base::CriticalSection lock;
  static std::wstring cached;
  base::CriticalSectionLock guard(lock);
  if (cached.empty()) {
    std::wstring established;
    if (!EstablishMachineId(DetectMachineKind(), StoredMachineIdPath(), established)) return false;
    cached = established;
  }
  id = cached;
  return true;
}

std::wstring ReportedMachineId(const std::wstring& rawId) {
  if (rawId.empty()) return {};
  base::UniqueAny<CryptProviderTraits> provider;
  if (!::CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) return {};
  base::UniqueAny<CryptHashTraits> hash;
  if (!::CryptCreateHash(provider.get(), CALG_SHA_256, 0, 0, hash.put())) return {};
  const std::string bytes = MachineIdDigestInput(rawId);
  if (!::CryptHashData(hash.get(), reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()), 0)) {
    return {};
  }
  uint8_t digest[32] = {};
  DWORD length = sizeof(digest);
  if (!::CryptGetHashParam(hash.get(), HP_HASHVAL, digest, &length, 0) || length != sizeof(digest)) return {};
  return LowerHex(digest, sizeof(digest));
}

}  // namespace stubframework::core

#include "services/VirtualMachineCheck.h"

#include "base/ComOwners.h"
#include "base/Platform.h"

#include <wbemidl.h>
#include <wrl/client.h>

namespace stubframework::core {

namespace {

using Microsoft::WRL::ComPtr;

struct Signature {
  const wchar_t* model;
  const wchar_t* manufacturer;
};
constexpr Signature kVirtualMachines[] = {
    {L"VirtualBox", L"innotek GmbH"},
    {L"VMware Virtual Platform", L"VMware, Inc."},
    {L"Virtual Machine", L"Microsoft Corporation"},
};

bool ReadStringProperty(IWbemClassObject* object, const wchar_t* name, std::wstring& value) {
  base::UniqueVariant variant;
  if (FAILED(object->Get(name, 0, variant.put(), nullptr, nullptr))) return false;
  if (variant.get()->vt != VT_BSTR || !variant.get()->bstrVal) return false;
  value.assign(variant.get()->bstrVal, ::SysStringLen(variant.get()->bstrVal));
  return true;
}

}  // namespace

bool IsVirtualMachineSignature(const std::wstring& model, const std::wstring& manufacturer) {
  for (const Signature& signature : kVirtualMachines) {
    if (model == signature.model && manufacturer == signature.manufacturer) return true;
  }
  return false;
}

MachineKind DetectMachineKind() {
  ComPtr<IWbemLocator> locator;
  if (FAILED(::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&locator)))) {
    return MachineKind::kUnknown;
  }
  ComPtr<IWbemServices> services;
  const base::UniqueBstr wmiNamespace = base::UniqueBstr::FromText(L"ROOT\\CIMV2");
  if (FAILED(locator->ConnectServer(wmiNamespace.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services))) {
    return MachineKind::kUnknown;
  }
  if (FAILED(::CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                 RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE))) {
    return MachineKind::kUnknown;
  }
  ComPtr<IEnumWbemClassObject> results;
  const base::UniqueBstr language = base::UniqueBstr::FromText(L"WQL");
  const base::UniqueBstr query = base::UniqueBstr::FromText(L"SELECT * FROM Win32_ComputerSystem");
  if (FAILED(services->ExecQuery(language.get(), query.get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                 nullptr, &results))) {
    return MachineKind::kUnknown;
  }
  ComPtr<IWbemClassObject> system;
  ULONG returned = 0;
  if (FAILED(results->Next(WBEM_INFINITE, 1, &system, &returned)) || returned == 0 || !system) {
    return MachineKind::kUnknown;
  }
  std::wstring model;
  std::wstring manufacturer;
  if (!ReadStringProperty(system.Get(), L"model", model) ||
      !ReadStringProperty(system.Get(), L"manufacturer", manufacturer)) {
    return MachineKind::kUnknown;
  }
  return IsVirtualMachineSignature(model, manufacturer) ? MachineKind::kVirtual : MachineKind::kPhysical;
}

}  // namespace stubframework::core

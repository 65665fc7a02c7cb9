#include "services/NetworkAdapters.h"

#include "base/Platform.h"
#include "base/UniqueAny.h"
#include "services/MachineIdRules.h"

#include <winioctl.h>

#include <ntddndis.h>
#include <setupapi.h>

#include <vector>

namespace stubframework::core {

namespace {

// {AD498944-762F-11D0-8DCB-00C04FC3358C}: the network-adapter device interface class.
constexpr GUID kNetworkAdapterInterfaceClass = {
    0xad498944, 0x762f, 0x11d0, {0x8d, 0xcb, 0x00, 0xc0, 0x4f, 0xc3, 0x35, 0x8c}};
constexpr DWORD kDescriptionCharacters = 1023;

struct DeviceInfoSetTraits {
  using Type = HDEVINFO;
  static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) noexcept { ::SetupDiDestroyDeviceInfoList(h); }
};
using UniqueDeviceInfoSet = base::UniqueAny<DeviceInfoSetTraits>;

std::wstring DevicePathOf(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& interfaceData, SP_DEVINFO_DATA& device) {
  DWORD required = 0;
  ::SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, nullptr, 0, &required, nullptr);
  if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) return {};
  std::vector<BYTE> buffer(required + sizeof(wchar_t), 0);
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
  if (!::SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, detail, required, nullptr, &device)) return {};
  return detail->DevicePath;
}

std::wstring DescriptionOf(HDEVINFO set, SP_DEVINFO_DATA& device) {
  wchar_t text[kDescriptionCharacters + 1] = {};
  if (!::SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_DEVICEDESC, nullptr, reinterpret_cast<BYTE*>(text),
                                           kDescriptionCharacters * sizeof(wchar_t), nullptr)) {
    return {};
  }
  return text;
}

}  // namespace

std::vector<NetworkAdapter> ListNetworkAdapters() {
  std::vector<NetworkAdapter> adapters;
  UniqueDeviceInfoSet set(
      ::SetupDiGetClassDevsW(&kNetworkAdapterInterfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
  if (!set) return adapters;
  for (DWORD index = 0;; ++index) {
    SP_DEVICE_INTERFACE_DATA interfaceData = {};
    interfaceData.cbSize = sizeof(interfaceData);
    if (!::SetupDiEnumDeviceInterfaces(set.get(), nullptr, &kNetworkAdapterInterfaceClass, index, &interfaceData)) {
      break;
    }
    // The device that owns this interface (rather than the device at the same
    // index of the set, which may differ when a device has several interfaces).
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    NetworkAdapter adapter;
    adapter.devicePath = DevicePathOf(set.get(), interfaceData, device);
    if (adapter.devicePath.empty()) continue;
    adapter.description = DescriptionOf(set.get(), device);
    adapters.push_back(std::move(adapter));
  }
  return adapters;
}

std::wstring QueryPermanentAddress(const std::wstring& devicePath) {
  base::UniqueFileHandle device(
      ::CreateFileW(devicePath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!device) return {};
  ULONG oid = OID_802_3_PERMANENT_ADDRESS;
  uint8_t address[8] = {};
  DWORD returned = 0;
  if (!::DeviceIoControl(device.get(), IOCTL_NDIS_QUERY_GLOBAL_STATS, &oid, sizeof(oid), address, sizeof(address),
                         &returned, nullptr) ||
      returned != 6) {
    return {};
  }
  uint8_t six[6];
  for (size_t i = 0; i < 6; ++i) six[i] = address[i];
  return FormatMacAddress(six);
}

std::vector<std::wstring> ListPhysicalMacAddresses() {
  std::vector<std::wstring> addresses;
  for (const NetworkAdapter& adapter : ListNetworkAdapters()) {
    if (!IsPhysicalAdapter(adapter.devicePath, adapter.description)) continue;
    std::wstring address = QueryPermanentAddress(adapter.devicePath);
    if (!address.empty()) addresses.push_back(std::move(address));
  }
  return addresses;
}

}  // namespace stubframework::core

// The permanent MAC addresses of the machine's physical network adapters, read
// through SetupAPI and the NDIS driver query.
//
// Threads: no shared state; callable from any thread.
#pragma once

#include <string>
#include <vector>

namespace stubframework::core {

struct NetworkAdapter {
  std::wstring devicePath;
  std::wstring description;  // at most 1023 characters
};

// Present devices of the network-adapter interface class.
std::vector<NetworkAdapter> ListNetworkAdapters();

// The permanent Ethernet address of an adapter as "XX:XX:XX:XX:XX:XX"; empty when
// the driver does not answer with exactly 6 bytes.
std::wstring QueryPermanentAddress(const std::wstring& devicePath);

// Addresses of the adapters that pass the physical-adapter filter, in listing order.
std::vector<std::wstring> ListPhysicalMacAddresses();

}  // namespace stubframework::core

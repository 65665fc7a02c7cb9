// Tells whether this computer is a recognised virtual machine, from the model and
// manufacturer WMI reports for the computer system.
//
// Threads: the calling thread must have entered a COM apartment.
#pragma once

#include <string>

namespace stubframework::core {

enum class MachineKind { kUnknown, kPhysical, kVirtual };

// True for (model, manufacturer) pairs of the known hypervisors, compared exactly.
bool IsVirtualMachineSignature(const std::wstring& model, const std::wstring& manufacturer);

// kUnknown when WMI could not be asked (the test failed), otherwise the verdict.
MachineKind DetectMachineKind();

}  // namespace stubframework::core

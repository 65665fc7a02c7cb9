// The log texts of the long script methods' callback handling: what the handler
// logs when the function cannot be marshalled (and at which level), and what
// the worker logs when it cannot unmarshal it (null: the worker logs nothing).
#pragma once

#include "htmlui/ScriptCallback.h"

namespace stubframework::htmlui {

inline constexpr CallbackMessages kDownloadCallback = {
    L"EMDownload: CoMarshalInterThreadInterfaceInStream failed with %x", true,
    L"DownloadThreadFunc CoGetInterfaceAndReleaseStream  failed with: %x"};
inline constexpr CallbackMessages kInstallCallback = {
    L"EMInstall: CoMarshalInterThreadInterfaceInStream failed with %x", true, nullptr};
inline constexpr CallbackMessages kSelfUpdateCallback = {
    L"ZSUpdateSelf: CoMarshalInterThreadInterfaceInStream failed with %x", false,
    L"SelfUpdateThreadFunc CoGetInterfaceAndReleaseStream  failed with: %x"};
inline constexpr CallbackMessages kUpdateInstallerListCallback = {
    L"EMUpdateInstallerList: CoMarshalInterThreadInterfaceInStream failed with %x", true,
    L"UpdateInstallerListThreadFunc CoGetInterfaceAndReleaseStream  failed with: %x"};
inline constexpr CallbackMessages kRemoveProgramCallback = {
    L"EMRemoveProgram: CoMarshalInterThreadInterfaceInStream failed with %x", false,
    L"UninstallThreadFunc CoGetInterfaceAndReleaseStream  failed with: %x"};
inline constexpr CallbackMessages kRepairProgramCallback = {
    L"ZSRepairProgram: CoMarshalInterThreadInterfaceInStream failed with %x", false,
    L"UninstallThreadFunc CoGetInterfaceAndReleaseStream  failed with: %x"};
inline constexpr CallbackMessages kVerifyFileCallback = {
    L"EMVerifyFileInSpecialDirectory: CoMarshalInterThreadInterfaceInStream failed with %x", false,
    L"VerifyThreadFunc CoGetInterfaceAndReleaseStream  failed with: %x"};

}  // namespace stubframework::htmlui

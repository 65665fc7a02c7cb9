// The browser runtime the product needs: is it installed, and installing it
// with the published bootstrapper when it is not.
//
// The version query asks the runtime's loader library when one is beside the
// executable or in the system folder, and otherwise reads the version the
// runtime's installer registers ("pv" of its client key, machine-wide in the
// 32-bit view, then per user); "" and "0.0.0.0" mean not installed.
// Threads: blocking calls for the user-interface thread; no shared state.
#pragma once

#include <string>

namespace myexternalmethods {

inline constexpr wchar_t kWebView2ClientKey[] =
    L"SOFTWARE\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
inline constexpr wchar_t kWebView2BootstrapperName[] = L"MicrosoftEdgeWebview2Setup.exe";

// The installed runtime's version; false when none is installed.
bool installedWebView2Version(std::wstring& version);

// Makes sure the runtime is installed: true at once when it is; otherwise
// downloads the bootstrapper from `bootstrapperUrl` into the temporary folder,
// runs it elevated with "/install" (hidden), waits for it and asks again.
bool ensureWebView2Runtime(const std::wstring& bootstrapperUrl);

}  // namespace myexternalmethods

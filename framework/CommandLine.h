// The command-line keys the stub understands. The readers are pure functions over
// the argument list (as split by the system's splitter) or the raw command-line
// text, so they build without the Windows headers and can be fuzzed natively.
#pragma once

#include <string>
#include <vector>

namespace stubframework {

using ArgumentList = std::vector<std::wstring>;

enum class ResumeMode : int { NONE = 0, DOWNLOADING = 1, INSTALLING = 2 };

namespace cmdline {

// ASCII case-insensitive equality, enough for the keys below.
bool equalsAsciiIgnoreCase(const std::wstring& a, const std::wstring& b);

// The rest of the first argument (from index 1) that begins with key + "="
// (case-sensitive); empty when none matches.
std::wstring getArgValue(const ArgumentList& args, const std::wstring& key);

// The text after key + "=\"" up to the next double quote; empty when the key or
// the closing quote is missing.
std::wstring getQuotedValue(const std::wstring& text, const std::wstring& key);

// Installer arguments to pass on: passthrough="..." then, when passthro="..." is
// not empty, one space and its value.
std::wstring passthroughFrom(const std::wstring& commandLine);

// True when an argument from `firstIndex` on equals `value`, ignoring ASCII case.
bool hasArgument(const ArgumentList& args, const std::wstring& value, size_t firstIndex = 1);

// The rest of the first argument from `firstIndex` on that begins with `prefix`
// (case-sensitive); empty when none does.
std::wstring valueAfterPrefix(const ArgumentList& args, const std::wstring& prefix, size_t firstIndex);

// "shortcut=" value (argument 0 included).
std::wstring shortcutPath(const ArgumentList& args);
// "/QN" anywhere (argument 0 included), ignoring case.
bool isSilentLaunch(const ArgumentList& args);
// RESUME=DOWNLOADING or RESUME=INSTALLING, the first found wins.
ResumeMode resumeMode(const ArgumentList& args);
// "uninstall" or "modify" when an argument (0 included) contains "/uninstall" or
// "/modify" ignoring case, the first matching argument wins; empty otherwise.
std::wstring maintenanceMode(const ArgumentList& args);

}  // namespace cmdline
}  // namespace stubframework

#include "framework/CommandLine.h"

namespace stubframework::cmdline {

namespace {
wchar_t foldAscii(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

std::wstring foldedAscii(std::wstring text) {
  for (wchar_t& c : text) c = foldAscii(c);
  return text;
}
}  // namespace

bool equalsAsciiIgnoreCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (foldAscii(a[i]) != foldAscii(b[i])) return false;
  }
  return true;
}

std::wstring valueAfterPrefix(const ArgumentList& args, const std::wstring& prefix, size_t firstIndex) {
  for (size_t i = firstIndex; i < args.size(); ++i) {
    if (args[i].compare(0, prefix.size(), prefix) == 0) return args[i].substr(prefix.size());
  }
  return {};
}

std::wstring getArgValue(const ArgumentList& args, const std::wstring& key) {
  return valueAfterPrefix(args, key + L"=", 1);
}

std::wstring getQuotedValue(const std::wstring& text, const std::wstring& key) {
  const std::wstring opener = key + L"=\"";
  const size_t start = text.find(opener);
  if (start == std::wstring::npos) return {};
  const size_t valueStart = start + opener.size();
  const size_t end = text.find(L'"', valueStart);
  if (end == std::wstring::npos) return {};
  return text.substr(valueStart, end - valueStart);
}

std::wstring passthroughFrom(const std::wstring& commandLine) {
  std::wstring value = getQuotedValue(commandLine, L"passthrough");
  const std::wstring shortForm = getQuotedValue(commandLine, L"passthro");
  if (!shortForm.empty()) value += L" " + shortForm;
  return value;
}

bool hasArgument(const ArgumentList& args, const std::wstring& value, size_t firstIndex) {
  for (size_t i = firstIndex; i < args.size(); ++i) {
    if (equalsAsciiIgnoreCase(args[i], value)) return true;
  }
  return false;
}

std::wstring shortcutPath(const ArgumentList& args) { return valueAfterPrefix(args, L"shortcut=", 0); }

bool isSilentLaunch(const ArgumentList& args) { return hasArgument(args, L"/QN", 0); }

ResumeMode resumeMode(const ArgumentList& args) {
  for (size_t i = 1; i < args.size(); ++i) {
    if (equalsAsciiIgnoreCase(args[i], L"RESUME=DOWNLOADING")) return ResumeMode::DOWNLOADING;
    if (equalsAsciiIgnoreCase(args[i], L"RESUME=INSTALLING")) return ResumeMode::INSTALLING;
  }
  return ResumeMode::NONE;
}

std::wstring maintenanceMode(const ArgumentList& args) {
  for (const std::wstring& arg : args) {
    const std::wstring folded = foldedAscii(arg);
    if (folded.find(L"/UNINSTALL") != std::wstring::npos) return L"uninstall";
    if (folded.find(L"/MODIFY") != std::wstring::npos) return L"modify";
  }
  return {};
}

}  // namespace stubframework::cmdline

// Helpers shared by the archive tests: where the fixtures are, reading folder
// trees, and a reporter that records what an extraction reported.
#pragma once

#include "framework/ZipReporter.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace archivetest {

// The fixture folder made by make_fixtures.py (Windows path, ending with "\").
std::wstring FixturePath(const std::wstring& relative = {});

// Every file below `folder`: relative path ("\" separators) -> bytes.
std::map<std::wstring, std::string> ReadTree(const std::wstring& folder);
// Every folder below `folder` (relative paths).
std::vector<std::wstring> ListFolders(const std::wstring& folder);

// Opens `path` for reading (sharing reads) and extracts it into `folder`.
bool ExtractFile(const std::wstring& path, const std::wstring& folder, stubframework::zip::ZipReporter* reporter);

class RecordingReporter final : public stubframework::zip::ZipReporter {
 public:
  void ReportProgress(std::uint32_t index, std::uint32_t count) noexcept override {
    progress.emplace_back(index, count);
  }
  void ReportError(std::uint32_t code) noexcept override { errors.push_back(code); }

  std::vector<std::pair<std::uint32_t, std::uint32_t>> progress;
  std::vector<std::uint32_t> errors;
};

}  // namespace archivetest

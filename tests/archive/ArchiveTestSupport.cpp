#include "tests/archive/ArchiveTestSupport.h"

#include "base/FileSystem.h"
#include "base/Platform.h"
#include "base/UniqueAny.h"
#include "framework/ExtractArchive.h"
#include "tests/support/TestSupport.h"

namespace archivetest {

namespace {
void Walk(const std::wstring& root, const std::wstring& relative, std::map<std::wstring, std::string>* files,
          std::vector<std::wstring>* folders) {
  for (const auto& [name, isFolder] : testsupport::ListFolder(base::JoinPath(root, relative))) {
    const std::wstring child = relative.empty() ? name : relative + L"\\" + name;
    if (isFolder) {
      if (folders) folders->push_back(child);
      Walk(root, child, files, folders);
    } else if (files) {
      (*files)[child] = testsupport::ReadFileBytes(base::JoinPath(root, child));
    }
  }
}
}  // namespace

std::wstring FixturePath(const std::wstring& relative) {
  return testsupport::BinaryDir() + L"\\tests\\archive\\fixtures\\" + relative;
}

std::map<std::wstring, std::string> ReadTree(const std::wstring& folder) {
  std::map<std::wstring, std::string> files;
  Walk(folder, L"", &files, nullptr);
  return files;
}

std::vector<std::wstring> ListFolders(const std::wstring& folder) {
  std::vector<std::wstring> folders;
  Walk(folder, L"", nullptr, &folders);
  return folders;
}

bool ExtractFile(const std::wstring& path, const std::wstring& folder, stubframework::zip::ZipReporter* reporter) {
  base::UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  return stubframework::extractArchive(file.get(), folder, reporter);
}

}  // namespace archivetest

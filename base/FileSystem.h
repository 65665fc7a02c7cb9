// Small file-system queries and path helpers used across subsystems.
#pragma once

#include <string>

namespace base {

bool PathExists(const std::wstring& path);       // file or folder, any attributes
bool FileExists(const std::wstring& path);       // not a folder
bool DirectoryExists(const std::wstring& path);
// Joins a folder and a name with exactly one backslash between them.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);
std::wstring FileNameOf(const std::wstring& path);    // after the last "\" or "/"
std::wstring ParentFolderOf(const std::wstring& path);  // up to, not including, the last separator
// Full path of the running executable.
std::wstring CurrentModulePath();
// Creates a folder and all its missing parents; true if it exists afterwards.
bool CreateFolderTree(const std::wstring& path);

}  // namespace base

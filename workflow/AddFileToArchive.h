// Adds one file to a ZIP archive file (the zipped logs of an error report).
//
// An existing archive gets the new entry where its central directory was, then
// a rewritten central directory; should writing fail, the archive is put back
// as it was. A missing archive is created, and removed again if writing fails.
// Threads: any; the caller serialises access to one archive.
#pragma once

#include <string>

namespace stubframework::zip {

// Adds the bytes of `file` as an entry named by its file-name part (deflated at
// level 9, stored when that is not smaller). False when the names do not
// convert to the ANSI code page, the file cannot be read, the entry name is
// refused (empty, starting with "/", containing "\" or ":"), the archive is
// damaged or full, or writing fails.
[[nodiscard]] bool AddFileToArchive(const std::wstring& file, const std::wstring& archive) noexcept;

}  // namespace stubframework::zip

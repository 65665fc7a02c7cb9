// The language numbers of the installer: 108 rows of (two-letter code, English
// name), row 0 "other". Pure data and lookups, no system calls.
#pragma once

#include <cstdint>

namespace stubframework {

struct LanguageRow {
  const wchar_t* code;
  const wchar_t* englishName;
};

inline constexpr int kLanguageCount = 108;
inline constexpr int kLanguageOther = 0;
inline constexpr int kLanguageEnglish = 1;

// The row of a language number, or null outside 0 to 107.
const LanguageRow* languageRow(int number);

// Maps a Windows language identifier (low 16 bits are used) to a language number:
// the explicit identifiers first, then the primary language, 0 when nothing matches.
int languageNumberFromId(uint32_t languageId);

// The number of the row whose code equals `code` exactly (rows 1 to 107), else 0.
int languageNumberFromCode(const wchar_t* code);

}  // namespace stubframework

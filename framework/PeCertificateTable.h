// Reads the bytes that follow the first certificate of a PE image's certificate
// table (the Authenticode signature's security data directory). A build step may
// put a short UTF-8 text there for the pages to read. PE32 and PE32+ images are
// both understood (the optional header's magic picks the layout). Pure (no
// Windows header), so it builds natively and is fuzzed there.
#pragma once

#include "framework/ByteSource.h"

#include <cstdint>
#include <string>

namespace stubframework::pe {

// Trailing data above this size is taken as damage, not data.
inline constexpr std::uint32_t kMaxTrailingBytes = 100000;

enum class TrailerState {
  kMissing,  // not an image we can read, or the trailing part is implausible
  kEmpty,    // no certificate table, or nothing behind its first certificate
  kPresent,  // `bytes` holds the trailing bytes up to the first zero byte
};

TrailerState ReadCertificateTrailer(ByteSource& image, std::string& bytes);

}  // namespace stubframework::pe

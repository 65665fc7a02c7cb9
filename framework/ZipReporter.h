// What an archive extraction tells its caller while it runs: progress per entry
// and the system error code of a read or write that transferred too few bytes.
//
// The two operations are the whole interface, in this slot order; the script
// object implements it, so the destructor is not part of the interface (owners
// delete through their own types). Called on the thread that runs the extraction.
#pragma once

#include <cstdint>

namespace stubframework::zip {

class ZipReporter {
 public:
  // Before each entry with (index, count), and once more with (count, count) at the end.
  virtual void ReportProgress(std::uint32_t index, std::uint32_t count) noexcept = 0;
  // A read or write transferred fewer bytes than asked; `code` is the system error code.
  virtual void ReportError(std::uint32_t code) noexcept = 0;

 protected:
  ~ZipReporter() = default;
};

}  // namespace stubframework::zip

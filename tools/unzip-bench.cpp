// Command-line front end of the stub's archive extractor, for the benchmark:
//   unzip-bench <archive> <folder>
// Extracts the archive into the folder and prints the extraction's own time in
// seconds. Exit code 0 on success, 1 on a failed extraction, 2 on wrong usage.
#include "base/Platform.h"
#include "base/UniqueAny.h"
#include "framework/ExtractArchive.h"

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: unzip-bench <archive> <folder>\n", stderr);
    return 2;
  }
  LARGE_INTEGER frequency{}, start{}, end{};
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  base::UniqueFileHandle file(
      ::CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  const bool extracted = file && stubframework::extractArchive(file.get(), argv[2], nullptr);
  ::QueryPerformanceCounter(&end);
  std::printf("%.3f\n", static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart));
  return extracted ? 0 : 1;
}

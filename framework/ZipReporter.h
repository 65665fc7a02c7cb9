// What an archive operation tells its observer: progress per entry and the
// system error code of a failure. Implemented by the script object, which turns
// progress into the "installCurrent"/"installTotal" properties.
//
// Threads: called on the thread that runs the archive operation.
#pragma once

namespace stubframework::zip {

class ZipReporter {
 public:
  virtual ~ZipReporter() = default;
  virtual void ReportProgress(unsigned index, unsigned count) = 0;
  virtual void ReportError(unsigned long code) = 0;
};

}  // namespace stubframework::zip

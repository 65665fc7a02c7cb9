// The analytics client: the start and final reports of a run, the zipped-log
// error report, user-activity records and the two network questions the pages
// ask (region check, connectivity). Every report is fire-and-forget: its outcome
// never changes what the installer does.
//
// Ownership: created and owned by the framework; holds the configuration and the
// log without owning them (both outlive it).
// Threads: everything but TrackUserActivity's worker runs on the user-interface
// (main) thread and blocks it for the length of its request. Each user-activity
// record goes out on its own short-lived thread, which carries its own copy of
// the document; those threads may outlive this object and then log nothing.
#pragma once

#include "base/UniqueAny.h"

#include <memory>
#include <string>
#include <vector>

namespace stubframework {
class InstallerLog;
class StubConfig;
}  // namespace stubframework

namespace stubframework::core {

struct ActivityLogLink;

class Analytics {
 public:
  static constexpr int kLogAnalyticsSucceeded = 0;
  static constexpr int kLogAnalyticsFailed = 300;

  // `tempPathOverride` replaces the user's temporary path for the error report's
  // scratch folder when not empty (tests).
  Analytics(StubConfig* config, InstallerLog* log, std::wstring tempPathOverride = {});
  virtual ~Analytics();
  Analytics(const Analytics&) = delete;
  Analytics& operator=(const Analytics&) = delete;

  // POSTs the analytics report with status 0 ("started").
  virtual bool LogAnalyticsStart();
  // POSTs the analytics report with the configuration's status (0 reads as 3).
  virtual bool LogAnalyticsEnd();
  // Zips the report files into "log.zip" in a fresh temporary folder and PUTs it
  // to "/v1/reportError?token=<request token>&machineId=<reported machine id>".
  // False without files, when a file cannot be added, or when the send fails.
  // The folder is removed in every case; the file list stays.
  virtual bool SendErrorReport();
  // The start (false) or final (true) report; after a sent final report with
  // status 2 the error report too. 0 on success, 300 on failure.
  virtual int LogAnalytics(bool isFinal);

  // The files the next error report carries (set on the main thread).
  void setReportFiles(std::vector<std::wstring> files) { reportFiles_ = std::move(files); }
  const std::vector<std::wstring>& reportFiles() const { return reportFiles_; }

  // Starts a worker that POSTs the user-activity record; a failed send is logged.
  // Returns the worker's handle, which the caller may keep to wait on or drop.
  base::UniqueHandle TrackUserActivity(const std::wstring& activity);
  // Asks the service whether the user's country is under an embargo; sets the
  // page property "Country" to the answer's country (empty when there is none).
  bool IsInEmbargoedCountry();
  // The system's connected state.
  bool IsInternetConnected();
  // The reported form of the machine identity, for page script.
  std::wstring ReportedMachineId();

  // The UTF-16 analytics document of the start or the final report.
  std::wstring AnalyticsDocument(bool isFinal);

 private:
  bool sendAnalytics(bool isFinal);

  StubConfig* config_;
  InstallerLog* log_;
  std::wstring tempPathOverride_;
  std::vector<std::wstring> reportFiles_;
  std::shared_ptr<ActivityLogLink> activityLog_;
};

}  // namespace stubframework::core

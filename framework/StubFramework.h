// The one framework object of a run: owns the log, the configuration, the
// extracted user-interface package and the single-instance mutex, runs the main
// flow and its epilogue, and shuts down in a fixed order.
//
// Threads: created, run and released on the main thread (the user-interface
// thread). addReportFile may be called from worker threads.
#pragma once

#include "base/CriticalSection.h"
#include "base/UniqueAny.h"
#include "framework/ResultCodes.h"

#include <memory>
#include <string>
#include <vector>

namespace stubframework {

class InstallerLog;
class StubConfig;
class ResourceFolder;
class ExternalMethods;
namespace core {
class Analytics;
class HtmlExternal;
}

class StubFramework {
 public:
  // What a run may differ in; tests change these, the stub uses the defaults.
  struct Options {
    std::wstring tempPath;      // replaces the user's temporary path when not empty
    std::wstring buildVersion;  // replaces the build constant when not empty
  };

  static constexpr const wchar_t* kInstanceMutexName = L"VandorStubFramework";
  static constexpr const wchar_t* kWindowClassName = L"HTMLUI";

  // A new framework, or null when this process must not go on (another instance
  // runs: its window was brought forward).
  static StubFramework* create(const Options& options = Options());
  // Binds the catalogue and runs the main flow with its epilogue. Null does nothing.
  static void run(StubFramework* framework, ExternalMethods* methods);
  // Destroys the framework and ends the process with 197800 when a self-update
  // asked for it; otherwise returns the exit code the entry returns (0).
  static int release(StubFramework* framework);

  ~StubFramework();
  StubFramework(const StubFramework&) = delete;
  StubFramework& operator=(const StubFramework&) = delete;

  InstallerLog* log() const { return log_.get(); }
  StubConfig* config() const { return config_.get(); }
  ResourceFolder* resources() const { return resources_.get(); }
  core::Analytics* analytics() const { return analytics_.get(); }
  // The object behind window.external; null if it could not be made.
  core::HtmlExternal* external() const { return external_; }
  bool packageLoaded() const;

  // Files to be zipped into the next error report.
  std::vector<std::wstring> reportFiles();
  void appendReportFile(const std::wstring& path);

  // The exit code release() will use: selfUpdateCode, else the registry record.
  int resolveExitCode();

  // Binds the catalogue to the script object (freezing its dispatch table), then
  // resets the progress properties and records the package folder.
  void bindCatalogue(ExternalMethods* methods);

  // The main flow: start report, window, status fix-up, reports, log copy, clean-up.
  void mainFlow();

  // The folder the log is copied to at the end of a run: "<temp>\<product id>_log".
  std::wstring logCopyFolder();

 private:
  StubFramework(base::UniqueHandle instanceMutex, const Options& options);

  void loadResources();
  void runWindow();
  void runEpilogue(int statusBeforeFixUp);
  void dumpProperties();
  void copyLog();
  void removeExtractionFolders();

  Options options_;
  std::unique_ptr<InstallerLog> log_;
  std::unique_ptr<StubConfig> config_;
  std::unique_ptr<ResourceFolder> resources_;
  std::unique_ptr<core::Analytics> analytics_;
  base::UniqueHandle instanceMutex_;
  base::CriticalSection reportFilesLock_;
  std::vector<std::wstring> reportFiles_;
  core::HtmlExternal* external_ = nullptr;  // one reference, released last
};

// Adds a file to the next error report: 201 for a null path, 200 for a null
// framework, 202 when the file does not exist, 0 after adding it.
int addReportFile(StubFramework* framework, const wchar_t* path);

}  // namespace stubframework

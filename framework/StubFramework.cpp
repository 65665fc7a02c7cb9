#include "framework/StubFramework.h"

#include "base/FileSystem.h"
#include "base/Platform.h"
#include "base/ResultMacros.h"
#include "base/Text.h"
#include "framework/Debug.h"
#include "framework/InstallerLog.h"
#include "framework/Registry.h"
#include "framework/ResourceFolder.h"
#include "framework/StubConfig.h"
#include "framework/TempFolder.h"
#include "htmlui/HtmlExternal.h"
#include "htmlui/MainWindow.h"
#include "methods/ExternalMethods.h"
#include "services/Analytics.h"

#include <objbase.h>

#include <atomic>

namespace stubframework {

namespace {

constexpr wchar_t kUninstallOptionProperty[] = L"uninstallOption";
constexpr wchar_t kResourceLocationProperty[] = L"resourceLocation";
constexpr wchar_t kUnzipFolderMarker[] = L"__ZIP_Unzip_Folder__";

// The log that failures reported through the result macros go to.
std::atomic<InstallerLog*> g_failureLog{nullptr};

void LogFailure(const char* file, int line, HRESULT hr) noexcept {
  if (InstallerLog* log = g_failureLog.load()) log->error(L"%S(%d): failed with 0x%08x", file, line, hr);
}

// A second instance hands over to the running window and ends.
void BringRunningWindowForward() {
  HWND window = ::FindWindowW(StubFramework::kWindowClassName, nullptr);
  if (!window) return;
  ::SetForegroundWindow(window);
  if (::IsIconic(window)) ::ShowWindow(window, SW_RESTORE);
}

}  // namespace

StubFramework* StubFramework::create(const Options& options) {
  // The relaunch from a temporary copy runs before this point once it exists;
  // until then this process always goes on.
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, kInstanceMutexName);
  if (mutex && ::GetLastError() == ERROR_ALREADY_EXISTS) {
    BringRunningWindowForward();
    return nullptr;  // the process ends at once; the handle goes with it
  }
  return new (std::nothrow) StubFramework(base::UniqueHandle(mutex), options);
}

StubFramework::StubFramework(base::UniqueHandle instanceMutex, const Options& options)
    : options_(options), instanceMutex_(std::move(instanceMutex)) {
  log_.reset(new (std::nothrow) InstallerLog(options_.tempPath));
  if (log_) {
    g_failureLog.store(log_.get());
    base::SetFailureHook(&LogFailure);
  }
  config_.reset(new (std::nothrow) StubConfig(options_.buildVersion));
  loadResources();
  analytics_.reset(new (std::nothrow) core::Analytics(config_.get(), log_.get(), options_.tempPath));
  external_ = new (std::nothrow) core::HtmlExternal(this);
}

void StubFramework::loadResources() {
  // Makes the package folder and extracts the appended package; without it no
  // window is shown. The folder goes with the object (at destruction).
  resources_.reset(new (std::nothrow) ResourceFolder(log_.get()));
  if (resources_) resources_->load(options_.tempPath);
}

bool StubFramework::packageLoaded() const { return resources_ && resources_->loaded; }

StubFramework::~StubFramework() {
  analytics_.reset();
  resources_.reset();  // deletes the package folder, logging a failure
  config_.reset();
  if (g_failureLog.load() == log_.get()) {
    base::SetFailureHook(nullptr);
    g_failureLog.store(nullptr);
  }
  log_.reset();
  instanceMutex_.reset();
  if (external_) {
    external_->detachFramework();
    external_->Release();
  }
}

void StubFramework::run(StubFramework* framework, ExternalMethods* methods) {
  if (!framework) return;
  framework->bindCatalogue(methods);
  framework->mainFlow();
}

void StubFramework::bindCatalogue(ExternalMethods* methods) {
  if (!external_) return;
  external_->bindCatalogue(methods);
  external_->resetProgress();
  if (packageLoaded()) external_->setProperty(kResourceLocationProperty, resources_->folder);
}

void StubFramework::runWindow() {
  if (!external_ || !resources_) return;
  htmlui::MainWindowOptions options;
  if (ExternalMethods* methods = external_->catalogue()) options.methodKinds = methods->methodKinds();
  htmlui::runMainWindow(resources_->folder, external_, options);
}

void StubFramework::mainFlow() {
  if (analytics_) analytics_->LogAnalyticsStart();
  if (packageLoaded()) {
    const HRESULT comResult = ::CoInitialize(nullptr);
    runWindow();
    if (SUCCEEDED(comResult)) ::CoUninitialize();
  } else if (config_) {
    config_->setStatus(ERROR_STATUS);
  }
  if (!config_) return;
  const int status = config_->getStatus();
  const std::wstring option = config_->properties().get(kUninstallOptionProperty);
  if (status < ENVIRONMENT_NOT_MEET) config_->setStatus(fixUpStatus(status, option.c_str()));
  if (analytics_) analytics_->LogAnalyticsEnd();
  runEpilogue(status);
}

void StubFramework::runEpilogue(int statusBeforeFixUp) {
  if (statusBeforeFixUp == ERROR_STATUS) {
    dumpProperties();
    if (log_) {
      log_->close();
      if (!log_->path().empty()) appendReportFile(log_->path());
    }
    if (analytics_) {
      analytics_->setReportFiles(reportFiles());
      analytics_->SendErrorReport();
    }
  }
  copyLog();
  removeExtractionFolders();
}

void StubFramework::dumpProperties() {
  for (const auto& [name, value] : config_->properties().snapshot()) {
    debug::debug(this, L"Property %s: %s\n", name.c_str(), value.c_str());
  }
}

std::wstring StubFramework::logCopyFolder() {
  const std::wstring temp = options_.tempPath.empty() ? userTemporaryPath() : options_.tempPath;
  if (temp.empty() || !config_) return {};
  return base::JoinPath(temp, config_->productId() + L"_log");
}

void StubFramework::copyLog() {
  if (!log_ || log_->path().empty()) return;
  const std::wstring name = base::FileNameOf(log_->path());
  const std::wstring folder = logCopyFolder();
  std::wstring destination = name;  // without a temporary path: relative to the current directory
  if (!folder.empty()) {
    base::CreateFolderTree(folder);
    destination = base::JoinPath(folder, name);
  }
  ::CopyFileW(log_->path().c_str(), destination.c_str(), FALSE);
}

void StubFramework::removeExtractionFolders() {
  for (const auto& [name, value] : config_->properties().snapshot()) {
    if (name.find(kUnzipFolderMarker) != std::wstring::npos && !value.empty()) deleteFolder(value);
  }
}

std::vector<std::wstring> StubFramework::reportFiles() {
  base::CriticalSectionLock lock(reportFilesLock_);
  return reportFiles_;
}

void StubFramework::appendReportFile(const std::wstring& path) {
  base::CriticalSectionLock lock(reportFilesLock_);
  reportFiles_.push_back(path);
}

int StubFramework::resolveExitCode() {
  if (!config_) return 0;
  if (config_->selfUpdateCode() == StubConfig::kUnsetValue) {
    std::wstring stored;
    if (readRegValue(config_->baseRegKey(), regvalue::kSelfUpdateCode, stored)) {
      config_->setSelfUpdateCode(_wtoi(stored.c_str()));
    }
  }
  return config_->selfUpdateCode() == kSelfUpdateExitCode ? kSelfUpdateExitCode : 0;
}

int StubFramework::release(StubFramework* framework) {
  if (!framework) return 0;
  const int exitCode = framework->resolveExitCode();
  delete framework;
  if (exitCode == kSelfUpdateExitCode) ::ExitProcess(kSelfUpdateExitCode);
  return 0;
}

int addReportFile(StubFramework* framework, const wchar_t* path) {
  if (!path) return 201;
  if (!framework) return 200;
  if (!base::FileExists(path)) return 202;
  framework->appendReportFile(path);
  return 0;
}

}  // namespace stubframework

#include "services/Analytics.h"

#include "base/CriticalSection.h"
#include "base/Platform.h"
#include "base/Text.h"
#include "framework/InstallerLog.h"
#include "framework/StubConfig.h"
#include "framework/TempFolder.h"
#include "methods/LanguageTable.h"
#include "services/AnalyticsDocument.h"
#include "services/ErrorReportArchive.h"
#include "services/ReportChannel.h"
#include "services/ServiceAnswers.h"

#include <objbase.h>
#include <wininet.h>

#include <exception>

namespace stubframework::core {

namespace {

constexpr wchar_t kAnalyticsPath[] = L"/v1/logAnalytics";
constexpr wchar_t kReportErrorPath[] = L"/v1/reportError";
constexpr wchar_t kUserActivityPath[] = L"/v1/logUserActivity";
constexpr wchar_t kRegionCheckPath[] = L"/v1/isInEmbargoedCountry";
constexpr wchar_t kCountryProperty[] = L"Country";
constexpr wchar_t kArchiveName[] = L"log.zip";

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
  base::UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size = {};
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x7FFFFFFF) return false;
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  return bytes.empty() || (::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                           read == bytes.size());
}

bool SendDocument(const std::wstring& document, const wchar_t* path) {
  const std::string body = base::WideToUtf8(document);
  return SendMessage(body.data(), static_cast<DWORD>(body.size()), path, L"POST");
}

struct ActivityJob {
  std::string document;
  std::wstring activity;
  std::shared_ptr<ActivityLogLink> log;
};

}  // namespace

// The log as seen by user-activity workers; cut when the client goes away, so a
// late worker never writes to a log that no longer exists.
struct ActivityLogLink {
  base::CriticalSection lock;
  InstallerLog* log = nullptr;

  void activityFailed(const std::wstring& activity) {
    base::CriticalSectionLock guard(lock);
    if (log) log->error(L"TrackUserActivityTreadFunc track activity:%s failed!", activity.c_str());
  }
  void cut() {
    base::CriticalSectionLock guard(lock);
    log = nullptr;
  }
};

namespace {

DWORD WINAPI TrackUserActivityThreadFunc(void* parameter) noexcept {
  std::unique_ptr<ActivityJob> job(static_cast<ActivityJob*>(parameter));
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  try {
    if (!SendMessage(job->document.data(), static_cast<DWORD>(job->document.size()), kUserActivityPath, L"POST")) {
      job->log->activityFailed(job->activity);
    }
  } catch (const std::exception&) {
    // Nothing may leave a thread procedure; the record is simply lost.
  }
  job.reset();
  if (SUCCEEDED(com)) ::CoUninitialize();
  return 0;
}

}  // namespace

Analytics::Analytics(StubConfig* config, InstallerLog* log, std::wstring tempPathOverride)
    : config_(config),
      log_(log),
      tempPathOverride_(std::move(tempPathOverride)),
      activityLog_(std::make_shared<ActivityLogLink>()) {
  activityLog_->log = log;
}

Analytics::~Analytics() { activityLog_->cut(); }

std::wstring Analytics::AnalyticsDocument(bool isFinal) {
  if (!config_) return {};
  AnalyticsFields fields;
  fields.requestToken = config_->requestToken();
  fields.country = config_->country();
  fields.productId = config_->productId();
  fields.productVersion = config_->productVersion();
  fields.channelId = config_->channelId();
  fields.installLanguage = config_->installLanguage();
  fields.statusText = StatusText(isFinal ? FinalReportStatus(config_->getStatus()) : 0);
  fields.externalProperties = config_->externalProperties();
  fields.os = config_->osName();
  if (const LanguageRow* row = languageRow(config_->uiLanguageIndex())) fields.language = row->englishName;
  fields.architecture = config_->architecture();
  fields.defaultBrowser = config_->defaultBrowser();
  fields.clientVersion = config_->clientVersion();
  fields.machineId = config_->machineId();
  return BuildAnalyticsXml(fields);
}

bool Analytics::sendAnalytics(bool isFinal) {
  if (!config_) return false;
  return SendDocument(AnalyticsDocument(isFinal), kAnalyticsPath);
}

bool Analytics::LogAnalyticsStart() { return sendAnalytics(false); }

bool Analytics::LogAnalyticsEnd() { return sendAnalytics(true); }

bool Analytics::SendErrorReport() {
  if (reportFiles_.empty() || !config_) return false;
  const std::wstring folder = createTemporaryFolder(tempPathOverride_);
  if (folder.empty()) return false;
  bool sent = false;
  const std::wstring archive = folder + kArchiveName;
  if (BuildErrorReportArchive(reportFiles_, archive)) {
    std::string bytes;
    if (ReadWholeFile(archive, bytes)) {
      const std::wstring path =
          std::wstring(kReportErrorPath) + L"?token=" + config_->requestToken() + L"&machineId=" + config_->machineId();
      sent = SendMessage(bytes.data(), static_cast<DWORD>(bytes.size()), path.c_str(), L"PUT");
    }
  }
  deleteFolder(folder);
  return sent;
}

int Analytics::LogAnalytics(bool isFinal) {
  bool succeeded = sendAnalytics(isFinal);
  if (isFinal && succeeded && config_->getStatus() == 2) succeeded = SendErrorReport();
  return succeeded ? kLogAnalyticsSucceeded : kLogAnalyticsFailed;
}

base::UniqueHandle Analytics::TrackUserActivity(const std::wstring& activity) {
  if (log_) log_->debug(L"EMTrackUserActivity");
  if (!config_) return {};
  auto job = std::make_unique<ActivityJob>();
  job->document = base::WideToUtf8(
      BuildUserActivityXml(config_->requestToken(), config_->productId(), config_->productVersion(), activity));
  job->activity = activity;
  job->log = activityLog_;
  HANDLE thread = ::CreateThread(nullptr, 0, &TrackUserActivityThreadFunc, job.get(), 0, nullptr);
  if (!thread) return {};
  (void)job.release();  // the worker owns it now
  return base::UniqueHandle(thread);
}

bool Analytics::IsInEmbargoedCountry() {
  RegionVerdict verdict;
  if (config_) {
    const std::wstring document =
        BuildRegionCheckXml(config_->requestToken(), config_->productId(), config_->productVersion(),
                            config_->channelId(), config_->osName(), config_->machineId());
    std::string answer;
    if (ExchangeMessage(kRegionCheckPath, base::WideToUtf8(document), answer)) verdict = ParseRegionAnswer(answer);
    config_->properties().set(kCountryProperty, verdict.country);
  }
  if (log_) {
    log_->debug(L"EMIsInEmbargoedCountry:Result: %s Country: %s", verdict.isEmbargo.c_str(), verdict.country.c_str());
  }
  return verdict.embargoed();
}

bool Analytics::IsInternetConnected() {
  DWORD flags = 0;
  const bool connected = ::InternetGetConnectedState(&flags, 0) != FALSE;
  if (log_) log_->debug(L"EMIsInternetConnected: %s", connected ? L"connected" : L"disconnected");
  return connected;
}

std::wstring Analytics::ReportedMachineId() {
  if (log_) log_->debug(L"EMGetMachineId");
  const std::wstring id = config_ ? config_->machineId() : std::wstring();
  if (log_) log_->debug(L"EMGetMachineId Result : %s", id.c_str());
  return id;
}

}  // namespace stubframework::core

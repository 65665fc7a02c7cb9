// The analytics client against the reference service host: the exact report
// documents, user activity, the region check, the error report and the
// framework's own reports at the end of a run.
#include "base/FileSystem.h"
#include "base/Text.h"
#include "framework/InstallerLog.h"
#include "framework/StubConfig.h"
#include "framework/StubFramework.h"
#include "methods/LanguageTable.h"
#include "services/Analytics.h"
#include "tests/services/ServiceHostRecord.h"
#include "tests/services/ServiceTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace stubframework::core {
namespace {

using servicetest::RecordedRequest;
using servicetest::ScopedHostAnswers;
using servicetest::ServiceHostRecord;
using testsupport::ScopedTempDir;

constexpr wchar_t kVersion[] = L"64.2.0.7";
constexpr wchar_t kRegistryKey[] = L"SOFTWARE\\Vandor\\stubframework\\TRVK\\64";

class AnalyticsClient : public ::testing::Test {
 protected:
  AnalyticsClient()
      : registry_(HKEY_CURRENT_USER, kRegistryKey),
        log_(logDir_.path()),
        config_(kVersion),
        analytics_(&config_, &log_, scratch_.path()) {}

  std::string token() const { return base::WideToUtf8(config_.requestToken()); }

  // The analytics document, spelled out element by element.
  std::string expectedAnalytics(const std::string& status, const std::string& externalProperties) {
    const LanguageRow* row = languageRow(config_.uiLanguageIndex());
    return "<TVDLMAnalytics><requestToken>" + token() + "</requestToken><country>" +
           base::WideToUtf8(config_.country()) + "</country><mainApp><productId>TRVK</productId>" +
           "<productVersion>64.2.0.7</productVersion><channelId>" + base::WideToUtf8(config_.channelId()) +
           "</channelId><installLanguage>English</installLanguage><status>" + status + "</status>" +
           externalProperties + "</mainApp><error></error><userEnvironment><OS>" + base::WideToUtf8(config_.osName()) +
           "</OS><language>" + base::WideToUtf8(row ? row->englishName : L"") +
           "</language><architecture>x64</architecture><defaultBrowser>" + base::WideToUtf8(config_.defaultBrowser()) +
           "</defaultBrowser></userEnvironment>" + "<TVDLMVersion>1.0</TVDLMVersion><machineId>" +
           base::WideToUtf8(config_.machineId()) + "</machineId></TVDLMAnalytics>";
  }

  std::string logText() { return testsupport::ReadFileBytes(log_.path()); }

  ServiceHostRecord host_;
  testsupport::ScopedRegistryCleanup registry_;
  ScopedTempDir logDir_;
  ScopedTempDir scratch_;
  InstallerLog log_;
  StubConfig config_;
  Analytics analytics_;
};

TEST_F(AnalyticsClient, StartReportIsTheExactDocumentInUtf8WithoutBom) {
  config_.setChannel(L"b\x00e9ta&<x>");  // sent unescaped, as UTF-8
  ASSERT_TRUE(analytics_.LogAnalyticsStart());
  RecordedRequest request;
  ASSERT_TRUE(host_.waitFor("/v1/logAnalytics", token(), request));
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.header("Content-Type"), "application/xml");
  EXPECT_EQ(request.body, expectedAnalytics("started", ""));
  EXPECT_NE(request.body.find("<channelId>b\xc3\xa9ta&<x></channelId>"), std::string::npos);
  EXPECT_NE(request.body.rfind("<TVDLMAnalytics>", 0), std::string::npos);  // no byte-order mark in front
  EXPECT_EQ(request.header("Content-Length"), std::to_string(request.body.size()));
}

TEST_F(AnalyticsClient, FinalReportCarriesTheStatusText) {
  config_.externalProperties()[L"propertyName1"] = L"propertyValue1";
  config_.externalProperties()[L"a&b"] = L"<v>";
  const std::string properties =
      "<externalProperties><property><name>a&b</name><value><v></value></property>"
      "<property><name>propertyName1</name><value>propertyValue1</value></property></externalProperties>";
  const struct {
    int status;
    const char* text;
  } cases[] = {{0, "canceled"}, {7, ""}, {93, "remove canceled"}, {5, "downloaded"}};
  for (const auto& c : cases) {
    config_.setStatus(c.status);
    ASSERT_TRUE(analytics_.LogAnalyticsEnd());
  }
  const std::vector<RecordedRequest> reports = host_.waitForCount("/v1/logAnalytics", token(), 4);
  ASSERT_EQ(reports.size(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(reports[i].body, expectedAnalytics(cases[i].text, properties));
}

TEST_F(AnalyticsClient, UserActivityGoesOutOnItsOwnThread) {
  base::UniqueHandle worker = analytics_.TrackUserActivity(L"Welcome_Next&Go");
  ASSERT_TRUE(worker);
  ASSERT_EQ(::WaitForSingleObject(worker.get(), 30000), WAIT_OBJECT_0);
  RecordedRequest request;
  ASSERT_TRUE(host_.waitFor("/v1/logUserActivity", token(), request));
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.header("Content-Type"), "application/xml");
  EXPECT_EQ(request.body, "<UserActivity><token>" + token() +
                              "</token><productId>TRVK</productId><productVersion>64.2.0.7</productVersion>"
                              "<activity>Welcome_Next&Go</activity></UserActivity>");
  EXPECT_NE(logText().find("EMTrackUserActivity"), std::string::npos);
  EXPECT_EQ(logText().find("failed!"), std::string::npos);
}

TEST_F(AnalyticsClient, FailedSendsAreLoggedForUserActivityOnly) {
  servicetest::ScopedUnreachableService unreachable;
  ASSERT_TRUE(unreachable.active());
  base::UniqueHandle worker = analytics_.TrackUserActivity(L"Agreement_Accept");
  ASSERT_TRUE(worker);
  ASSERT_EQ(::WaitForSingleObject(worker.get(), 30000), WAIT_OBJECT_0);
  EXPECT_NE(logText().find("] TrackUserActivityTreadFunc track activity:Agreement_Accept failed!"), std::string::npos)
      << logText();
  EXPECT_FALSE(analytics_.LogAnalyticsStart());
  EXPECT_EQ(analytics_.LogAnalytics(false), Analytics::kLogAnalyticsFailed);
  EXPECT_EQ(logText().find("logAnalytics"), std::string::npos);
  // No answer: no embargo and no country.
  config_.properties().set(L"Country", L"stale");
  EXPECT_FALSE(analytics_.IsInEmbargoedCountry());
  EXPECT_EQ(config_.properties().get(L"Country"), L"");
}

TEST_F(AnalyticsClient, RegionCheckReadsTheVerdictAndSetsCountry) {
  const struct {
    const char* answer;
    int status;
    bool embargoed;
    const wchar_t* country;
  } cases[] = {
      {"<Answer><country>FR</country><isEmbargo>false</isEmbargo></Answer>", 200, false, L"FR"},
      {"<Answer><country>CU</country><isEmbargo>True</isEmbargo></Answer>", 200, false, L"CU"},
      {"<Answer><isEmbargo>true</isEmbargo><country>IR</country></Answer>", 200, true, L"IR"},
      {"<Answer><country>KP</country><isEmbargo>true</isEmbargo></Answer>", 500, true, L"KP"},
      {"", 200, false, L""},
  };
  for (const auto& c : cases) {
    ScopedHostAnswers answers(host_, std::string(R"({"embargoAnswer": ")") + c.answer + R"(", "embargoStatus": )" +
                                         std::to_string(c.status) + "}");
    ASSERT_TRUE(answers.applied());
    config_.properties().set(L"Country", L"stale");
    EXPECT_EQ(analytics_.IsInEmbargoedCountry(), c.embargoed) << c.answer;
    EXPECT_EQ(config_.properties().get(L"Country"), c.country) << c.answer;
  }
  EXPECT_NE(logText().find("EMIsInEmbargoedCountry:Result: false Country: FR"), std::string::npos);
  EXPECT_NE(logText().find("EMIsInEmbargoedCountry:Result: true Country: IR"), std::string::npos);

  const std::vector<RecordedRequest> requests = host_.matching("/v1/isInEmbargoedCountry", token());
  ASSERT_EQ(requests.size(), 5u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].header("Content-Type"), "application/xml");
  EXPECT_EQ(requests[0].body, "<RegionRestrictions><token>" + token() +
                                  "</token><productId>TRVK</productId><productVersion>64.2.0.7</productVersion>"
                                  "<channel>test</channel><os>" +
                                  base::WideToUtf8(config_.osName()) + "</os><machineId>" +
                                  base::WideToUtf8(config_.machineId()) + "</machineId></RegionRestrictions>");
}

TEST_F(AnalyticsClient, ConnectivityAndMachineIdAnswerWithTheirLogLines) {
  const bool connected = analytics_.IsInternetConnected();
  EXPECT_NE(logText().find(connected ? "EMIsInternetConnected: connected" : "EMIsInternetConnected: disconnected"),
            std::string::npos);
  const std::wstring id = analytics_.ReportedMachineId();
  EXPECT_EQ(id, config_.machineId());
  ASSERT_EQ(id.size(), 64u);
  EXPECT_NE(id, config_.machineIdSource());
  EXPECT_NE(logText().find("EMGetMachineId Result : " + base::WideToUtf8(id)), std::string::npos);
}

TEST_F(AnalyticsClient, ErrorReportWithoutFilesSendsNothing) {
  EXPECT_FALSE(analytics_.SendErrorReport());
  ASSERT_TRUE(analytics_.LogAnalyticsStart());  // a later request from the same thread
  RecordedRequest marker;
  ASSERT_TRUE(host_.waitFor("/v1/logAnalytics", token(), marker));
  EXPECT_TRUE(host_.matching("/v1/reportError", token()).empty());
  EXPECT_TRUE(testsupport::ListFolder(scratch_.path()).empty());
}

TEST_F(AnalyticsClient, ErrorReportUploadsTheListedFilesAsOneZip) {
  ScopedTempDir files;
  ASSERT_TRUE(testsupport::WriteFileBytes(files.file(L"install.log"), "first file\r\n"));
  ASSERT_TRUE(testsupport::WriteFileBytes(files.file(L"second.txt"), std::string(5000, 'z')));
  analytics_.setReportFiles({files.file(L"install.log"), files.file(L"second.txt")});
  ASSERT_TRUE(analytics_.SendErrorReport());
  RecordedRequest request;
  ASSERT_TRUE(host_.waitFor("/v1/reportError", token(), request));
  EXPECT_EQ(request.method, "PUT");
  EXPECT_EQ(request.query, "token=" + token() + "&machineId=" + base::WideToUtf8(config_.machineId()));
  EXPECT_EQ(request.header("Content-Type"), "application/xml");
  const servicetest::Json* archive = request.raw.find("archive");
  ASSERT_NE(archive, nullptr) << request.raw.str("archiveError");
  ASSERT_EQ(archive->items.size(), 2u);
  EXPECT_EQ(archive->items[0].str("name"), "install.log");
  EXPECT_EQ(archive->items[0].str("body"), "first file\r\n");
  EXPECT_EQ(archive->items[1].str("name"), "second.txt");
  EXPECT_EQ(archive->items[1].str("body"), std::string(5000, 'z'));
  EXPECT_TRUE(testsupport::ListFolder(scratch_.path()).empty());  // the scratch folder is gone
  EXPECT_EQ(analytics_.reportFiles().size(), 2u);                 // the list stays
}

TEST_F(AnalyticsClient, ErrorReportStopsAtAFileThatCannotBeAdded) {
  ScopedTempDir files;
  ASSERT_TRUE(testsupport::WriteFileBytes(files.file(L"a.log"), "a"));
  analytics_.setReportFiles({files.file(L"a.log"), files.file(L"missing.log")});
  EXPECT_FALSE(analytics_.SendErrorReport());
  EXPECT_TRUE(testsupport::ListFolder(scratch_.path()).empty());
  EXPECT_TRUE(host_.matching("/v1/reportError", token()).empty());
}

TEST_F(AnalyticsClient, FinalReportWithErrorStatusAlsoSendsTheErrorReport) {
  ScopedTempDir files;
  ASSERT_TRUE(testsupport::WriteFileBytes(files.file(L"a.log"), "a"));
  analytics_.setReportFiles({files.file(L"a.log")});
  config_.setStatus(2);
  EXPECT_EQ(analytics_.LogAnalytics(true), Analytics::kLogAnalyticsSucceeded);
  RecordedRequest upload;
  ASSERT_TRUE(host_.waitFor("/v1/reportError", token(), upload));
  RecordedRequest report;
  ASSERT_TRUE(host_.waitFor("/v1/logAnalytics", token(), report));
  EXPECT_EQ(report.body, expectedAnalytics("error occurred", ""));
}

TEST(FrameworkReports, ARunWithoutPagesReportsStartErrorAndItsLog) {
  ServiceHostRecord host;
  testsupport::ScopedRegistryCleanup registry(HKEY_CURRENT_USER, L"SOFTWARE\\Vandor\\stubframework\\TRVK\\65");
  ScopedTempDir temp;
  StubFramework::Options options;
  options.tempPath = temp.path();
  options.buildVersion = L"65.0.1.2";
  StubFramework* framework = nullptr;
  // Another test program may hold the single-instance mutex for a moment.
  for (int attempt = 0; attempt < 100 && !framework; ++attempt) {
    framework = StubFramework::create(options);
    if (!framework) ::Sleep(100);
  }
  ASSERT_NE(framework, nullptr);
  ASSERT_NE(framework->analytics(), nullptr);
  const std::string token = base::WideToUtf8(framework->config()->requestToken());
  const std::wstring logName = base::FileNameOf(framework->log()->path());
  StubFramework::run(framework, nullptr);  // no page package: status 2, no window
  EXPECT_EQ(StubFramework::release(framework), 0);

  const std::vector<RecordedRequest> reports = host.waitForCount("/v1/logAnalytics", token, 2);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_NE(reports[0].body.find("<status>started</status>"), std::string::npos);
  EXPECT_NE(reports[1].body.find("<status>error occurred</status>"), std::string::npos);
  EXPECT_EQ(reports[1].body.find("<externalProperties>"), std::string::npos);  // the map is empty here
  RecordedRequest upload;
  ASSERT_TRUE(host.waitFor("/v1/reportError", token, upload));
  const servicetest::Json* archive = upload.raw.find("archive");
  ASSERT_NE(archive, nullptr);
  ASSERT_EQ(archive->items.size(), 1u);
  EXPECT_EQ(archive->items[0].str("name"), base::WideToUtf8(logName));
  EXPECT_NE(archive->items[0].str("body").find("Property downloadTotal: 1"), std::string::npos);
}

}  // namespace
}  // namespace stubframework::core

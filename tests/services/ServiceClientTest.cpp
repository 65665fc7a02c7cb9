// The token channel (WinINet) and the report channel (WinHTTP) against the
// reference service host.
#include "base/Text.h"
#include "base/UniqueAny.h"
#include "services/ReportChannel.h"
#include "services/ServiceEndpoint.h"
#include "services/TokenChannel.h"
#include "tests/services/ServiceHostRecord.h"
#include "tests/services/ServiceTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace stubframework::core {
namespace {

// The user's browser proxy setting as the system keeps it (the binary
// "DefaultConnectionSettings" record), replaced for one scope.
class ScopedBrowserProxy {
 public:
  explicit ScopedBrowserProxy(const std::string& proxy) {
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kConnections, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key_.put(),
                          nullptr) != ERROR_SUCCESS) {
      return;
    }
    DWORD size = 0;
    if (::RegQueryValueExW(key_.get(), kValue, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
      saved_.resize(size);
      hadValue_ = ::RegQueryValueExW(key_.get(), kValue, nullptr, nullptr, saved_.data(), &size) == ERROR_SUCCESS;
    }
    std::vector<BYTE> record;
    auto addDword = [&record](DWORD value) {
      for (int i = 0; i < 4; ++i) record.push_back(static_cast<BYTE>(value >> (8 * i)));
    };
    addDword(0x46);  // the record's format mark
    addDword(1);     // change counter
    addDword(0x3);   // direct, plus a named proxy
    addDword(static_cast<DWORD>(proxy.size()));
    record.insert(record.end(), proxy.begin(), proxy.end());
    addDword(0);  // no bypass list
    addDword(0);  // no configuration script
    record.resize(record.size() + 32, 0);
    applied_ = ::RegSetValueExW(key_.get(), kValue, 0, REG_BINARY, record.data(), static_cast<DWORD>(record.size())) ==
               ERROR_SUCCESS;
  }
  ~ScopedBrowserProxy() {
    if (!key_) return;
    if (hadValue_) {
      ::RegSetValueExW(key_.get(), kValue, 0, REG_BINARY, saved_.data(), static_cast<DWORD>(saved_.size()));
    } else {
      ::RegDeleteValueW(key_.get(), kValue);
    }
  }
  bool applied() const { return applied_; }

 private:
  static constexpr wchar_t kConnections[] =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
  static constexpr wchar_t kValue[] = L"DefaultConnectionSettings";
  base::UniqueRegKey key_;
  std::vector<BYTE> saved_;
  bool hadValue_ = false;
  bool applied_ = false;
};

using servicetest::RecordedRequest;
using servicetest::ScopedHostAnswers;
using servicetest::ServiceHostRecord;
using servicetest::UniqueMarker;

class ServiceClient : public ::testing::Test {
 protected:
  ServiceHostRecord host_;
};

TEST_F(ServiceClient, TokenizeReplacesTheUrlWithTheAnsweredOne) {
  const std::string marker = UniqueMarker();
  // Spaces, "&" and non-ASCII text travel as raw UTF-8, not form-encoded.
  const std::wstring original =
      L"http://cdn.test/pkg/" + base::Utf8ToWide(marker) + L"/Tarvik Setup \x00fc.msi?a=1&b=2";
  std::wstring url = original;
  ASSERT_TRUE(TokenizeUrl(url));
  EXPECT_EQ(url, original + L"&token=T0K3N");
  RecordedRequest request;
  ASSERT_TRUE(host_.waitFor("/v1/token", marker, request));
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.body, base::WideToUtf8(original));
  EXPECT_EQ(request.header("User-Agent").rfind("Mozilla/", 0), 0u);  // the browser's user agent
  EXPECT_EQ(request.header("Content-Length"), std::to_string(base::WideToUtf8(original).size()));
}

TEST_F(ServiceClient, TokenizeKeepsTheUrlWhenTheAnswerHasNoTokenizedUrl) {
  ScopedHostAnswers answers(host_, R"({"tokenAnswer": "missing"})");
  ASSERT_TRUE(answers.applied());
  const std::wstring original = L"http://cdn.test/" + base::Utf8ToWide(UniqueMarker()) + L".msi";
  std::wstring url = original;
  EXPECT_FALSE(TokenizeUrl(url));
  EXPECT_EQ(url, original);
}

TEST_F(ServiceClient, TokenizeUsesAnAnswerWithTheKeyEvenWithAnErrorStatus) {
  ScopedHostAnswers answers(
      host_,
      R"({"tokenStatus": 500, "tokenAnswer": "{\"error\":\"busy\",\"tokenizedUrl\":\"https://cdn.test/x?sig=\u00e9\"}"})");
  ASSERT_TRUE(answers.applied());
  std::wstring url = L"http://cdn.test/" + base::Utf8ToWide(UniqueMarker());
  ASSERT_TRUE(TokenizeUrl(url));
  EXPECT_EQ(url, L"https://cdn.test/x?sig=\x00e9");
}

TEST_F(ServiceClient, TokenizeRejectsAnAnswerThatIsNotUtf8) {
  // {"tokenizedUrl":"http://a/\xff"} with a byte that cannot start a UTF-8 sequence.
  ScopedHostAnswers answers(host_, R"({"tokenAnswerBase64": "eyJ0b2tlbml6ZWRVcmwiOiJodHRwOi8vYS//In0="})");
  ASSERT_TRUE(answers.applied());
  const std::wstring original = L"http://cdn.test/" + base::Utf8ToWide(UniqueMarker());
  std::wstring url = original;
  EXPECT_FALSE(TokenizeUrl(url));
  EXPECT_EQ(url, original);
}

TEST_F(ServiceClient, TokenizeOfAnEmptyUrlAsksNothing) {
  const size_t before = host_.all().size();
  std::wstring url;
  EXPECT_FALSE(TokenizeUrl(url));
  EXPECT_TRUE(url.empty());
  EXPECT_EQ(host_.all().size(), before);
}

TEST_F(ServiceClient, PostToUrlSendsTheQueryAsPartOfThePathAndReadsAnyStatus) {
  const std::string marker = UniqueMarker();
  std::string response;
  ASSERT_TRUE(PostToUrl(L"http://127.0.0.1:18080/v1/elsewhere?m=" + base::Utf8ToWide(marker), "payload", response));
  EXPECT_EQ(response, "not found");  // a 404 answer is still an answer
  RecordedRequest request;
  ASSERT_TRUE(host_.waitFor("/v1/elsewhere", marker, request));
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.query, "m=" + marker);
  EXPECT_EQ(request.body, "payload");
}

TEST_F(ServiceClient, PostToUrlFailsWithoutAUsableUrlOrServer) {
  const struct {
    std::wstring url;
  } cases[] = {
      {L"ftp://127.0.0.1/v1/token"},
      {L"not a url"},
      {L""},
      {L"http://127.0.0.1:" + std::to_wstring(servicetest::ClosedLoopbackPort()) + L"/v1/token"},
  };
  for (const auto& c : cases) {
    std::string response = "stale";
    EXPECT_FALSE(PostToUrl(c.url, "x", response)) << c.url;
    EXPECT_TRUE(response.empty()) << c.url;
  }
}

TEST_F(ServiceClient, ReportsCarryTheirHeaderAndUserAgent) {
  const std::string marker = UniqueMarker();
  const std::string body = "<Report>" + marker + "&</Report>";
  ASSERT_TRUE(SendMessage(body.data(), static_cast<DWORD>(body.size()), L"/v1/logAnalytics", L"POST"));
  RecordedRequest request;
  ASSERT_TRUE(host_.waitFor("/v1/logAnalytics", marker, request));
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.body, body);
  EXPECT_EQ(request.header("Content-Type"), "application/xml");
  EXPECT_EQ(request.header("User-Agent"), "Pellion Message Client/1.0");
}

TEST_F(ServiceClient, AReportSendSucceedsEvenWhenTheServerRejectsIt) {
  const std::string marker = UniqueMarker();
  const std::wstring path = L"/v1/unknownReport?m=" + base::Utf8ToWide(marker);
  ASSERT_TRUE(SendMessage("x", 1, path.c_str(), L"PUT"));
  RecordedRequest request;
  ASSERT_TRUE(host_.waitFor("/v1/unknownReport", marker, request));
  EXPECT_EQ(request.method, "PUT");
}

TEST_F(ServiceClient, ExchangeReadsTheAnswerAndSendsTheHeaderOnlyWithABody) {
  ScopedHostAnswers answers(host_, R"({"embargoStatus": 500, "embargoAnswer": "<a>answer longer than one chunk )" +
                                       std::string(600, 'x') + R"(</a>"})");
  ASSERT_TRUE(answers.applied());
  const std::string marker = UniqueMarker();
  const std::wstring path = L"/v1/isInEmbargoedCountry?m=" + base::Utf8ToWide(marker);
  std::string response;
  ASSERT_TRUE(ExchangeMessage(path.c_str(), "", response));
  EXPECT_EQ(response, "<a>answer longer than one chunk " + std::string(600, 'x') + "</a>");
  RecordedRequest request;
  ASSERT_TRUE(host_.waitFor("/v1/isInEmbargoedCountry", marker, request));
  EXPECT_EQ(request.body, "");
  EXPECT_EQ(request.header("Content-Type"), "");

  ASSERT_TRUE(ExchangeMessage(path.c_str(), "<q/>", response));
  const std::vector<RecordedRequest> both = host_.matching("/v1/isInEmbargoedCountry", marker);
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(both[1].body, "<q/>");
  EXPECT_EQ(both[1].header("Content-Type"), "application/xml");
}

TEST_F(ServiceClient, ReportsGoThroughTheUsersBrowserProxy) {
  ScopedBrowserProxy proxy("127.0.0.1:18080");  // the reference host stands in for the proxy
  ASSERT_TRUE(proxy.applied());
  servicetest::ScopedUnreachableService unreachable;  // so only the proxy can deliver the report
  ASSERT_TRUE(unreachable.active());
  const std::string marker = UniqueMarker();
  const std::wstring path = L"/v1/logAnalytics?m=" + base::Utf8ToWide(marker);
  ASSERT_TRUE(SendMessage("<r/>", 4, path.c_str(), L"POST"));
  RecordedRequest request;
  ASSERT_TRUE(host_.waitFor("/v1/logAnalytics", marker, request));
  EXPECT_EQ(request.body, "<r/>");
  EXPECT_EQ(request.header("Host"), "127.0.0.1:" + std::to_string(ServicePort()));
}

TEST_F(ServiceClient, UnreachableServiceFailsEveryReport) {
  servicetest::ScopedUnreachableService unreachable;
  ASSERT_TRUE(unreachable.active());
  EXPECT_FALSE(SendMessage("x", 1, L"/v1/logAnalytics", L"POST"));
  std::string response = "stale";
  EXPECT_FALSE(ExchangeMessage(L"/v1/isInEmbargoedCountry", "x", response));
  EXPECT_TRUE(response.empty());
  std::wstring url = L"http://cdn.test/a.msi";
  EXPECT_FALSE(TokenizeUrl(url));
  EXPECT_EQ(url, L"http://cdn.test/a.msi");
  EXPECT_TRUE(OpenReportChannel());
}

}  // namespace
}  // namespace stubframework::core

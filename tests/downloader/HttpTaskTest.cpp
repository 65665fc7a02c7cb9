// One HTTP GET over asynchronous WinINet against nginx and the fault server.
#include "downloader/HttpTask.h"
#include "tests/downloader/EngineTestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace enginetest;

class HttpTaskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    baseline_ = downloader::details::LiveObjectCount();
    logger_ = Make<RecordingLogger>();
    recorder_ = Make<HttpRecorder>();
  }
  void TearDown() override {
    recorder_->Release();
    logger_->Release();
    EXPECT_TRUE(WaitForLiveObjects(baseline_)) << "engine objects leaked";
  }
  // Runs one request to completion.
  void Run(const std::wstring& url, downloader::HttpRange range) {
    auto* task = downloader::HttpTask::Create(url.c_str(), std::move(range), recorder_, logger_);
    ASSERT_NE(task, nullptr);
    task->Start();
    task->Release();  // the running task holds its own reference
    ASSERT_TRUE(recorder_->done.Wait()) << "no completion";
    EXPECT_EQ(recorder_->completions, 1);
  }

  long baseline_ = 0;
  RecordingLogger* logger_ = nullptr;
  HttpRecorder* recorder_ = nullptr;
};

TEST_F(HttpTaskTest, WholeEntityWithContentLength) {
  ServerLog access(L"nginx-access.log");
  Run(NginxUrl(L"mem.bin"), {});
  EXPECT_EQ(HexResult(recorder_->result), "0x00000000");
  EXPECT_EQ(recorder_->headers, 1);
  EXPECT_EQ(recorder_->header.statusCode, 200);
  EXPECT_EQ(recorder_->header.offset, 0);
  EXPECT_EQ(recorder_->header.size, 300000);
  EXPECT_EQ(recorder_->header.total, 300000);
  EXPECT_FALSE(recorder_->header.etag.empty());
  EXPECT_EQ(recorder_->body, ServedBytes(L"mem.bin"));
  EXPECT_TRUE(logger_->Contains(L"HttpTask::ProcessHeader> 200 (OFFSET:0 SIZE:300000 TOTAL:300000 ETAG:\""));
  EXPECT_TRUE(logger_->Contains(L"HttpTask::ProcessData> Complete."));
  const auto lines = access.NewLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "GET /mem.bin range= ifrange= status=200 bytes=300000");
}

TEST_F(HttpTaskTest, RangeWithIfRangeIsSentAndTheContentRangeRead) {
  // First learn the entity's ETag, then ask for bytes 100-199 on that condition.
  Run(NginxUrl(L"mem.bin"), {});
  const std::string etag = recorder_->header.etag;
  recorder_->Release();
  recorder_ = Make<HttpRecorder>();
  ServerLog access(L"nginx-access.log");
  Run(NginxUrl(L"mem.bin"), {100, 100, etag});
  EXPECT_EQ(recorder_->result, 0);
  EXPECT_EQ(recorder_->header.statusCode, 206);
  EXPECT_EQ(recorder_->header.offset, 100);
  EXPECT_EQ(recorder_->header.size, 100);
  EXPECT_EQ(recorder_->header.total, 300000);
  EXPECT_EQ(recorder_->body, ServedBytes(L"mem.bin").substr(100, 100));
  EXPECT_TRUE(logger_->Contains(L"HttpTask::SetRange> Range: bytes=100-199"));
  EXPECT_TRUE(logger_->Contains(L"HttpTask::SetIfRange> If-Range: " + std::wstring(etag.begin(), etag.end())));
  const auto lines = access.NewLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "GET /mem.bin range=bytes=100-199 ifrange=" + etag + " status=206 bytes=100");
}

TEST_F(HttpTaskTest, SizeZeroSendsNeitherRangeNorIfRange) {
  ServerLog access(L"nginx-access.log");
  Run(NginxUrl(L"mem.bin"), {0, 0, "\"some-etag\""});
  EXPECT_EQ(recorder_->header.statusCode, 200);
  const auto lines = access.NewLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("GET /mem.bin range= ifrange= status=200", 0), 0u) << lines[0];
  EXPECT_FALSE(logger_->Contains(L"HttpTask::SetIfRange"));
}

TEST_F(HttpTaskTest, NoContentRangeAndNoContentLength) {
  Run(FaultUrl(L"nolength", L"mem.bin"), {});
  EXPECT_EQ(recorder_->result, 0);
  EXPECT_EQ(recorder_->header.statusCode, 200);
  EXPECT_EQ(recorder_->header.offset, 0);
  EXPECT_EQ(recorder_->header.size, 0);
  EXPECT_EQ(recorder_->header.total, -1);
  EXPECT_EQ(recorder_->body, ServedBytes(L"mem.bin"));
}

TEST_F(HttpTaskTest, UnparsableContentRangeFallsBackToContentLength) {
  Run(FaultUrl(L"garbagerange", L"mem.bin"), {});
  EXPECT_TRUE(logger_->Contains(L"HttpTask::GetContentRange> Unknown content range bytes abc."));
  EXPECT_EQ(recorder_->header.offset, 0);
  EXPECT_EQ(recorder_->header.size, 300000);
  EXPECT_EQ(recorder_->header.total, 300000);
}

TEST_F(HttpTaskTest, EmptyBodyGivesAHeaderAndNoData) {
  Run(NginxUrl(L"empty.bin"), {});
  EXPECT_EQ(recorder_->result, 0);
  EXPECT_EQ(recorder_->headers, 1);
  EXPECT_EQ(recorder_->header.total, 0);
  EXPECT_EQ(recorder_->dataCalls, 0);
}

TEST_F(HttpTaskTest, ErrorStatusIsPassedOnNotJudged) {
  Run(FaultUrl(L"status404", L"mem.bin"), {});
  EXPECT_EQ(recorder_->result, 0);
  EXPECT_EQ(recorder_->header.statusCode, 404);
  EXPECT_EQ(recorder_->body, "error 404\n");
}

TEST_F(HttpTaskTest, RefusedConnectionFailsWithTheWinInetCode) {
  // Port 1 on loopback: nothing listens there.
  Run(L"http://127.0.0.1:1/none", {});
  EXPECT_LT(recorder_->result, 0);
  EXPECT_EQ(recorder_->headers, 0);
  EXPECT_TRUE(logger_->Contains(L"INTERNET_STATUS_REQUEST_COMPLETE failed:") ||
              logger_->Contains(L"HttpSendRequestA failed:"))
      << logger_->Joined();
}

TEST_F(HttpTaskTest, CancelDuringStreamingCompletesWithCancelled) {
  auto* task = downloader::HttpTask::Create(FaultUrl(L"slow", L"big.bin").c_str(), {}, recorder_, logger_);
  ASSERT_NE(task, nullptr);
  recorder_->onFirstData = [task] { task->Cancel(); };
  task->Start();
  ASSERT_TRUE(recorder_->done.Wait());
  EXPECT_EQ(HexResult(recorder_->result), "0x80072EF1");
  EXPECT_LT(recorder_->body.size(), ServedBytes(L"big.bin").size());
  EXPECT_TRUE(logger_->Contains(L"HttpTask::Cancel> Cancel"));
  task->Release();
}

}  // namespace

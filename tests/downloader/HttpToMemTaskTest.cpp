// Whole-entity downloads into memory, and the blocking adapter over them.
#include "downloader/BlockingDownload.h"
#include "downloader/HttpToMemTask.h"
#include "framework/DownloadLogger.h"
#include "framework/InstallerLog.h"
#include "tests/downloader/EngineTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace enginetest;

class HttpToMemTaskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    baseline_ = downloader::details::LiveObjectCount();
    logger_ = Make<RecordingLogger>();
    recorder_ = Make<MemRecorder>();
  }
  void TearDown() override {
    recorder_->Release();
    logger_->Release();
    EXPECT_TRUE(WaitForLiveObjects(baseline_)) << "engine objects leaked";
  }
  void Run(const std::wstring& url) {
    recorder_->Release();
    recorder_ = Make<MemRecorder>();
    auto* task = downloader::HttpToMemTask::Create(url.c_str(), recorder_, logger_);
    ASSERT_NE(task, nullptr);
    task->Start();
    task->Release();
    ASSERT_TRUE(recorder_->done.Wait()) << "no completion";
    EXPECT_EQ(recorder_->completions, 1);
  }

  long baseline_ = 0;
  RecordingLogger* logger_ = nullptr;
  MemRecorder* recorder_ = nullptr;
};

TEST_F(HttpToMemTaskTest, EntityWithContentLengthArrivesWhole) {
  Run(NginxUrl(L"mem.bin"));
  EXPECT_EQ(recorder_->result, 0);
  EXPECT_TRUE(recorder_->data == ServedBytes(L"mem.bin"));
  EXPECT_TRUE(logger_->Contains(L"HttpToMemTask::Start> Start download " + NginxUrl(L"mem.bin") + L" to memory."));
}

TEST_F(HttpToMemTaskTest, EmptyEntity) {
  Run(NginxUrl(L"empty.bin"));
  EXPECT_EQ(recorder_->result, 0);
  EXPECT_TRUE(recorder_->data.empty());
}

TEST_F(HttpToMemTaskTest, ShortResponseRestartsFromItsPositionWithIfRange) {
  ServerLog faults(L"fault.log");
  Run(FaultUrl(L"dropfirst", L"mem.bin") + L"?n=100000");
  EXPECT_EQ(recorder_->result, 0);
  EXPECT_TRUE(recorder_->data == ServedBytes(L"mem.bin"));
  EXPECT_TRUE(logger_->Contains(L"HttpToMemTask::OnComplete> Data not complete 100000/300000."));
  const auto lines = faults.NewLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "dropfirst mem.bin range=- ifrange=- status=200");
  // The whole entity size as the range size: the server clamps it to the end.
  EXPECT_EQ(lines[1].rfind("dropfirst mem.bin range=bytes=100000-399999 ifrange=\"493e0-", 0), 0u) << lines[1];
  EXPECT_NE(lines[1].find("status=206"), std::string::npos);
}

struct FailureCase {
  const wchar_t* mode;
  const wchar_t* logLine;
  const char* result;
};

TEST_F(HttpToMemTaskTest, FailureTable) {
  const FailureCase cases[] = {
      {L"nolength", L"HttpToMemTask::OnHttpStatusOK> Unexpected content length -1.", "0x80072EFB"},
      {L"toomuch", L"HttpToMemTask::OnData> Data large than expected ", "0x80072EFB"},
      {L"status404", L"HttpToMemTask::OnHttpHeader> Unexpected HTTP status code 404.", "0x80072EFB"},
      {L"status500", L"HttpToMemTask::OnHttpHeader> Unexpected HTTP status code 500.", "0x80072EFB"},
  };
  for (const auto& c : cases) {
    Run(FaultUrl(c.mode, L"mem.bin"));
    EXPECT_EQ(HexResult(recorder_->result), c.result) << c.mode;
    EXPECT_TRUE(logger_->Contains(c.logLine)) << c.mode;
  }
}

TEST_F(HttpToMemTaskTest, BlockingAdapterCopiesTheEntity) {
  downloader::Buffer buffer;
  EXPECT_EQ(stubframework::utils::DownloadToMemory(NginxUrl(L"mem.bin").c_str(), logger_, &buffer), 0);
  EXPECT_TRUE(std::string(reinterpret_cast<const char*>(buffer.data()), buffer.size()) == ServedBytes(L"mem.bin"));
  downloader::Buffer failed;
  EXPECT_EQ(HexResult(stubframework::utils::DownloadToMemory(FaultUrl(L"status404", L"x").c_str(), logger_, &failed)),
            "0x80072EFB");
  EXPECT_EQ(failed.size(), 0u);
}

TEST_F(HttpToMemTaskTest, EngineLinesReachTheInstallerLogAtTraceLevel) {
  testsupport::ScopedTempDir temp;
  std::wstring logPath;
  {
    stubframework::InstallerLog log(temp.path());
    auto* adapter = Make<stubframework::debug::DownloadLogger>(&log);
    auto* task = downloader::HttpToMemTask::Create(NginxUrl(L"mem.bin").c_str(), recorder_, adapter);
    ASSERT_NE(task, nullptr);
    task->Start();
    ASSERT_TRUE(recorder_->done.Wait());
    task->Release();
    EXPECT_TRUE(WaitForLiveObjects(baseline_ + 3));  // only the test's loggers and recorder remain
    adapter->Release();
    logPath = log.path();
    log.close();
    const std::string text = testsupport::ReadFileBytes(logPath);
    EXPECT_NE(text.find(" TRACE] HttpToMemTask::Start> Start download http://127.0.0.1:"), std::string::npos) << text;
    EXPECT_NE(text.find(" TRACE] HttpTask::ProcessData> Complete.\r\n"), std::string::npos);
    EXPECT_NE(text.find(" TRACE] HttpToMemTask::OnComplete> Complete.\r\n"), std::string::npos);
  }
}

}  // namespace

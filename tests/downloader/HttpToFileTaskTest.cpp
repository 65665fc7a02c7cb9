// Ranged downloads into an open file: header checks, restarts with If-Range,
// and the failure table.
#include "downloader/HttpToFileTask.h"
#include "tests/downloader/EngineTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace enginetest;

constexpr int64_t kPkgBytes = 5 * 1048576 + 12345;

class HttpToFileTaskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    baseline_ = downloader::details::LiveObjectCount();
    logger_ = Make<RecordingLogger>();
    recorder_ = Make<FileRecorder>();
    path_ = dir_.file(L"out.bin");
  }
  void TearDown() override {
    recorder_->Release();
    logger_->Release();
    EXPECT_TRUE(WaitForLiveObjects(baseline_)) << "engine objects leaked";
  }
  // Downloads [offset, offset + size) of `url` into a file that already holds
  // `size` + `offset` bytes of 'Z'. Returns what the file holds afterwards.
  std::string Run(const std::wstring& url, int64_t offset, int64_t size) {
    EXPECT_TRUE(testsupport::WriteFileBytes(path_, std::string(static_cast<size_t>(offset + size), 'Z')));
    {
      base::UniqueFileHandle file(::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
      EXPECT_TRUE(file.valid());
      LARGE_INTEGER position;
      position.QuadPart = offset;
      ::SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN);
      auto* task = downloader::HttpToFileTask::Create(url.c_str(), file.get(), offset, size, recorder_, logger_);
      EXPECT_NE(task, nullptr);
      if (!task) return {};
      task->Start();
      task->Release();
      EXPECT_TRUE(recorder_->done.Wait()) << "no completion";
    }
    EXPECT_EQ(recorder_->completions, 1);
    return testsupport::ReadFileBytes(path_);
  }

  testsupport::ScopedTempDir dir_;
  std::wstring path_;
  long baseline_ = 0;
  RecordingLogger* logger_ = nullptr;
  FileRecorder* recorder_ = nullptr;
};

TEST_F(HttpToFileTaskTest, PartialContentIsWrittenAtItsOffset) {
  const std::string source = ServedBytes(L"pkg.bin");
  const std::string file = Run(NginxUrl(L"pkg.bin"), 1048576, 2 * 1048576 + 7);
  EXPECT_EQ(HexResult(recorder_->result), "0x00000000");
  EXPECT_EQ(file.substr(0, 1048576), std::string(1048576, 'Z'));
  EXPECT_EQ(file.substr(1048576), source.substr(1048576, 2 * 1048576 + 7));
  EXPECT_EQ(recorder_->progressBytes, 2 * 1048576 + 7);
  EXPECT_TRUE(recorder_->contiguous);
  EXPECT_TRUE(logger_->Contains(L"HttpToFileTask::OnComplete> Complete."));
}

TEST_F(HttpToFileTaskTest, WholeEntityAnsweredWith200AtOffsetZero) {
  const std::string source = ServedBytes(L"pkg.bin");
  const std::string file = Run(FaultUrl(L"ignorerange", L"pkg.bin"), 0, static_cast<int64_t>(source.size()));
  EXPECT_EQ(recorder_->result, 0);
  EXPECT_TRUE(file == source);
}

TEST_F(HttpToFileTaskTest, ShortResponsesRestartWithIfRange) {
  ServerLog faults(L"fault.log");
  const std::string source = ServedBytes(L"pkg.bin");
  const std::string file = Run(FaultUrl(L"drop", L"pkg.bin"), 0, static_cast<int64_t>(source.size()));
  EXPECT_EQ(HexResult(recorder_->result), "0x00000000") << std::string(logger_->Joined().begin(), logger_->Joined().end());
  EXPECT_TRUE(file == source) << "file differs from the served entity";
  EXPECT_TRUE(logger_->Contains(L"HttpToFileTask::OnComplete> Data not complete "));
  const auto lines = faults.NewLines();
  ASSERT_GE(lines.size(), 5u);  // 1 MiB + 100 bytes per response for a 5 MiB file
  EXPECT_EQ(lines[0], "drop pkg.bin range=bytes=0-5255224 ifrange=- status=206");
  EXPECT_EQ(lines[1].rfind("drop pkg.bin range=bytes=1048676-5255224 ifrange=\"", 0), 0u) << lines[1];
  EXPECT_NE(lines[1].find("status=206"), std::string::npos) << lines[1];
}

TEST_F(HttpToFileTaskTest, ChangedEntityDuringARestartFails) {
  ServerLog faults(L"fault.log");
  const std::string source = ServedBytes(L"pkg.bin");
  Run(FaultUrl(L"etagchange", L"pkg.bin"), 0, static_cast<int64_t>(source.size()));
  EXPECT_EQ(HexResult(recorder_->result), "0x80072EFB");
  EXPECT_TRUE(logger_->Contains(L"HttpToFileTask::OnHttpStatusOK> Unexpected content length 5255225/(OFFSET:1048676 SIZE:4206549)."));
  const auto lines = faults.NewLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[1].find("ifrange=\"503039-v"), std::string::npos) << lines[1];
  EXPECT_NE(lines[1].find("status=200"), std::string::npos) << lines[1];
}

struct FailureCase {
  const wchar_t* mode;
  int64_t offset;
  const wchar_t* logLine;
  const char* result;
};

TEST_F(HttpToFileTaskTest, FailureTable) {
  const FailureCase cases[] = {
      {L"ignorerange", 100, L"HttpToFileTask::OnHttpStatusOK> Unexpected content length 5255225/(OFFSET:100 SIZE:1000).",
       "0x80072EFB"},
      {L"badrange", 100,
       L"HttpToFileTask::OnHttpStatusPartialContent> Unexpected content range (OFFSET:101 SIZE:1000 TOTAL:5255226)/(OFFSET:100 SIZE:1000).",
       "0x80072EFB"},
      {L"toomuch", 100, L"HttpToFileTask::OnData> Data large than expected 100", "0x80072EFB"},
      {L"status404", 0, L"HttpToFileTask::OnHttpHeader> Unexpected HTTP status code 404.", "0x80072EFB"},
      {L"status500", 0, L"HttpToFileTask::OnHttpHeader> Unexpected HTTP status code 500.", "0x80072EFB"},
  };
  for (const auto& c : cases) {
    recorder_->Release();
    recorder_ = Make<FileRecorder>();
    const std::string file = Run(FaultUrl(c.mode, L"pkg.bin"), c.offset, 1000);
    EXPECT_EQ(HexResult(recorder_->result), c.result) << c.mode;
    EXPECT_TRUE(logger_->Contains(c.logLine)) << c.mode;
    if (std::wstring(c.mode) != L"toomuch") {
      EXPECT_EQ(file, std::string(static_cast<size_t>(c.offset + 1000), 'Z')) << "nothing written: " << c.mode;
    }
  }
}

TEST_F(HttpToFileTaskTest, WriteFailureEndsTheDownloadWithTheWin32Code) {
  ASSERT_TRUE(testsupport::WriteFileBytes(path_, ""));
  // A handle without write access: every WriteFile fails with access denied.
  base::UniqueFileHandle file(::CreateFileW(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(file.valid());
  auto* task = downloader::HttpToFileTask::Create(NginxUrl(L"pkg.bin").c_str(), file.get(), 0, kPkgBytes, recorder_,
                                                  logger_);
  ASSERT_NE(task, nullptr);
  task->Start();
  task->Release();
  ASSERT_TRUE(recorder_->done.Wait());
  EXPECT_EQ(HexResult(recorder_->result), "0x80070005");
  EXPECT_TRUE(logger_->Contains(L"HttpToFileTask::OnData> WriteFile failed 5."));
  EXPECT_EQ(recorder_->progressBytes, 0);
}

TEST_F(HttpToFileTaskTest, CancelBeforeStartHasNoEffect) {
  const std::string source = ServedBytes(L"mem.bin");
  ASSERT_TRUE(testsupport::WriteFileBytes(path_, ""));
  base::UniqueFileHandle file(::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  auto* task = downloader::HttpToFileTask::Create(NginxUrl(L"mem.bin").c_str(), file.get(), 0,
                                                  static_cast<int64_t>(source.size()), recorder_, logger_);
  ASSERT_NE(task, nullptr);
  task->Cancel();
  task->Start();
  ASSERT_TRUE(recorder_->done.Wait());
  EXPECT_EQ(recorder_->result, 0);
  task->Release();
  file.reset();
  EXPECT_TRUE(testsupport::ReadFileBytes(path_) == source);
}

}  // namespace

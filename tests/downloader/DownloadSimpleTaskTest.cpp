// The block-verified, resumable download against nginx and the fault server:
// which requests it makes for each local state, its failures and cancellation.
#include "downloader/DownloadSimpleTask.h"
#include "tests/downloader/EngineTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

using namespace enginetest;

constexpr int64_t kBlock = 1048576;
constexpr int64_t kPkgSize = 5 * kBlock + 12345;

class DownloadSimpleTaskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    baseline_ = downloader::details::LiveObjectCount();
    logger_ = Make<RecordingLogger>();
    recorder_ = Make<DownloadRecorder>();
    path_ = dir_.file(L"package.bin");
  }
  void TearDown() override {
    recorder_->Release();
    logger_->Release();
    EXPECT_TRUE(WaitForLiveObjects(baseline_)) << "engine objects leaked";
  }
  downloader::DownloadSimpleTask* Create(const std::wstring& url, const std::wstring& metaUrl) {
    return downloader::DownloadSimpleTask::Create(url.c_str(), metaUrl.c_str(), path_.c_str(), recorder_, logger_);
  }
  void Run(const std::wstring& url, const std::wstring& metaUrl) {
    auto* task = Create(url, metaUrl);
    ASSERT_NE(task, nullptr);
    task->Start();
    task->Release();
    ASSERT_TRUE(recorder_->done.Wait(120000)) << "no completion";
    EXPECT_EQ(recorder_->completions, 1);
    EXPECT_TRUE(FileIsClosed(path_)) << "destination still open";
  }
  std::string Log() {
    const std::wstring text = logger_->Joined();
    return std::string(text.begin(), text.end());
  }
  // Requests nginx logged for the package itself (the meta file left out).
  static std::vector<std::string> PackageRequests(const ServerLog& access, const char* uri = "/pkg.bin ") {
    std::vector<std::string> out;
    for (const auto& line : access.NewLines())
      if (line.find(uri) != std::string::npos) out.push_back(line);
    return out;
  }

  testsupport::ScopedTempDir dir_;
  std::wstring path_;
  long baseline_ = 0;
  RecordingLogger* logger_ = nullptr;
  DownloadRecorder* recorder_ = nullptr;
};

TEST_F(DownloadSimpleTaskTest, NoLocalFileDownloadsEverythingInOneRangedRequest) {
  ServerLog access(L"nginx-access.log");
  Run(NginxUrl(L"pkg.bin"), NginxUrl(L"pkg.bin.meta"));
  EXPECT_EQ(HexResult(recorder_->result), "0x00000000") << Log();
  EXPECT_TRUE(testsupport::ReadFileBytes(path_) == ServedBytes(L"pkg.bin"));
  const auto requests = PackageRequests(access);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0], "GET /pkg.bin range=bytes=0-5255224 ifrange= status=206 bytes=5255225");
  ASSERT_FALSE(recorder_->progress.empty());
  EXPECT_EQ(recorder_->progress.front(), std::make_pair(int64_t{0}, kPkgSize));
  EXPECT_EQ(recorder_->progress.back(), std::make_pair(kPkgSize, kPkgSize));
  EXPECT_TRUE(logger_->Contains(L"DownloadSimpleTask::OnHash> Hash mismatch found for block 0."));
  EXPECT_TRUE(logger_->Contains(L"DownloadSimpleTask::OnHashComplete> Hash success."));
}

TEST_F(DownloadSimpleTaskTest, CompleteFileFetchesOnlyTheMeta) {
  ASSERT_TRUE(testsupport::WriteFileBytes(path_, ServedBytes(L"pkg.bin")));
  ServerLog access(L"nginx-access.log");
  Run(NginxUrl(L"pkg.bin"), NginxUrl(L"pkg.bin.meta"));
  EXPECT_EQ(recorder_->result, 0) << Log();
  const auto lines = access.NewLines();
  ASSERT_EQ(lines.size(), 1u) << "only the meta file is requested";
  EXPECT_EQ(lines[0].rfind("GET /pkg.bin.meta ", 0), 0u);
  EXPECT_TRUE(logger_->Contains(L"DownloadSimpleTask::OnHashComplete> Hash success."));
  EXPECT_EQ(recorder_->progress.back(), std::make_pair(kPkgSize, kPkgSize));
}

struct LocalStateCase {
  const char* name;
  int64_t keep;       // bytes of the right file kept at the start
  int64_t damageAt;   // byte flipped afterwards, -1 for none
  int64_t extra;      // bytes appended after the file's length
  int64_t expectedRangeStart;  // -1: no package request
};

TEST_F(DownloadSimpleTaskTest, ResumesAtTheFirstBadBlock) {
  const LocalStateCase cases[] = {
      {"first three blocks correct", 3 * kBlock, -1, 0, 3 * kBlock},
      {"first three blocks and a part of the fourth", 3 * kBlock + 500, -1, 0, 3 * kBlock},
      {"damaged block in the middle", kPkgSize, 2 * kBlock + 77, 0, 2 * kBlock},
      {"damaged last byte", kPkgSize, kPkgSize - 1, 0, 5 * kBlock},
      {"longer than the size", kPkgSize, -1, 1000, -1},
  };
  const std::string source = ServedBytes(L"pkg.bin");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string local = source.substr(0, static_cast<size_t>(c.keep)) + std::string(static_cast<size_t>(c.extra), 'E');
    if (c.damageAt >= 0) local[static_cast<size_t>(c.damageAt)] ^= 0x5A;
    ASSERT_TRUE(testsupport::WriteFileBytes(path_, local));
    recorder_->Release();
    recorder_ = Make<DownloadRecorder>();
    ServerLog access(L"nginx-access.log");
    Run(NginxUrl(L"pkg.bin"), NginxUrl(L"pkg.bin.meta"));
    EXPECT_EQ(recorder_->result, 0) << Log();
    EXPECT_TRUE(testsupport::ReadFileBytes(path_) == source) << "file not restored";
    const auto requests = PackageRequests(access);
    if (c.expectedRangeStart < 0) {
      EXPECT_TRUE(requests.empty());
    } else {
      ASSERT_EQ(requests.size(), 1u);
      EXPECT_EQ(requests[0].rfind("GET /pkg.bin range=bytes=" + std::to_string(c.expectedRangeStart) + "-5255224 ", 0),
                0u)
          << requests[0];
      // The download phase reports its start offset before any byte arrives.
      bool sawStart = false;
      for (const auto& p : recorder_->progress) sawStart |= p.first == c.expectedRangeStart;
      EXPECT_TRUE(sawStart);
    }
  }
}

TEST_F(DownloadSimpleTaskTest, EmptyFileWithAnEightByteMeta) {
  ASSERT_TRUE(testsupport::WriteFileBytes(path_, "left over"));
  ServerLog access(L"nginx-access.log");
  Run(NginxUrl(L"empty.bin"), NginxUrl(L"empty.bin.meta"));
  EXPECT_EQ(recorder_->result, 0) << Log();
  EXPECT_EQ(testsupport::ReadFileBytes(path_), "");
  EXPECT_TRUE(PackageRequests(access, "/empty.bin ").empty());
}

TEST_F(DownloadSimpleTaskTest, MalformedMetaFilesAreRejected) {
  for (const wchar_t* meta : {L"short.meta", L"long.meta"}) {
    recorder_->Release();
    recorder_ = Make<DownloadRecorder>();
    ServerLog access(L"nginx-access.log");
    Run(NginxUrl(L"pkg.bin"), NginxUrl(meta));
    EXPECT_EQ(HexResult(recorder_->result), "0x80004005") << meta;
    EXPECT_TRUE(logger_->Contains(L"DownloadSimple::OnMetaComplete> CreateDownloadMetaSimple failed."));
    EXPECT_TRUE(PackageRequests(access).empty());
    EXPECT_EQ(::GetFileAttributesW(path_.c_str()), INVALID_FILE_ATTRIBUTES) << "no file before the meta is known";
  }
}

TEST_F(DownloadSimpleTaskTest, DroppedConnectionsCompleteThroughIfRangeRestarts) {
  ServerLog faults(L"fault.log");
  Run(FaultUrl(L"drop", L"pkg.bin"), NginxUrl(L"pkg.bin.meta"));
  EXPECT_EQ(recorder_->result, 0) << Log();
  EXPECT_TRUE(testsupport::ReadFileBytes(path_) == ServedBytes(L"pkg.bin"));
  const auto lines = faults.NewLines();
  ASSERT_GE(lines.size(), 5u);
  for (size_t i = 1; i < lines.size(); ++i) {
    EXPECT_NE(lines[i].find("ifrange=\"503039-"), std::string::npos) << lines[i];
    EXPECT_NE(lines[i].find("status=206"), std::string::npos) << lines[i];
  }
}

TEST_F(DownloadSimpleTaskTest, ChangedEntityFailsTheDownload) {
  Run(FaultUrl(L"etagchange", L"pkg.bin"), NginxUrl(L"pkg.bin.meta"));
  EXPECT_EQ(HexResult(recorder_->result), "0x80072EFB") << Log();
}

TEST_F(DownloadSimpleTaskTest, DestinationThatCannotBeOpenedFails) {
  path_ = dir_.file(L"no-such-folder\\package.bin");
  Run(NginxUrl(L"pkg.bin"), NginxUrl(L"pkg.bin.meta"));
  EXPECT_EQ(HexResult(recorder_->result), "0x80070003");
  EXPECT_TRUE(logger_->Contains(L"DownloadSimpleTask::PrepareStart> CreateFileW failed 3."));
}

TEST_F(DownloadSimpleTaskTest, ErrorStatusOfTheMetaFails) {
  Run(NginxUrl(L"pkg.bin"), NginxUrl(L"missing.meta"));
  EXPECT_EQ(HexResult(recorder_->result), "0x80072EFB");
}

TEST_F(DownloadSimpleTaskTest, FileThatNeverMatchesItsMetaGivesUp) {
  ServerLog access(L"nginx-access.log");
  Run(NginxUrl(L"pkg.bin"), NginxUrl(L"wrong.meta"));
  EXPECT_EQ(HexResult(recorder_->result), "0x80004005") << Log();
  EXPECT_TRUE(logger_->Contains(L"Block 2 still mismatches after 3 downloads."));
  // The whole file once, then block 2 onwards three times.
  const auto requests = PackageRequests(access);
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].rfind("GET /pkg.bin range=bytes=0-", 0), 0u);
  for (size_t i = 1; i < requests.size(); ++i)
    EXPECT_EQ(requests[i].rfind("GET /pkg.bin range=bytes=2097152-", 0), 0u) << requests[i];
}

// Cancellation in each phase: the meta download (a stalled server), hashing
// (a complete local copy of a 40 MiB file) and the file download (a slow server).
TEST_F(DownloadSimpleTaskTest, CancelInEveryPhase) {
  struct Case {
    const char* name;
    std::wstring url, metaUrl;
    bool localCopy;
  };
  const Case cases[] = {
      {"meta", NginxUrl(L"big.bin"), FaultUrl(L"stall", L"big.bin.meta") + L"?s=3", false},
      {"hash", NginxUrl(L"big.bin"), NginxUrl(L"big.bin.meta"), true},
      {"file", FaultUrl(L"slow", L"big.bin"), NginxUrl(L"big.bin.meta"), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ::DeleteFileW(path_.c_str());
    if (c.localCopy) {
      ASSERT_TRUE(testsupport::WriteFileBytes(path_, ServedBytes(L"big.bin")));
    }
    recorder_->Release();
    recorder_ = Make<DownloadRecorder>();
    auto* task = Create(c.url, c.metaUrl);
    ASSERT_NE(task, nullptr);
    std::atomic<bool> cancelled{false};
    const std::string phase = c.name;
    recorder_->onProgress = [&](int64_t current, int64_t) {
      // Hash phase: the first verified block; file phase: the first bytes written.
      if (phase != "meta" && current > 0 && !cancelled.exchange(true)) task->Cancel();
    };
    ServerLog access(L"nginx-access.log");
    task->Start();
    if (phase == "meta") {
      ::Sleep(300);  // the meta request is under way and stalled
      cancelled = true;
      task->Cancel();
    }
    ASSERT_TRUE(recorder_->done.Wait(60000)) << "no completion after Cancel";
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(HexResult(recorder_->result), "0x80004004") << Log();
    EXPECT_EQ(recorder_->completions, 1);
    EXPECT_TRUE(logger_->Contains(L"DownloadSimpleTask::Cancel> Cancel."));
    task->Release();
    EXPECT_TRUE(FileIsClosed(path_)) << "destination still open";
    if (phase == "meta") {
      EXPECT_TRUE(recorder_->progress.empty());
    }
    if (phase == "hash") {
      EXPECT_LT(recorder_->progress.size(), 40u) << "hashing stopped early";
      EXPECT_TRUE(PackageRequests(access, "/big.bin ").empty());
    }
    if (phase == "file") {
      EXPECT_LT(recorder_->progress.back().first, 40 * kBlock);
    }
    EXPECT_TRUE(WaitForLiveObjects(baseline_ + 2)) << "tasks or callbacks leaked";
  }
}

}  // namespace

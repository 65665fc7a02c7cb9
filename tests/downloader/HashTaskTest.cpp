// The block hasher on the thread pool, the blocking verification adapter, and
// the engine's synchronous failures that need no network.
#include "downloader/BlockingDownload.h"
#include "downloader/DownloadSimpleTask.h"
#include "downloader/HashTask.h"
#include "downloader/HttpTask.h"
#include "downloader/HttpToMemTask.h"
#include "tests/downloader/EngineTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace enginetest;
using downloader::details::LiveObjectCount;

std::string Hex(const uint8_t* digest) {
  std::string text;
  char part[3];
  for (int i = 0; i < 20; ++i) {
    std::snprintf(part, sizeof(part), "%02x", digest[i]);
    text += part;
  }
  return text;
}

class HashRecorder : public downloader::IHashCallback {
 public:
  void OnHash(const uint8_t digest[20]) override {
    digests.push_back(Hex(digest));
    if (cancelOnFirst && task) task->Cancel();
  }
  void OnComplete(downloader::HashResult r) override {
    result = r;
    ++completions;
    done.Signal();
  }
  std::vector<std::string> digests;
  downloader::HashResult result = downloader::HashResult::Failed;
  int completions = 0;
  bool cancelOnFirst = false;
  downloader::ITask* task = nullptr;
  Completion done;
};

// 2 MiB + 3 bytes of i % 251: three blocks, the last one 3 bytes long.
std::string PatternBytes() {
  std::string bytes(2 * 1048576 + 3, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i % 251);
  return bytes;
}
const char* const kPatternDigests[] = {"c2fc4cb20f1301a6b0dd211c19e69a13925dbe40",
                                       "cd872c47ea652b64abda1123e43abef5bf287240",
                                       "33a8f8ebaf034a131642e6df9a646558715e6716"};

base::UniqueFileHandle OpenRead(const std::wstring& path) {
  return base::UniqueFileHandle(
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
}

struct HashRun {
  std::vector<std::string> digests;
  downloader::HashResult result;
  int completions;
};

HashRun RunHash(HANDLE file, bool cancelOnFirst) {
  auto* recorder = Make<HashRecorder>();
  auto* task = downloader::HashTask::Create(file, recorder);
  recorder->task = task;
  recorder->cancelOnFirst = cancelOnFirst;
  task->Start();
  EXPECT_TRUE(recorder->done.Wait());
  HashRun run{recorder->digests, recorder->result, recorder->completions};
  task->Release();
  recorder->Release();
  return run;
}

class HashTaskTest : public ::testing::Test {
 protected:
  void SetUp() override { baseline_ = LiveObjectCount(); }
  void TearDown() override { EXPECT_TRUE(WaitForLiveObjects(baseline_)) << "engine objects leaked"; }
  testsupport::ScopedTempDir dir_;
  long baseline_ = 0;
};

TEST_F(HashTaskTest, DigestsEveryBlockFromTheStart) {
  const std::wstring path = dir_.file(L"pattern.bin");
  ASSERT_TRUE(testsupport::WriteFileBytes(path, PatternBytes()));
  auto file = OpenRead(path);
  const HashRun run = RunHash(file.get(), false);
  EXPECT_EQ(run.result, downloader::HashResult::Completed);
  EXPECT_EQ(run.completions, 1);
  ASSERT_EQ(run.digests.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(run.digests[i], kPatternDigests[i]) << "block " << i;
}

TEST_F(HashTaskTest, ReadsFromTheCurrentPosition) {
  const std::wstring path = dir_.file(L"pattern.bin");
  ASSERT_TRUE(testsupport::WriteFileBytes(path, PatternBytes()));
  auto file = OpenRead(path);
  LARGE_INTEGER position;
  position.QuadPart = 1048576;
  ASSERT_TRUE(::SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN));
  const HashRun run = RunHash(file.get(), false);
  ASSERT_EQ(run.digests.size(), 2u);
  EXPECT_EQ(run.digests[0], kPatternDigests[1]);
  EXPECT_EQ(run.digests[1], kPatternDigests[2]);
}

TEST_F(HashTaskTest, ShortFileAndEmptyFile) {
  const std::wstring abc = dir_.file(L"abc.bin");
  const std::wstring empty = dir_.file(L"empty.bin");
  ASSERT_TRUE(testsupport::WriteFileBytes(abc, "abc"));
  ASSERT_TRUE(testsupport::WriteFileBytes(empty, ""));
  auto abcFile = OpenRead(abc);
  HashRun run = RunHash(abcFile.get(), false);
  ASSERT_EQ(run.digests.size(), 1u);
  EXPECT_EQ(run.digests[0], "a9993e364706816aba3e25717850c26c9cd0d89d");
  auto emptyFile = OpenRead(empty);
  run = RunHash(emptyFile.get(), false);
  EXPECT_TRUE(run.digests.empty());
  EXPECT_EQ(run.result, downloader::HashResult::Completed);
}

TEST_F(HashTaskTest, CancelStopsBeforeTheNextBlock) {
  const std::wstring path = dir_.file(L"pattern.bin");
  ASSERT_TRUE(testsupport::WriteFileBytes(path, PatternBytes()));
  auto file = OpenRead(path);
  const HashRun run = RunHash(file.get(), true);
  EXPECT_EQ(run.result, downloader::HashResult::Cancelled);
  EXPECT_EQ(run.digests.size(), 1u);
}

TEST_F(HashTaskTest, ReadFailureReportsFailed) {
  const std::wstring path = dir_.file(L"pattern.bin");
  ASSERT_TRUE(testsupport::WriteFileBytes(path, "abc"));
  // A handle opened without read access cannot be read.
  base::UniqueFileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(file.valid());
  const HashRun run = RunHash(file.get(), false);
  EXPECT_EQ(run.result, downloader::HashResult::Failed);
  EXPECT_TRUE(run.digests.empty());
}

TEST_F(HashTaskTest, BlockingVerificationComparesWithTheMeta) {
  const std::wstring path = dir_.file(L"pattern.bin");
  ASSERT_TRUE(testsupport::WriteFileBytes(path, PatternBytes()));
  downloader::DownloadMetaSimple meta;
  meta.fileSize = 2 * 1048576 + 3;
  for (const char* hex : kPatternDigests) {
    downloader::Sha1Digest digest;
    for (int i = 0; i < 20; ++i) digest[i] = static_cast<uint8_t>(std::stoi(std::string(hex + 2 * i, 2), nullptr, 16));
    meta.digests.push_back(digest);
  }
  {
    auto file = OpenRead(path);
    EXPECT_EQ(stubframework::utils::VerifyFileBlocks(file.get(), meta), downloader::HashResult::Completed);
  }
  meta.digests[1][5] ^= 1;
  {
    auto file = OpenRead(path);
    EXPECT_EQ(stubframework::utils::VerifyFileBlocks(file.get(), meta), downloader::HashResult::Cancelled);
  }
  meta.digests.pop_back();
  meta.digests[1][5] ^= 1;
  {
    auto file = OpenRead(path);
    EXPECT_EQ(stubframework::utils::VerifyFileBlocks(file.get(), meta), downloader::HashResult::Cancelled)
        << "a block the meta does not list";
  }
}

TEST_F(HashTaskTest, FactoriesRefuseMissingInputs) {
  auto* logger = Make<RecordingLogger>();
  auto* http = Make<HttpRecorder>();
  auto* download = Make<DownloadRecorder>();
  EXPECT_EQ(downloader::HashTask::Create(nullptr, nullptr), nullptr);
  EXPECT_EQ(downloader::HttpTask::Create(nullptr, {}, http, logger), nullptr);
  EXPECT_EQ(downloader::HttpTask::Create(L"http://127.0.0.1/", {}, nullptr, logger), nullptr);
  EXPECT_EQ(downloader::HttpTask::Create(L"http://127.0.0.1/", {}, http, nullptr), nullptr);
  EXPECT_EQ(downloader::DownloadSimpleTask::Create(L"a", L"b", nullptr, download, logger), nullptr);
  download->Release();
  http->Release();
  logger->Release();
}

TEST_F(HashTaskTest, UnsupportedSchemeCompletesInsideStart) {
  auto* logger = Make<RecordingLogger>();
  auto* http = Make<HttpRecorder>();
  auto* task = downloader::HttpTask::Create(L"ftp://127.0.0.1/file", {0, 10, "\"x\""}, http, logger);
  ASSERT_NE(task, nullptr);
  task->Start();
  EXPECT_TRUE(http->done.IsSignalled()) << "completed before Start returned";
  EXPECT_EQ(http->completionThread, ::GetCurrentThreadId());
  EXPECT_EQ(HexResult(http->result), "0x80072EE5");
  EXPECT_EQ(http->headers, 0);
  task->Cancel();  // after completion: no effect, no second completion
  EXPECT_EQ(http->completions, 1);
  task->Release();
  http->Release();
  logger->Release();
}

TEST_F(HashTaskTest, VerifiedDownloadReportsAMetaFailureWithoutTouchingTheFile) {
  auto* logger = Make<RecordingLogger>();
  auto* recorder = Make<DownloadRecorder>();
  const std::wstring target = dir_.file(L"never.bin");
  auto* task = downloader::DownloadSimpleTask::Create(L"ftp://127.0.0.1/f", L"ftp://127.0.0.1/f.meta", target.c_str(),
                                                      recorder, logger);
  ASSERT_NE(task, nullptr);
  task->Start();
  ASSERT_TRUE(recorder->done.Wait());
  EXPECT_EQ(HexResult(recorder->result), "0x80072EE5");
  EXPECT_EQ(recorder->completions, 1);
  EXPECT_EQ(::GetFileAttributesW(target.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(logger->Contains(L"DownloadSimpleTask::Start> Start download ftp://127.0.0.1/f to "));
  task->Release();
  recorder->Release();
  logger->Release();
}

}  // namespace

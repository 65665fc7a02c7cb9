// The state word and close protocol shared by the engine's tasks.
#include "downloader/TaskLock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace {

class FakeTask : public downloader::TaskLock<FakeTask, long> {
 public:
  using TaskLock::BeginStart;
  using TaskLock::Close;
  using TaskLock::EnterOperation;
  using TaskLock::IsClosing;
  using TaskLock::LeaveOperation;
  using TaskLock::StoredResult;

  void CloseAction() {
    ++closeActions;
    if (onClose) onClose();
  }
  std::atomic<int> closeActions{0};
  std::function<void()> onClose;
};

TEST(TaskLock, CloseWithNothingInFlightActsAtOnceAndRecordsTheResult) {
  FakeTask task;
  ASSERT_TRUE(task.BeginStart());
  task.LeaveOperation();  // Start is done, nothing in flight
  task.Close(-5);
  EXPECT_EQ(task.closeActions, 1);
  EXPECT_EQ(task.StoredResult(), -5);
  EXPECT_TRUE(task.IsClosing());
}

TEST(TaskLock, CloseWaitsForTheLastOperationToLeave) {
  FakeTask task;
  ASSERT_TRUE(task.BeginStart());
  ASSERT_TRUE(task.EnterOperation());  // a handler in flight besides Start
  task.Close(-7);
  EXPECT_EQ(task.closeActions, 0);
  EXPECT_FALSE(task.EnterOperation()) << "no new operation once closing";
  task.LeaveOperation();
  EXPECT_EQ(task.closeActions, 0);
  task.LeaveOperation();
  EXPECT_EQ(task.closeActions, 1);
  EXPECT_EQ(task.StoredResult(), -7);
}

TEST(TaskLock, FirstCloseWinsAndTheActionRunsOnce) {
  FakeTask task;
  ASSERT_TRUE(task.BeginStart());
  task.Close(-1);  // a failure first
  task.Close(-2);  // then a cancellation
  task.LeaveOperation();
  task.Close(-3);
  EXPECT_EQ(task.StoredResult(), -1);
  EXPECT_EQ(task.closeActions, 1);
}

TEST(TaskLock, CancelBeforeStartHasNoEffect) {
  FakeTask task;
  task.Close(-9);
  EXPECT_FALSE(task.EnterOperation());
  ASSERT_TRUE(task.BeginStart());
  EXPECT_FALSE(task.IsClosing());
  EXPECT_FALSE(task.BeginStart()) << "a second Start is refused";
  task.Close(0);
  task.LeaveOperation();
  EXPECT_EQ(task.StoredResult(), 0);
  EXPECT_EQ(task.closeActions, 1);
}

TEST(TaskLock, CloseActionMayReenterTheTaskOnTheSameThread) {
  FakeTask task;
  ASSERT_TRUE(task.BeginStart());
  bool reentered = false;
  task.onClose = [&] {
    // A close action that completes at once reaches the task's handlers again.
    reentered = !task.EnterOperation();
    task.Close(-4);
  };
  task.LeaveOperation();
  task.Close(-8);
  EXPECT_TRUE(reentered);
  EXPECT_EQ(task.closeActions, 1);
  EXPECT_EQ(task.StoredResult(), -8);
}

TEST(TaskLock, RacingCancelAndOperationsCloseExactlyOnce) {
  for (int round = 0; round < 50; ++round) {
    FakeTask task;
    ASSERT_TRUE(task.BeginStart());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&] {
        for (int i = 0; i < 200; ++i) {
          if (!task.EnterOperation()) break;
          task.LeaveOperation();
        }
      });
    }
    threads.emplace_back([&] { task.Close(-6); });
    task.LeaveOperation();
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(task.closeActions, 1);
    EXPECT_EQ(task.StoredResult(), -6);
  }
}

}  // namespace

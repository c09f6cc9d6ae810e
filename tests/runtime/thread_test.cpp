// Threads: the state machine around one run of Run__UNSAFE__, restarts, and
// waiting at finalisation.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "runtime/thread.h"

namespace {

// Runs until released, counting its runs.
class GatedThread : public VLThread {
 public:
  std::mutex mutex;
  std::condition_variable changed;
  bool released = false;
  bool entered = false;
  std::atomic<int> runs{0};

  int Run__UNSAFE__() override {
    std::unique_lock<std::mutex> lock(mutex);
    entered = true;
    changed.notify_all();
    changed.wait(lock, [this] { return released; });
    ++runs;
    return 0;
  }

  void AwaitEntered() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return entered; });
  }

  void Release() {
    std::lock_guard<std::mutex> lock(mutex);
    released = true;
    changed.notify_all();
  }
};

TEST(ThreadTest, NeverStartedThreadIsIdleAndWaitReturnsAtOnce) {
  VLThread thread;
  EXPECT_EQ(thread.state, VLThread::kIdle);
  EXPECT_FALSE(thread.IsRunning());
  thread.Wait();
  EXPECT_EQ(thread.state, VLThread::kIdle);
}

TEST(ThreadTest, StartWhileRunningDoesNotStartASecondRun) {
  GatedThread thread;
  thread.Start();
  thread.AwaitEntered();
  EXPECT_TRUE(thread.IsRunning());
  thread.Start();  // already running: nothing
  thread.Release();
  thread.Wait();
  EXPECT_EQ(thread.runs, 1);
  EXPECT_EQ(thread.state, VLThread::kIdle);
  EXPECT_FALSE(thread.IsRunning());
}

TEST(ThreadTest, FinishedThreadReportsItselfAndCanRunAgain) {
  GatedThread thread;
  thread.Release();
  thread.Start();
  while (thread.state != VLThread::kFinished) std::this_thread::yield();
  EXPECT_FALSE(thread.IsRunning());
  thread.Start();  // from finished: the old thread is released, a new one runs
  thread.Wait();
  EXPECT_EQ(thread.runs, 2);
  EXPECT_EQ(thread.state, VLThread::kIdle);
}

// Keeps all its state outside the object, since a derived object's own
// members are gone by the time the base destructor waits.
std::atomic<bool> outsideGate{false};
std::atomic<bool> outsideEntered{false};
std::atomic<int> outsideRuns{0};

class OutsideGateThread : public VLThread {
 public:
  int Run__UNSAFE__() override {
    outsideEntered = true;
    while (!outsideGate) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ++outsideRuns;
    return 0;
  }
};

TEST(ThreadTest, DestroyingARunningThreadWaitsForItsRun) {
  std::thread releaser;
  {
    OutsideGateThread thread;
    thread.Start();
    while (!outsideEntered) std::this_thread::yield();
    releaser = std::thread([] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      outsideGate = true;
    });
  }  // without the wait, destroying a live thread handle would end the program
  EXPECT_EQ(outsideRuns, 1);
  releaser.join();
}

}  // namespace

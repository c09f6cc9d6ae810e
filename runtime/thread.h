// VLThread: an operating-system thread that runs one overridable method,
// Run__UNSAFE__, on the thread object.
//
// States: 0 idle (never started, or joined), 1 running, 2 finished but not
// joined. Start from 0 or 2 runs the method on a new thread (a finished one
// is joined first); Wait blocks until the thread has ended and returns the
// object to 0; finalising a thread object that still has a thread waits for
// it. The state is shared with the worker, so it is atomic.
//
// The collector and string counts are not synchronised: Run__UNSAFE__ must
// not allocate collected objects or store references into them; whatever it
// fills is handed to it by the main thread. Depends on runtime/gc.h.
#pragma once

#include <atomic>
#include <thread>

#include "runtime/gc.h"

class VLThread : public Object {
 public:
  static constexpr int kIdle = 0;
  static constexpr int kRunning = 1;
  static constexpr int kFinished = 2;

  std::atomic<int> state{kIdle};
  std::thread::id threadId;  // the running or finished thread's id
  std::thread handle;        // joinable while state is not kIdle

  VLThread() = default;
  ~VLThread() override;

  virtual int Start();
  virtual bool IsRunning();
  virtual int Wait();
  // The work to do on the thread; does nothing here.
  virtual int Run__UNSAFE__();

 private:
  void Body();
};

#include "runtime/thread.h"

#include <system_error>

VLThread::~VLThread() {
  if (state != kIdle) Wait();
}

int VLThread::Start() {
  if (state == kRunning) return 0;
  if (handle.joinable()) handle.join();  // finished: release the old thread
  state = kRunning;
  try {
    handle = std::thread(&VLThread::Body, this);
    threadId = handle.get_id();
  } catch (const std::system_error&) {
    state = kIdle;  // no thread could be made: nothing runs
  }
  return 0;
}

bool VLThread::IsRunning() { return state == kRunning; }

int VLThread::Wait() {
  if (state == kIdle) return 0;
  if (handle.joinable()) handle.join();
  state = kIdle;
  return 0;
}

int VLThread::Run__UNSAFE__() { return 0; }

void VLThread::Body() {
  Run__UNSAFE__();
  state = kFinished;
}

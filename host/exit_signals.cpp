#include "host/exit_signals.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace exitsignals {
namespace {

constexpr int kExitSignals[] = {SIGTERM, SIGINT, SIGHUP};
// How a shell reports a program that a signal ended.
constexpr int kSignalExitBase = 128;

std::atomic<int> requested{0};
void (*wakeLoop)() = nullptr;

sigset_t exitSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : kExitSignals) sigaddset(&set, sig);
  return set;
}

void* watch(void*) {
  const sigset_t set = exitSignalSet();
  for (;;) {
    int sig = 0;
    if (sigwait(&set, &sig) != 0) continue;
    int none = 0;
    if (!requested.compare_exchange_strong(none, sig)) _exit(kSignalExitBase + sig);  // asked twice
    if (wakeLoop) wakeLoop();
  }
  return nullptr;
}

}  // namespace

void Block() {
  signal(SIGPIPE, SIG_IGN);
  const sigset_t set = exitSignalSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void Watch(void (*wake)()) {
  wakeLoop = wake;
  pthread_t thread;
  if (pthread_create(&thread, nullptr, watch, nullptr) == 0) pthread_detach(thread);
}

int Requested() { return requested.load(); }

void EndAsRequested() {
  const int sig = requested.load();
  if (sig == 0) return;
  signal(sig, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  raise(sig);
  _exit(kSignalExitBase + sig);  // not reached: the default action ends the program
}

}  // namespace exitsignals

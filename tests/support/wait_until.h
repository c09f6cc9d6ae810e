// Waiting in tests: poll a condition until it holds or a deadline passes,
// instead of sleeping a fixed time and hoping. Deadlines are generous (a
// loaded 2-core machine can be slow) and are never what a test measures.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace testsupport {

constexpr std::chrono::milliseconds kDefaultWait(5000);
constexpr std::chrono::milliseconds kPollInterval(5);

// True as soon as `done` holds; false when `limit` passed first.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = kDefaultWait,
                      std::chrono::milliseconds interval = kPollInterval) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(interval);
  }
  return true;
}

}  // namespace testsupport

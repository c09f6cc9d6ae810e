// Posts allowed per key (a token's hash, an address) in a fixed window of a
// minute. The table is in memory and per server: a limit is a guard against
// floods, not an account. Thread-safe; keys of past windows are dropped when
// a new window starts, so the table never grows past one minute's callers.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

namespace server {

class RateLimit {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::seconds kWindow{60};

  explicit RateLimit(int perWindow) : perWindow_(perWindow) {}
  // 0 when the call may go ahead (and counts it), else the seconds until the
  // key may try again.
  int Take(const std::string& key, Clock::time_point now = Clock::now());

 private:
  const int perWindow_;
  std::mutex mutex_;
  Clock::time_point windowStart_{};
  std::unordered_map<std::string, int> counts_;
};

}  // namespace server

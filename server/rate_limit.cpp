#include "server/rate_limit.h"

namespace server {

int RateLimit::Take(const std::string& key, Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (now - windowStart_ >= kWindow) {
    windowStart_ = now;
    counts_.clear();
  }
  int& count = counts_[key];
  if (count >= perWindow_) {
    const auto left = std::chrono::ceil<std::chrono::seconds>(windowStart_ + kWindow - now).count();
    return static_cast<int>(left < 1 ? 1 : left);
  }
  ++count;
  return 0;
}

}  // namespace server

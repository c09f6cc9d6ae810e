#include "server/rerun.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <vector>

namespace server {
namespace {

constexpr int kExitBadReplay = 2;              // korvane-replay: a file it cannot use
constexpr int kExitDiverged = 3;               // korvane-replay: the re-run left the recording
constexpr std::size_t kMaxOutput = 64 * 1024;  // of the child's output kept
constexpr int kExecFailed = 127;

std::string tempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return tmp && *tmp ? tmp : "/tmp";
}

// In the forked child, only async-signal-safe calls until exec.
[[noreturn]] void execChild(const char* const argv[], int out, const RerunLimits& limits) {
  const rlimit cpu{rlim_t(limits.cpuSeconds), rlim_t(limits.cpuSeconds) + 1};
  const rlimit space{rlim_t(limits.addressSpaceMiB) << 20, rlim_t(limits.addressSpaceMiB) << 20};
  setrlimit(RLIMIT_CPU, &cpu);
  setrlimit(RLIMIT_AS, &space);
  dup2(out, STDOUT_FILENO);
  dup2(out, STDERR_FILENO);
  const int nothing = open("/dev/null", O_RDONLY);
  if (nothing >= 0) dup2(nothing, STDIN_FILENO);
  close_range(3, ~0u, 0);
  execv(argv[0], const_cast<char* const*>(argv));
  _exit(kExecFailed);
}

// Reads the child's output until it closes it or the deadline passes.
bool readUntil(int fd, std::chrono::steady_clock::time_point deadline, std::string* output) {
  char buffer[4096];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd watch{fd, POLLIN, 0};
    const int ready = poll(&watch, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return ready == 0 ? false : true;
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return true;
    if (output->size() < kMaxOutput) output->append(buffer, static_cast<std::size_t>(got));
  }
}

// The runner's last line: its result or its reason.
std::string lastLine(const std::string& output) {
  std::size_t end = output.size();
  while (end > 0 && output[end - 1] == '\n') --end;
  const std::size_t start = output.rfind('\n', end == 0 ? 0 : end - 1);
  std::string line =
      output.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1));
  const std::string prefix = "korvane-replay: ";
  if (line.compare(0, prefix.size(), prefix) == 0) line.erase(0, prefix.size());
  return line;
}

Rerun parseResult(const std::string& line) {
  Rerun rerun;
  const nlohmann::json result = nlohmann::json::parse(line, nullptr, false);
  if (!result.is_object() || !result.contains("state_hash")) {
    rerun.reason = "the re-run gave no result";
    return rerun;
  }
  rerun.outcome = Rerun::Outcome::kVerified;
  rerun.difficulty = result.value("difficulty", 0);
  rerun.score = result.value("score", 0);
  rerun.rounds = result.value("rounds", 0);
  rerun.updates = result.value("updates", std::uint64_t{0});
  rerun.stateHash = result.value("state_hash", std::string());
  return rerun;
}

Rerun judge(int status, bool finished, const std::string& output, const RerunLimits& limits) {
  Rerun rerun;
  const bool outOfTime =
      !finished || (WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU || WTERMSIG(status) == SIGKILL));
  if (outOfTime) {
    rerun.outcome = Rerun::Outcome::kTooLong;
    rerun.reason = "the replay did not finish within " + std::to_string(limits.cpuSeconds) + " s of re-running";
  } else if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    return parseResult(lastLine(output));
  } else if (WIFEXITED(status) && WEXITSTATUS(status) == kExitBadReplay) {
    rerun.outcome = Rerun::Outcome::kBadReplay;
    rerun.reason = lastLine(output);
  } else if (WIFEXITED(status) && WEXITSTATUS(status) == kExitDiverged) {
    rerun.outcome = Rerun::Outcome::kMismatch;
    rerun.reason = lastLine(output);
  } else {
    rerun.reason = "the re-run failed";
  }
  return rerun;
}

}  // namespace

Verifier::Verifier(std::string program, std::string dataFolder, RerunLimits limits)
    : program_(std::move(program)), dataFolder_(std::move(dataFolder)), limits_(limits) {}

bool Verifier::Acquire() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (running_ >= limits_.workers && waiting_ >= limits_.workers * limits_.queuePerWorker) return false;
  ++waiting_;
  freed_.wait(lock, [&] { return running_ < limits_.workers; });
  --waiting_;
  ++running_;
  return true;
}

void Verifier::Release() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    --running_;
  }
  freed_.notify_one();
}

Rerun Verifier::Run(const std::string& replay) {
  std::string path = tempFolder() + "/korvane-rerun-XXXXXX";
  const int fd = mkstemp(path.data());
  Rerun rerun;
  if (fd < 0 || write(fd, replay.data(), replay.size()) != static_cast<ssize_t>(replay.size())) {
    if (fd >= 0) close(fd), unlink(path.c_str());
    rerun.reason = "the server could not keep the replay for its re-run";
    return rerun;
  }
  close(fd);
  if (!Acquire()) {
    unlink(path.c_str());
    rerun.outcome = Rerun::Outcome::kBusy;
    rerun.reason = "too many replays are waiting for a re-run";
    return rerun;
  }
  rerun = RunChild(path);
  Release();
  unlink(path.c_str());
  return rerun;
}

Rerun Verifier::RunChild(const std::string& path) {
  int pipeEnds[2];
  Rerun rerun;
  rerun.reason = "the server could not start a re-run";
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) return rerun;
  const char* const argv[] = {program_.c_str(), "--data", dataFolder_.c_str(), path.c_str(), nullptr};
  const pid_t child = fork();
  if (child == 0) execChild(argv, pipeEnds[1], limits_);
  close(pipeEnds[1]);
  if (child < 0) {
    close(pipeEnds[0]);
    return rerun;
  }
  std::string output;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limits_.wallSeconds);
  const bool finished = readUntil(pipeEnds[0], deadline, &output);
  close(pipeEnds[0]);
  if (!finished) kill(child, SIGKILL);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return judge(status, finished, output, limits_);
}

}  // namespace server

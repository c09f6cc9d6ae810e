// Runs a piece of code in a forked child with its own standard input, output
// and error, for paths that end the process.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace childtest {

struct Outcome {
  int exit_code = -1;  // the exit status, or -1 when a signal ended the child
  int signal = 0;
  std::string out;
  std::string err;
};

// What the child's standard input is.
struct Input {
  enum Kind { kText, kClosed } kind = kText;
  std::string text;  // written whole, then end of input
};

inline Input text(std::string s) { return Input{Input::kText, std::move(s)}; }
inline Input closed() { return Input{Input::kClosed, {}}; }

// Runs body in a child; when it returns the child exits with code 0.
inline Outcome run(const std::function<void()>& body, const Input& input = text("")) {
  std::signal(SIGPIPE, SIG_IGN);  // the child may end before reading its input
  int in[2], out[2], err[2];
  if (pipe(in) || pipe(out) || pipe(err)) std::abort();
  std::fflush(stdout);
  std::fflush(stderr);
  pid_t pid = fork();
  if (pid == 0) {
    if (input.kind == Input::kClosed) {
      close(0);
    } else {
      dup2(in[0], 0);
    }
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    body();
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(0);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  if (write(in[1], input.text.data(), input.text.size()) < 0) {
    // The child may already have ended without reading.
  }
  close(in[1]);

  Outcome outcome;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&outcome.out, &outcome.err};
  int open_streams = 2;
  while (open_streams > 0 && poll(fds, 2, -1) > 0) {
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char chunk[4096];
      ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
      if (n > 0) {
        sinks[i]->append(chunk, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_streams;
      }
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) outcome.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  return outcome;
}

}  // namespace childtest

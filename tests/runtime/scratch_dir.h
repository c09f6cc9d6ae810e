// ScratchDir: a fresh temporary folder that is the working directory for the
// life of the object; the previous working directory is restored and the
// folder removed afterwards.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

class ScratchDir {
 public:
  ScratchDir() {
    char pattern[] = "/tmp/korvane-test-XXXXXX";
    path_ = mkdtemp(pattern);
    char* previous = getcwd(nullptr, 0);
    previous_ = previous;
    std::free(previous);
    if (chdir(path_.c_str()) != 0) std::abort();
  }
  ~ScratchDir() {
    if (chdir(previous_.c_str()) != 0) std::abort();
    std::string command = "chmod -R u+rwx '" + path_ + "' 2>/dev/null; rm -rf '" + path_ + "'";
    if (std::system(command.c_str()) != 0) {
      // Left behind in /tmp; nothing else depends on it.
    }
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string previous_;
};

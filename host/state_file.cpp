#include "host/state_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "runtime/files.h"

namespace {

const char kStatePath[] = ".vellumstate";
// mkstemp pattern: a hidden sibling of the state file, so the final rename
// stays within one folder (and one file system).
const char kTemporaryPattern[] = ".vellumstate.XXXXXX";
// Permissions of a new state file before the umask, as fopen would give.
constexpr mode_t kNewFileMode = 0666;

mode_t CurrentUmask() {
  mode_t mask = umask(0);
  umask(mask);
  return mask;
}

bool WriteAll(int fd, const std::vector<unsigned char>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

// Makes the rename itself durable; a folder that cannot be synced still holds
// a complete file under one of the two names, so failure here is ignored.
void SyncFolder() {
  int folder = open(".", O_RDONLY | O_DIRECTORY);
  if (folder < 0) return;
  fsync(folder);
  close(folder);
}

}  // namespace

String LoadStateFile() {
  FILE* file = std::fopen(kStatePath, "rb");
  if (!file) return String();
  String text = String::Load(file);
  std::fclose(file);
  return text;
}

int SaveStateFile(String state) {
  std::vector<unsigned char> bytes;
  state.Save(bytes);

  std::string temporary = kTemporaryPattern;
  int fd = mkstemp(temporary.data());
  if (fd < 0) return kStateNotCreated;
  fchmod(fd, kNewFileMode & ~CurrentUmask());

  bool written = WriteAll(fd, bytes) && fsync(fd) == 0;
  written = (close(fd) == 0) && written;
  if (!written) {
    unlink(temporary.c_str());
    return kStateNotWritten;
  }
  if (std::rename(temporary.c_str(), kStatePath) != 0) {
    unlink(temporary.c_str());
    return kStateNotCreated;
  }
  SyncFolder();
  return kStateSaved;
}

String LoadTextFile(String path) {
  FILE* file = fopenFile(path, String("rb"));
  if (!file) return String();
  String text = String::Load(file);
  std::fclose(file);
  return text;
}

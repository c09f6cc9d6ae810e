#include "host/state_file.h"

#include <errno.h>
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
// Most of a state file that is read. A state is a short line of text; a file
// far larger than any state was damaged or put there by someone else, and
// reading all of it could take minutes or exhaust memory before the first
// frame. Reading stops here and the text read so far counts.
constexpr size_t kStateReadLimit = 16u << 20;  // bytes
constexpr size_t kReadBlock = 4096;             // bytes

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

// Whether a state file is there that this process cannot read. Replacing it
// would throw away a player's scores that only look absent (a permission
// mistake, a damaged disk), so saves leave such a file alone.
bool StateUnreadable() {
  FILE* file = std::fopen(kStatePath, "rb");
  if (file) {
    std::fclose(file);
    return false;
  }
  return errno != ENOENT;
}

}  // namespace

String LoadStateFile() {
  FILE* file = std::fopen(kStatePath, "rb");
  if (!file) return String();
  std::vector<unsigned char> bytes;
  while (bytes.size() < kStateReadLimit) {
    const size_t have = bytes.size();
    bytes.resize(have + kReadBlock);
    const size_t got = std::fread(bytes.data() + have, 1, kReadBlock, file);
    bytes.resize(have + got);
    if (got < kReadBlock) break;
  }
  std::fclose(file);
  return String::Load(bytes.data(), static_cast<int>(bytes.size()));
}

int SaveStateFile(String state) {
  if (StateUnreadable()) return kStateNotCreated;
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

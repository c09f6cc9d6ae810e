#include "host/state_file.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "runtime/files.h"

namespace {

const char kStatePath[] = ".vellumstate";
// mkstemp pattern for the new text: a hidden file beside the file it will
// replace, so the final rename stays within one folder (and one file system).
const char kTemporaryName[] = ".vellumstate.XXXXXX";
// Permissions of a new state file before the umask, as fopen would give.
constexpr mode_t kNewFileMode = 0666;
constexpr mode_t kPermissionBits = 07777;
// Links followed from ".vellumstate" before giving up, as the system does
// (its limit for one path is 40): more means a loop.
constexpr int kMostLinks = 40;
// Most of a state file that is read. A state is a short line of text; a file
// far larger than any state was damaged or put there by someone else, and
// reading all of it could take minutes or exhaust memory before the first
// frame. Reading stops here and the text read so far counts.
constexpr size_t kStateReadLimit = 16u << 20;  // bytes
constexpr size_t kReadBlock = 4096;            // bytes

mode_t currentUmask() {
  mode_t mask = umask(0);
  umask(mask);
  return mask;
}

bool writeAll(int fd, const std::vector<unsigned char>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

// The folder part of a path ("." for a bare name), with its final slash.
std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "./";
  return path.substr(0, slash + 1);
}

// Makes the rename itself durable; a folder that cannot be synced still holds
// a complete file under one of the two names, so failure here is ignored.
void syncFolder(const std::string& folder) {
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// The file a save must replace: ".vellumstate" itself, or, when it is a
// symbolic link (players keep their scores in a synced folder this way), the
// file at the end of its chain of links, which may not exist yet (a dangling
// link is followed as opening the link for writing would follow it). False
// for a loop of links or an unreadable link.
bool resolveStatePath(std::string& path) {
  path = kStatePath;
  for (int hops = 0; hops <= kMostLinks; ++hops) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) return errno == ENOENT;
    if (!S_ISLNK(info.st_mode)) return true;
    std::vector<char> target(static_cast<size_t>(info.st_size > 0 ? info.st_size : PATH_MAX) + 1);
    const ssize_t length = readlink(path.c_str(), target.data(), target.size());
    if (length <= 0 || static_cast<size_t>(length) >= target.size()) return false;
    const std::string next(target.data(), static_cast<size_t>(length));
    path = next[0] == '/' ? next : folderOf(path) + next;
  }
  return false;
}

// Whether a file is there that this process cannot read. Replacing it would
// throw away a player's scores that only look absent (a permission mistake, a
// damaged disk), so saves leave such a file alone.
bool unreadable(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file) {
    std::fclose(file);
    return false;
  }
  return errno != ENOENT;
}

// Whether the existing file at `path` may be written by this process. A
// write-protected state is the player's decision: the rename would replace it
// all the same, so it is checked here and left alone.
bool writable(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  return true;
}

// The permission bits the new file gets: those of the file it replaces (a
// private 0600 state stays private), else those fopen would give.
bool chooseMode(const std::string& path, mode_t& mode) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    if (errno != ENOENT) return false;
    mode = kNewFileMode & ~currentUmask();
    return true;
  }
  // Only a plain file is replaced: a folder, device or pipe in its place is
  // something the player did not make by saving.
  if (!S_ISREG(info.st_mode) || unreadable(path) || !writable(path)) return false;
  mode = info.st_mode & kPermissionBits;
  return true;
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
  std::string target;
  mode_t mode = 0;
  if (!resolveStatePath(target) || !chooseMode(target, mode)) return kStateNotCreated;
  std::vector<unsigned char> bytes;
  state.Save(bytes);

  const std::string folder = folderOf(target);
  std::string temporary = folder + kTemporaryName;
  int fd = mkstemp(temporary.data());
  if (fd < 0) return kStateNotCreated;  // also when the link points into a missing folder
  fchmod(fd, mode);

  bool written = writeAll(fd, bytes) && fsync(fd) == 0;
  written = (close(fd) == 0) && written;
  if (!written) {
    unlink(temporary.c_str());
    return kStateNotWritten;
  }
  if (std::rename(temporary.c_str(), target.c_str()) != 0) {
    unlink(temporary.c_str());
    return kStateNotCreated;
  }
  syncFolder(folder);
  return kStateSaved;
}

String LoadTextFile(String path) {
  FILE* file = fopenFile(path, String("rb"));
  if (!file) return String();
  String text = String::Load(file);
  std::fclose(file);
  return text;
}

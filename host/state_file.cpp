#include "host/state_file.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/files.h"

namespace {

const char kStatePath[] = ".vellumstate";
// mkstemp pattern for the new text: a hidden file beside the file it will
// replace, so the final rename stays within one folder (and one file system).
const char kTemporaryName[] = ".vellumstate.XXXXXX";
constexpr size_t kTemporaryPrefix = sizeof(kTemporaryName) - 1 - 6;  // up to the X's
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
// Flags of every open: never wait (a pipe with no writer would block for
// good), never take a terminal, never leak into a child.
constexpr int kOpenFlags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// What went wrong with a save, for the player's line on standard error.
struct Outcome {
  int result = kStateSaved;
  std::string reason;
};

Outcome failure(int result, const std::string& reason) { return {result, reason}; }
Outcome failure(int result, int error) { return {result, std::strerror(error)}; }

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
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// An exclusive advisory lock on a folder, held while it lives. Every copy of
// the program that saves into the folder takes it, so a read, merge and
// replace of the state is never interleaved with another's. A folder that
// cannot be opened for the lock (search permission only) is worked in
// unlocked, as before locking existed.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder) : fd_(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ < 0) return;
    while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~FolderLock() {
    if (fd_ >= 0) close(fd_);  // closing releases the lock
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_;
};

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

// Opens the plain file at `path` for `access` without waiting; anything else
// in its place (pipe, device, socket, folder) is refused before it is opened,
// and checked again once open in case it was swapped meanwhile. -1 with errno
// set on failure (EINVAL for what is not a plain file).
int openPlainFile(const std::string& path, int access) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return -1;
  if (!S_ISREG(info.st_mode)) {
    errno = EINVAL;
    return -1;
  }
  const int fd = open(path.c_str(), access | kOpenFlags);
  if (fd < 0) return -1;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    errno = EINVAL;
    return -1;
  }
  return fd;
}

// Reads the state at `path` into `text`. A missing file is an empty state;
// false (errno set) when a file is there that cannot be read as one.
bool readStateFile(const std::string& path, String& text) {
  text = String();
  const int fd = openPlainFile(path, O_RDONLY);
  if (fd < 0) return errno == ENOENT;
  std::vector<unsigned char> bytes;
  bool failed = false;
  while (bytes.size() < kStateReadLimit) {
    const size_t have = bytes.size();
    bytes.resize(have + kReadBlock);
    const ssize_t got = read(fd, bytes.data() + have, kReadBlock);
    if (got < 0 && errno == EINTR) {
      bytes.resize(have);
      continue;
    }
    failed = got < 0;
    bytes.resize(have + static_cast<size_t>(got > 0 ? got : 0));
    if (got <= 0) break;
  }
  close(fd);
  text = String::Load(bytes.data(), static_cast<int>(bytes.size()));
  return !failed;
}

// Whether the existing file at `path` may be written by this process. A
// write-protected state is the player's decision: the rename would replace it
// all the same, so it is checked here and left alone.
bool writable(const std::string& path) {
  const int fd = openPlainFile(path, O_WRONLY);
  if (fd < 0) return false;
  close(fd);
  return true;
}

// The permission bits the new file gets: those of the file it replaces (a
// private 0600 state stays private), else those fopen would give.
Outcome chooseMode(const std::string& path, mode_t& mode) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    if (errno != ENOENT) return failure(kStateNotCreated, errno);
    mode = kNewFileMode & ~currentUmask();
    return {};
  }
  // Only a plain file is replaced: a folder, device or pipe in its place is
  // something the player did not make by saving.
  if (!S_ISREG(info.st_mode)) return failure(kStateNotCreated, "it is not a plain file");
  if (!writable(path)) return failure(kStateNotCreated, errno);
  mode = info.st_mode & kPermissionBits;
  return {};
}

// Whether a failed replacement may be made good by writing the file in place:
// the folder refused a new name (no write permission, a sticky folder, a
// file mounted on its own), not the disk.
bool replacementRefused(int error) { return error == EACCES || error == EPERM || error == EBUSY || error == EXDEV; }

// Rewrites the existing plain file at `path` in place. The room for the new
// text is reserved before any byte is written, so a full disk or a quota
// leaves the old text whole.
Outcome writeInPlace(const std::string& path, const std::vector<unsigned char>& bytes) {
  const int fd = openPlainFile(path, O_WRONLY);
  if (fd < 0) return failure(kStateNotCreated, errno);
  const off_t size = static_cast<off_t>(bytes.size());
  int error = size > 0 ? posix_fallocate(fd, 0, size) : 0;
  if (error == EOPNOTSUPP || error == EINVAL) error = 0;  // nothing to reserve with: write as it is
  if (error != 0) {
    close(fd);
    return failure(kStateNotWritten, error);
  }
  const bool written = writeAll(fd, bytes) && ftruncate(fd, size) == 0 && fsync(fd) == 0;
  error = errno;
  if (close(fd) != 0 && written) return failure(kStateNotWritten, errno);
  return written ? Outcome{} : failure(kStateNotWritten, error);
}

// Writes the new text beside `target` and renames it into place, falling
// back to writing the target in place where the folder refuses the
// replacement but the file itself is writable.
Outcome replaceFile(const std::string& target, const std::vector<unsigned char>& bytes, mode_t mode) {
  const std::string folder = folderOf(target);
  std::string temporary = folder + kTemporaryName;
  const int fd = mkstemp(temporary.data());
  if (fd < 0) {
    const int error = errno;  // also a link into a missing folder
    if (replacementRefused(error) && writable(target)) return writeInPlace(target, bytes);
    return failure(kStateNotCreated, error);
  }
  fchmod(fd, mode);
  bool written = writeAll(fd, bytes) && fsync(fd) == 0;
  int error = errno;
  written = (close(fd) == 0) && written;
  if (!written) {
    unlink(temporary.c_str());
    return failure(kStateNotWritten, error);
  }
  if (std::rename(temporary.c_str(), target.c_str()) != 0) {
    error = errno;
    unlink(temporary.c_str());
    if (replacementRefused(error) && writable(target)) return writeInPlace(target, bytes);
    return failure(kStateNotCreated, error);
  }
  syncFolder(folder);
  return {};
}

// Whether `name` is one of the save's temporary files.
bool isTemporaryName(const char* name) {
  return std::strncmp(name, kTemporaryName, kTemporaryPrefix) == 0 && std::strlen(name) == sizeof(kTemporaryName) - 1;
}

// Removes the temporary files that saves cut short by a kill left in
// `folder`. Called with the folder's lock held: a save in progress holds it
// too, so every temporary file found here belongs to no running save.
void removeStaleTemporaries(const std::string& folder) {
  DIR* entries = opendir(folder.c_str());
  if (entries == nullptr) return;
  while (const dirent* entry = readdir(entries)) {
    if (!isTemporaryName(entry->d_name)) continue;
    const std::string path = folder + entry->d_name;
    struct stat info;
    if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) unlink(path.c_str());
  }
  closedir(entries);
}

// The state file's name as the player finds it: absolute when the working
// folder is known.
std::string shownPath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char here[PATH_MAX];
  if (getcwd(here, sizeof here) == nullptr) return path;
  std::string shown = path.rfind("./", 0) == 0 ? path.substr(2) : path;
  return std::string(here) + "/" + shown;
}

void reportFailure(const std::string& path, const std::string& reason) {
  std::fprintf(stderr, "korvane: could not save %s: %s\n", shownPath(path).c_str(), reason.c_str());
  std::fflush(stderr);
}

Outcome updateUnderLock(const std::string& target, const StateMerge& merge) {
  String onDisk;
  if (!readStateFile(target, onDisk)) {
    return failure(kStateNotCreated, errno == EINVAL ? std::string("it is not a plain file") : std::strerror(errno));
  }
  mode_t mode = 0;
  const Outcome chosen = chooseMode(target, mode);
  if (chosen.result != kStateSaved) return chosen;
  std::vector<unsigned char> bytes;
  merge(onDisk).Save(bytes);
  return replaceFile(target, bytes, mode);
}

}  // namespace

String LoadStateFile() {
  std::string target;
  if (resolveStatePath(target)) {
    FolderLock lock(folderOf(target));
    removeStaleTemporaries(folderOf(target));
  }
  String text;
  readStateFile(kStatePath, text);
  return text;
}

int SaveStateFile(String state) {
  return UpdateStateFile([&state](const String&) { return state; });
}

int UpdateStateFile(const StateMerge& merge) {
  std::string target;
  Outcome outcome;
  if (!resolveStatePath(target)) {
    target = kStatePath;
    outcome = failure(kStateNotCreated, "its chain of links cannot be followed");
  } else {
    FolderLock lock(folderOf(target));
    outcome = updateUnderLock(target, merge);
  }
  if (outcome.result != kStateSaved) reportFailure(target, outcome.reason);
  return outcome.result;
}

String LoadTextFile(String path) {
  FILE* file = fopenFile(path, String("rb"));
  if (!file) return String();
  String text = String::Load(file);
  std::fclose(file);
  return text;
}

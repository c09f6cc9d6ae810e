// Temporary folders for tests: TempFolder makes a fresh folder in the system's
// temporary folder ($TMPDIR when set, else /tmp) and removes it with everything in it when it goes; WorkingFolder is
// also the process's working directory while it lives.
//
// A folder that cannot be made throws std::runtime_error, which fails the test
// that asked for it (GoogleTest reports the exception); there is never a
// fallback to a shared folder. Removal goes through std::filesystem, never a
// shell: read-only or unreadable folders a test left behind get their owner's
// permissions back first, and symbolic links (to the build's data, say) are
// removed without touching what they point to.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace testsupport {

class TempFolder {
 public:
  // `name` becomes part of the folder's name, to tell its owner.
  explicit TempFolder(const std::string& name = "test") {
    std::string pattern = SystemTemporaryFolder() + "/korvane-" + name + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("cannot make a temporary folder " + pattern + ": " + std::strerror(errno));
    }
    path_ = pattern;
  }
  ~TempFolder() { Remove(path_); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

  // $TMPDIR when it names a folder, else /tmp: a run given a TMPDIR of its
  // own can check that every test cleaned up after itself.
  static std::string SystemTemporaryFolder() {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    return error ? std::string("/tmp") : folder.string();
  }

  // Removes `folder` and everything in it; false when something stayed.
  static bool Remove(const std::filesystem::path& folder) {
    std::error_code ignored;
    GiveBackPermissions(folder);
    std::filesystem::remove_all(folder, ignored);
    return !std::filesystem::exists(std::filesystem::symlink_status(folder, ignored));
  }

 private:
  // Folders without write or search permission cannot be emptied.
  static void GiveBackPermissions(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    std::error_code ignored;
    if (!fs::is_directory(fs::symlink_status(folder, ignored))) return;
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (fs::directory_iterator entry(folder, ignored), end; !ignored && entry != end; entry.increment(ignored)) {
      GiveBackPermissions(entry->path());
    }
  }

  std::string path_;
};

// A TempFolder that is the working directory for its lifetime; the previous
// working directory comes back when it goes.
class WorkingFolder : public TempFolder {
 public:
  explicit WorkingFolder(const std::string& name = "test") : TempFolder(name) {
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(path());
  }
  ~WorkingFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
  }

 private:
  std::filesystem::path previous_;
};

}  // namespace testsupport

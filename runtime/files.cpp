#include "runtime/files.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct LocationRoot {
  const char* prefix;
  const char* folder;
};

const char kScheme[] = "vellum://";
const LocationRoot kRoots[] = {
    {"vellum://data/", "./data/"},
    {"vellum://internal/", "./internal/"},
    {"vellum://external/", "./external/"},
};

// The path as a NUL-terminated UTF-8 file name; false when the text holds a
// NUL, which no file name can, so that it never opens a shorter path.
bool toFileName(const String& text, std::vector<unsigned char>* name) {
  text.Save(*name);
  if (std::find(name->begin(), name->end(), 0) != name->end()) return false;
  name->push_back(0);
  return true;
}

// Where a location root's folder is. Once found, its full path is kept for as
// long as the working folder stays the same folder, so that a working folder
// deleted or emptied under the running program (the player's folder removed,
// the link to the data with it) does not cut the program off from data that
// is still there. A program that moves to another working folder looks
// afresh; until the folder is found, its path relative to the working folder.
struct FoundRoot {
  std::filesystem::path folder;  // empty until found
  dev_t device = 0;              // the working folder it was found from
  ino_t inode = 0;
};

String rootFolder(const LocationRoot& root) {
  static std::vector<FoundRoot> found(std::size(kRoots));
  FoundRoot& known = found[static_cast<size_t>(&root - kRoots)];
  struct stat here;
  if (stat(".", &here) != 0) here = {};
  if (known.folder.empty() || known.device != here.st_dev || known.inode != here.st_ino) {
    std::error_code error;
    known.folder = std::filesystem::canonical(root.folder, error);
    if (error) {
      known.folder.clear();
      return String(root.folder);
    }
    known.device = here.st_dev;
    known.inode = here.st_ino;
  }
  const std::string path = known.folder.string() + "/";
  return String::Load(reinterpret_cast<const unsigned char*>(path.data()), static_cast<int>(path.size()));
}

// The folder path for `path`, or false for a location root that names no
// folder.
bool resolvePath(const String& path, String* resolved) {
  if (!path.StartsWith(String(kScheme))) {
    *resolved = path;
    return true;
  }
  for (const LocationRoot& root : kRoots) {
    if (path.StartsWith(String(root.prefix))) {
      *resolved = rootFolder(root) + path.Slice(static_cast<int>(std::strlen(root.prefix)));
      return true;
    }
  }
  return false;
}

}  // namespace

FILE* fopenFile(String path, String mode) {
  String resolved;
  if (!resolvePath(path, &resolved)) return nullptr;
  std::vector<unsigned char> fileName, openMode;
  if (!toFileName(resolved, &fileName) || !toFileName(mode, &openMode)) return nullptr;
  return std::fopen(reinterpret_cast<const char*>(fileName.data()),
                    reinterpret_cast<const char*>(openMode.data()));
}

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
std::string dataFolder = "./data/";
LocationRoot kRoots[] = {
    {"vellum://data/", dataFolder.c_str()},
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

// Where a location root's folder is: its path in the working folder, as
// long as it is there. Its full path is remembered each time, so that when
// the working folder itself is deleted under the running program (the
// player's folder removed, the link to the data with it) the data that is
// still there is still found.
bool workingFolderDeleted() {
  struct stat here;
  return stat(".", &here) != 0 || here.st_nlink == 0;
}

String fromFileName(const std::string& name) {
  return String::Load(reinterpret_cast<const unsigned char*>(name.data()), static_cast<int>(name.size()));
}

String rootFolder(const LocationRoot& root) {
  static std::vector<std::string> lastFound(std::size(kRoots));
  std::string& known = lastFound[static_cast<size_t>(&root - kRoots)];
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::canonical(root.folder, error);
  if (!error) {
    known = canonical.string() + "/";
    return fromFileName(root.folder);
  }
  if (known.empty() || !workingFolderDeleted()) return fromFileName(root.folder);
  return fromFileName(known);
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

void SetDataFolder(const std::string& folder) {
  dataFolder = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  kRoots[0].folder = dataFolder.c_str();
}

FILE* fopenFile(String path, String mode) {
  String resolved;
  if (!resolvePath(path, &resolved)) return nullptr;
  std::vector<unsigned char> fileName, openMode;
  if (!toFileName(resolved, &fileName) || !toFileName(mode, &openMode)) return nullptr;
  return std::fopen(reinterpret_cast<const char*>(fileName.data()), reinterpret_cast<const char*>(openMode.data()));
}

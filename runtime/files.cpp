#include "runtime/files.h"

#include <algorithm>
#include <cstring>
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

// The folder path for `path`, or false for a location root that names no
// folder.
bool resolvePath(const String& path, String* resolved) {
  if (!path.StartsWith(String(kScheme))) {
    *resolved = path;
    return true;
  }
  for (const LocationRoot& root : kRoots) {
    if (path.StartsWith(String(root.prefix))) {
      *resolved = String(root.folder) + path.Slice(static_cast<int>(std::strlen(root.prefix)));
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
  return std::fopen(reinterpret_cast<const char*>(fileName.data()), reinterpret_cast<const char*>(openMode.data()));
}

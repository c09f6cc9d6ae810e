// Data paths (see data.h).
#include "framework/data.h"

namespace {
const char* const kDataRoot = "vellum://data/";
}  // namespace

String vl_data_FixDataPath(String path) {
  const int schemeEnd = path.Find(String(":/"), 0);
  if (schemeEnd != -1 && path.Find(String("/"), 0) == schemeEnd + 1) return path;
  if (path.StartsWith(String("./")) || path.StartsWith(String("/"))) return path;
  return String(kDataRoot) + path;
}

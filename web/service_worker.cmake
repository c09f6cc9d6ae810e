# cmake -DSITE=<page folder> -DTEMPLATE=<service-worker.js> -P service_worker.cmake
# Writes SITE/service-worker.js from the template: every other file of the
# page with its SHA-256, and the build's name, a hash over all of them, so
# that any change to any file makes a new worker with a cache of its own.
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${SITE} ${SITE}/*)
list(REMOVE_ITEM files service-worker.js)
list(SORT files)
set(entries "")
set(all "")
foreach(file IN LISTS files)
  file(SHA256 ${SITE}/${file} hash)
  string(APPEND entries "  '${file}': '${hash}',\n")
  string(APPEND all "${file} ${hash}\n")
endforeach()
string(SHA256 build "${all}")
string(SUBSTRING ${build} 0 16 KORVANE_BUILD)
string(REGEX REPLACE "\n$" "" KORVANE_FILES "${entries}")
configure_file(${TEMPLATE} ${SITE}/service-worker.js @ONLY)

# cmake -DDATA=<data folder> -DSITE=<page folder> -DPACKAGER=<file_packager.py>
#       -DPYTHON=<python3> -P pack_data.cmake
# Packs the data folder into data-common.{data,js} (sounds, and images that
# come in one size) and data-1, data-2 and data-4 (the images of each
# resolution level: "name.png", "name-hd.png", "name-hd2.png"), so that the
# page fetches only the level its canvas needs. Files land under /data. The
# desktop window's icons stay out: the page has its own.
file(GLOB_RECURSE files RELATIVE ${DATA} ${DATA}/*)
list(FILTER files EXCLUDE REGEX "^icons/")
list(SORT files)
set(common "")
set(level1 "")
set(level2 "")
set(level4 "")
foreach(file IN LISTS files)
  string(REGEX REPLACE "\\.png$" "" stem "${file}")
  if(file MATCHES "-hd2\\.png$")
    list(APPEND level4 "${file}")
  elseif(file MATCHES "-hd\\.png$")
    list(APPEND level2 "${file}")
  elseif(file MATCHES "\\.png$" AND EXISTS ${DATA}/${stem}-hd.png)
    list(APPEND level1 "${file}")
  else()
    list(APPEND common "${file}")
  endif()
endforeach()

function(pack name)
  set(args "")
  foreach(file IN LISTS ARGN)
    list(APPEND args "${DATA}/${file}@/data/${file}")
  endforeach()
  execute_process(
    COMMAND ${PYTHON} ${PACKAGER} ${SITE}/data-${name}.data --preload ${args}
            --js-output=${SITE}/data-${name}.js --no-node
    RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "packing data-${name} failed")
  endif()
endfunction()

file(MAKE_DIRECTORY ${SITE})
pack(common ${common})
pack(1 ${level1})
pack(2 ${level2})
pack(4 ${level4})

# Checks at every build that each layer includes only what lies below it:
#   runtime    <- nothing of ours
#   host       <- runtime
#   framework  <- runtime, host
#   music      <- runtime, framework
#   game       <- runtime, framework, music
#   server     <- every layer (it re-runs the game headless); nothing includes it
# and that only host/ includes the platform's window, OpenGL and OpenAL
# headers (GLFW/, GL/, AL/); benchmarks and tests may use them directly. The
# tools above the game's layers (tools/music_demo) may reach the host for
# their window but not the platform itself.
# Run as: cmake -DSOURCE_DIR=<repo> -P cmake/KorvaneLayers.cmake
set(allowed_runtime runtime)
set(allowed_host runtime host)
set(allowed_framework runtime host framework)
set(allowed_music runtime framework music)
set(allowed_game runtime framework music game)
set(allowed_tools runtime host framework music game tools)
set(allowed_server runtime host framework music game server)
set(platform_headers "GLFW/|GL/|AL/")

set(faults "")
foreach(layer runtime host framework music game tools server)
  file(GLOB_RECURSE sources "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.cpp" "${SOURCE_DIR}/${layer}/*.c")
  foreach(source ${sources})
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
    foreach(line ${includes})
      if(line MATCHES "#[ \t]*include[ \t]*\"(runtime|host|framework|music|game|tools|server)/")
        list(FIND allowed_${layer} "${CMAKE_MATCH_1}" found)
        if(found EQUAL -1)
          string(APPEND faults "  ${shown}: ${line} (${layer}/ may not include ${CMAKE_MATCH_1}/)\n")
        endif()
      elseif(NOT layer STREQUAL "host" AND line MATCHES "#[ \t]*include[ \t]*<(${platform_headers})")
        string(APPEND faults "  ${shown}: ${line} (only host/ talks to the window, OpenGL and OpenAL)\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  message(FATAL_ERROR "Includes that cross the layers the wrong way:\n${faults}")
endif()

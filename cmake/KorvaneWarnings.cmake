# One warning set and one sanitizer switch for every target of the project.
add_compile_options(-Wall -Wextra)
# No fused multiply-add: a replay re-runs bit for bit only if every build
# (GCC, clang, WebAssembly) rounds each float operation on its own.
add_compile_options(-ffp-contract=off)
if(KORVANE_WERROR)
  add_compile_options(-Werror)
endif()
if(KORVANE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(KORVANE_GC_STRESS)
  add_compile_definitions(KORVANE_GC_STRESS=1)
endif()
# The collector asserts its tri-colour invariant in debug and stress builds
# (runtime/gc.h); release builds carry no trace of the check.
if(KORVANE_GC_STRESS)
  add_compile_definitions(KORVANE_GC_CHECKS=1)
else()
  add_compile_definitions($<$<CONFIG:Debug>:KORVANE_GC_CHECKS=1>)
endif()
if(KORVANE_FUZZ)
  # Instrument every library for coverage; only the fuzz targets link the driver.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

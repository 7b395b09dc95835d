# Packs the build as a Debian package and runs lintian on it.
#   cmake -DBUILD_DIR=<build> -DOUT=<empty folder> -P Lintian_test.cmake
# Catches: anything lintian reports as an error or a warning (a game outside /usr/games, a private
# library not linked against libc, ldconfig in maintainer scripts, long description lines, a
# missing manual page, copyright or changelog). Skipped without lintian (scripts/setup installs it).
foreach(var BUILD_DIR OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()
find_program(lintian lintian)
if(NOT lintian)
  message("SKIPPED: lintian missing (scripts/setup installs it)")
  return()
endif()
file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}")
execute_process(COMMAND cpack -G DEB --config "${BUILD_DIR}/CPackConfig.cmake" -B "${OUT}"
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE error)
file(GLOB debs "${OUT}/*.deb")
if(NOT result EQUAL 0 OR NOT debs)
  message(FATAL_ERROR "cpack failed (${result}):\n${out}${error}")
endif()
execute_process(COMMAND "${lintian}" --fail-on error,warning ${debs}
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE error)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "lintian found errors or warnings:\n${out}${error}")
endif()
message("lintian: clean\n${out}")

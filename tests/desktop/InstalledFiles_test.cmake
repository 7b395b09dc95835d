# Installs the build into a fresh temporary prefix and checks what a desktop needs there.
#   cmake -DBUILD_DIR=<build> -DPREFIX=<empty folder> -DAPP_ID=<id> -DMODE=files|validate
#         -DPRIVATE_LIBDIR=<folder of the private libraries, relative to the prefix>
#         -P InstalledFiles_test.cmake
#
# MODE=files catches: the program, a shared library it needs, the desktop entry, the metainfo or
# an icon missing from the install, a test or tool program installed, and a run path that does
# not find the private libraries after install (the installed program is run), or a private
# library the packed filter library needs that the program does not load itself.
# MODE=validate catches: a desktop entry or metainfo file that desktop-file-validate or
# `appstreamcli validate --no-net` rejects (it is skipped without those tools), and a metainfo
# screenshot that is not the picture the package ships, at that picture's size.

foreach(var BUILD_DIR PREFIX APP_ID MODE PRIVATE_LIBDIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE error)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${error}")
endif()

set(desktop "${PREFIX}/share/applications/${APP_ID}.desktop")
set(metainfo "${PREFIX}/share/metainfo/${APP_ID}.metainfo.xml")

if(MODE STREQUAL "files")
  set(expected
      bin/frostwipe
      ${PRIVATE_LIBDIR}/libplatform_core.so
      ${PRIVATE_LIBDIR}/libplatform_gdi.so
      share/applications/${APP_ID}.desktop
      share/metainfo/${APP_ID}.metainfo.xml
      share/icons/hicolor/256x256/apps/${APP_ID}.png
      share/icons/hicolor/scalable/apps/${APP_ID}.svg
      share/man/man6/frostwipe.6.gz
      share/doc/frostwipe/copyright
      share/doc/frostwipe/changelog.gz
      share/frostwipe/screenshots/main-window.png)
  file(GLOB_RECURSE installed RELATIVE "${PREFIX}" "${PREFIX}/*")
  list(SORT installed)
  list(SORT expected)
  if(NOT installed STREQUAL expected)
    string(REPLACE ";" "\n  " installed "${installed}")
    string(REPLACE ";" "\n  " expected "${expected}")
    message(FATAL_ERROR "installed:\n  ${installed}\nexpected exactly:\n  ${expected}")
  endif()

  # The icon is a 256x256 PNG: the size sits in the IHDR chunk at bytes 16..23.
  file(READ "${PREFIX}/share/icons/hicolor/256x256/apps/${APP_ID}.png" header LIMIT 24 HEX)
  if(NOT header STREQUAL "89504e470d0a1a0a0000000d494844520000010000000100")
    message(FATAL_ERROR "the icon is not a 256x256 PNG (header ${header})")
  endif()

  file(STRINGS "${desktop}" exec REGEX "^Exec=")
  if(NOT exec STREQUAL "Exec=frostwipe")
    message(FATAL_ERROR "the desktop entry starts '${exec}', not 'Exec=frostwipe'")
  endif()

  # The installed program must find its libraries through its run path alone, not through the
  # build folder's run path or the environment.
  execute_process(COMMAND env -u LD_LIBRARY_PATH "${PREFIX}/bin/frostwipe" --version
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE error)
  if(NOT result EQUAL 0 OR NOT out MATCHES "^frostwipe [0-9]+\\.[0-9]+\\.[0-9]+\n$")
    message(FATAL_ERROR "the installed program failed (${result}): ${out}${error}")
  endif()
  execute_process(COMMAND readelf -d "${PREFIX}/bin/frostwipe" OUTPUT_VARIABLE dynamic)
  if(dynamic MATCHES "${BUILD_DIR}")
    message(FATAL_ERROR "the installed program still names the build folder:\n${dynamic}")
  endif()
  # The packed filter library is dlopen'ed from a temporary file, where no run path finds the
  # private libraries: the program must already have loaded every one of them.
  foreach(library libplatform_core.so libplatform_gdi.so)
    if(NOT dynamic MATCHES "\\(NEEDED\\)[^\n]*\\[${library}\\]")
      message(FATAL_ERROR "the installed program does not load ${library}:\n${dynamic}")
    endif()
  endforeach()
elseif(MODE STREQUAL "validate")
  set(shot "${PREFIX}/share/frostwipe/screenshots/main-window.png")
  file(READ "${shot}" header OFFSET 16 LIMIT 8 HEX)
  string(SUBSTRING "${header}" 0 8 width)
  string(SUBSTRING "${header}" 8 8 height)
  math(EXPR width "0x${width}")
  math(EXPR height "0x${height}")
  file(READ "${metainfo}" info)
  string(REGEX MATCH "<image [^>]*>[^<]*</image>" image "${info}")
  if(NOT image MATCHES "width=\"${width}\" height=\"${height}\">https://[^<]*/main-window\\.png<")
    message(FATAL_ERROR "the metainfo's screenshot is not the shipped ${width}x${height} "
                        "main-window.png: ${image}")
  endif()
  find_program(desktop_file_validate desktop-file-validate)
  find_program(appstreamcli appstreamcli)
  if(NOT desktop_file_validate OR NOT appstreamcli)
    # CTest marks the test skipped on this line (SKIP_REGULAR_EXPRESSION).
    message("SKIPPED: desktop-file-validate or appstreamcli missing (scripts/setup installs them)")
    return()
  endif()
  execute_process(COMMAND "${desktop_file_validate}" "${desktop}"
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE error)
  # desktop-file-validate exits 0 on warnings; any message at all is a fault here.
  if(NOT result EQUAL 0 OR NOT "${out}${error}" STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate: ${out}${error}")
  endif()
  execute_process(COMMAND "${appstreamcli}" validate --no-net "${metainfo}"
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "appstreamcli validate --no-net: ${out}${error}")
  endif()
else()
  message(FATAL_ERROR "MODE must be files or validate, not '${MODE}'")
endif()

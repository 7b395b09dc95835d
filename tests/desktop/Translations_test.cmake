# Runs Qt's lupdate over the sources into copies of the translations and checks them.
#   cmake -DLUPDATE=<lupdate> -DSOURCE_DIR=<project> -DOUT=<empty folder> -P Translations_test.cmake
# Catches: a user-visible text without a German or French translation, and a translation filed
# under a context the program never asks for (lupdate then drops it or leaves it unfinished).
foreach(var LUPDATE SOURCE_DIR OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()
file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}")
set(copies)
foreach(language de fr)
  file(COPY "${SOURCE_DIR}/translations/frostwipe_${language}.ts" DESTINATION "${OUT}")
  list(APPEND copies "${OUT}/frostwipe_${language}.ts")
endforeach()
execute_process(COMMAND "${LUPDATE}" -locations none -no-obsolete -recursive
                        app game ui capture platform resources/forms -ts ${copies}
                WORKING_DIRECTORY "${SOURCE_DIR}"
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE error)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "lupdate failed (${result}): ${out}${error}")
endif()
foreach(language de fr)
  file(READ "${OUT}/frostwipe_${language}.ts" updated)
  file(READ "${SOURCE_DIR}/translations/frostwipe_${language}.ts" shipped)
  if(NOT updated STREQUAL shipped)
    string(REGEX MATCHALL "<source>[^<]*</source>[ \n]*<translation type=\"unfinished\"" missing
           "${updated}")
    message(FATAL_ERROR "translations/frostwipe_${language}.ts is not what lupdate makes of the "
                        "sources (run lupdate and translate what is new):\n${missing}\n${out}")
  endif()
endforeach()
message("translations: complete")

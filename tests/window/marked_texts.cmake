# Every text marked for the catalogue in the window's sources (Tr, TrMessage, TrFilter) has a German entry:
# xgettext extracts them, msgcmp looks each up in po/de.po (untranslated and fuzzy entries count as missing).
#   cmake -DSOURCE=<project source> -DWORK=<scratch folder> -P marked_texts.cmake
file(GLOB_RECURSE sources RELATIVE "${SOURCE}" "${SOURCE}/src/window/*.cpp" "${SOURCE}/src/window/*.h")
file(MAKE_DIRECTORY "${WORK}")
execute_process(
  COMMAND xgettext --language=C++ --from-code=UTF-8 --keyword=Tr --keyword=TrMessage --keyword=TrFilter
          --force-po --omit-header -o "${WORK}/marked.pot" ${sources}
  WORKING_DIRECTORY "${SOURCE}" RESULT_VARIABLE extracted)
if(NOT extracted EQUAL 0)
  message(FATAL_ERROR "xgettext could not read the window's sources")
endif()
file(STRINGS "${WORK}/marked.pot" ids REGEX "^msgid ")
list(LENGTH ids count)
if(count LESS 5)
  message(FATAL_ERROR "only ${count} marked texts found: the scan misses the marks")
endif()
# The catalogue's other entries are the layout's and the core's texts: their "not used" notes are left out.
execute_process(COMMAND msgcmp "${SOURCE}/po/de.po" "${WORK}/marked.pot" RESULT_VARIABLE compared
                OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(NOT compared EQUAL 0)
  string(REGEX REPLACE "[^\n]*this message is not used\n" "" said "${said}")
  message(FATAL_ERROR "marked texts without a German entry in po/de.po:\n${said}")
endif()

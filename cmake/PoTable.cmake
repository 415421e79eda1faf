# Turns a gettext catalogue (.po) into a C++ table of English/translated pairs, so the program carries its
# translations without a gettext runtime. Run as a script:
#   cmake -DPO=de.po -DOUTPUT=Catalogue_de.cpp -DTABLE=GermanEntries -P PoTable.cmake
# The .po's quoted strings use C's escapes, so they are copied into the C++ source as they stand. Entries
# marked fuzzy, untranslated ones and the header are left out.
cmake_minimum_required(VERSION 3.20)
foreach(var PO OUTPUT TABLE)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "PoTable.cmake: ${var} is not set")
  endif()
endforeach()

file(READ "${PO}" content)
# Keep list separators and brackets in the text from being taken as list syntax.
string(REPLACE ";" "@ZELO_SEMICOLON@" content "${content}")
string(REPLACE "[" "@ZELO_OPEN@" content "${content}")
string(REPLACE "]" "@ZELO_CLOSE@" content "${content}")
string(REPLACE "\r" "" content "${content}")
string(REPLACE "\n" ";" lines "${content}")
list(APPEND lines "") # a blank line ends the last entry

set(entries "")
set(count 0)
set(id "")
set(str "")
set(state none)
set(fuzzy OFF)
set(lineno 0)

macro(zelo_po_flush)
  if(NOT state STREQUAL "none")
    if(NOT fuzzy AND NOT id STREQUAL "\"\"" AND NOT str MATCHES "^(\"\" ?)+$")
      string(APPEND entries "    {${id},\n     ${str}},\n")
      math(EXPR count "${count} + 1")
    endif()
  endif()
  set(id "")
  set(str "")
  set(state none)
  set(fuzzy OFF)
endmacro()

foreach(line IN LISTS lines)
  math(EXPR lineno "${lineno} + 1")
  string(STRIP "${line}" line)
  if(line STREQUAL "")
    zelo_po_flush()
  elseif(line MATCHES "^#,.*fuzzy")
    if(NOT state STREQUAL "none")
      zelo_po_flush()
    endif()
    set(fuzzy ON)
  elseif(line MATCHES "^#")
    if(state STREQUAL "str")
      zelo_po_flush()
    endif()
  elseif(line MATCHES "^msgid (\".*\")$")
    if(state STREQUAL "str")
      zelo_po_flush()
    endif()
    set(id "${CMAKE_MATCH_1}")
    set(state id)
  elseif(line MATCHES "^msgstr (\".*\")$")
    if(NOT state STREQUAL "id")
      message(FATAL_ERROR "${PO}:${lineno}: msgstr without its msgid")
    endif()
    set(str "${CMAKE_MATCH_1}")
    set(state str)
  elseif(line MATCHES "^\".*\"$")
    if(state STREQUAL "id")
      string(APPEND id " ${line}")
    elseif(state STREQUAL "str")
      string(APPEND str " ${line}")
    else()
      message(FATAL_ERROR "${PO}:${lineno}: a string outside an entry")
    endif()
  elseif(line MATCHES "^msgctxt|^msgid_plural|^msgstr\\[")
    message(FATAL_ERROR "${PO}:${lineno}: contexts and plural forms are not read; write the text whole")
  else()
    message(FATAL_ERROR "${PO}:${lineno}: not a line of a .po file: ${line}")
  endif()
endforeach()

string(REPLACE "@ZELO_SEMICOLON@" ";" entries "${entries}")
string(REPLACE "@ZELO_OPEN@" "[" entries "${entries}")
string(REPLACE "@ZELO_CLOSE@" "]" entries "${entries}")

set(text "// Generated from ${PO} by PoTable.cmake; edit the .po, not this file.
#include \"window/CatalogueTable.h\"

namespace zelo::catalogue {

const Entry ${TABLE}[] = {
${entries}};
const std::size_t ${TABLE}Count = ${count};

} // namespace zelo::catalogue
")
# Written only when changed, so an unchanged catalogue rebuilds nothing.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${text}")

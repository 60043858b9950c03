# Runs the string table generator on small data files: each malformed file must stop it with its
# reason and line, and the valid file must come out byte for byte.
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${QV_WORK})
set(failures "")

function(run_generator name result_var output_var)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -DQV_STRINGS_IN=${QV_CASES}/${name}.tsv
            -DQV_STRINGS_OUT=${QV_WORK}/${name}.cpp -DQV_STRINGS_TEMPLATE=${QV_STRINGS_TEMPLATE}
            -P ${QV_STRINGS_GENERATOR}
    RESULT_VARIABLE result ERROR_VARIABLE output OUTPUT_QUIET)
  # CMake wraps long messages; compare them as one line.
  string(REGEX REPLACE "[ \n]+" " " output "${output}")
  set(${result_var} "${result}" PARENT_SCOPE)
  set(${output_var} "${output}" PARENT_SCOPE)
endfunction()

# name | expected message (regular expression)
set(malformed_cases
  "three_columns|three_columns.tsv:1: expected 4 tab-separated columns.*found 3"
  "five_columns|five_columns.tsv:1: expected 4 tab-separated columns.*found 5"
  "unquoted|unquoted.tsv:1: English text must be in double quotes"
  "unknown_escape|unknown_escape.tsv:1: English text has an unknown escape"
  "trailing_backslash|trailing_backslash.tsv:1: French text has an unknown escape"
  "unescaped_quote|unescaped_quote.tsv:1: English text has an unescaped quote"
  "id_not_number|id_not_number.tsv:1: id '10x0' is not a number"
  "id_above_range|id_above_range.tsv:1: id 1241 is outside 1000 to 1240"
  "id_below_range|id_below_range.tsv:1: id 999 is outside 1000 to 1240"
  "duplicate_id|duplicate_id.tsv:2: ids must ascend: 1001 follows 1001"
  "descending_id|descending_id.tsv:2: ids must ascend: 1001 follows 1002"
  "english_absent|english_absent.tsv:1: German and English texts are required, English is absent"
  "empty|empty.tsv: no texts")

foreach(case IN LISTS malformed_cases)
  string(FIND "${case}" "|" bar)
  string(SUBSTRING "${case}" 0 ${bar} name)
  math(EXPR start "${bar} + 1")
  string(SUBSTRING "${case}" ${start} -1 expected)
  run_generator(${name} result output)
  if(result EQUAL 0)
    string(APPEND failures "  ${name}: accepted\n")
  elseif(NOT output MATCHES "${expected}")
    string(APPEND failures "  ${name}: message does not match '${expected}':\n${output}\n")
  elseif(EXISTS ${QV_WORK}/${name}.cpp)
    string(APPEND failures "  ${name}: wrote a source file although it failed\n")
  endif()
endforeach()

run_generator(valid result output)
if(NOT result EQUAL 0)
  string(APPEND failures "  valid: rejected:\n${output}\n")
else()
  file(READ ${QV_WORK}/valid.cpp generated)
  string(REGEX MATCHALL "\n    {[0-9]+, \"[^\"]*\"sv}," entries "${generated}")
  string(REPLACE "\n    " "" entries "${entries}")
  set(expected_entries
    "{1000, \"\\x61\\x22\\x62\\x5c\\x63\"sv},"
    "{1240, \"\"sv},"
    "{2000, \"\\x20\"sv},"
    "{2240, \"\\x78\\x3b\\x5b\\x79\\x5d\\x7a\"sv},"
    "{3240, \"\\x5c\\x22\"sv},")
  if(NOT "${entries}" STREQUAL "${expected_entries}")
    string(APPEND failures "  valid: entries\n    ${entries}\n  expected\n    ${expected_entries}\n")
  endif()
endif()

if(NOT failures STREQUAL "")
  message(FATAL_ERROR "string table generator:\n${failures}")
endif()
message(STATUS "string table generator: all cases pass")

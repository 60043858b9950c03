# The operator's texts live in resources/strings.tsv (id, German, English, French). At build time
# StringTableGen.cmake checks the file and turns it into the C++ source of StringTableLookup; a
# malformed row stops the build with the file name, the line and the reason.
set(QV_STRINGS_DATA ${CMAKE_CURRENT_SOURCE_DIR}/resources/strings.tsv)
set(QV_STRINGS_GENERATOR ${CMAKE_CURRENT_LIST_DIR}/StringTableGen.cmake)
set(QV_STRINGS_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/StringTable.cpp.in)
set(QV_STRINGS_SOURCE ${CMAKE_CURRENT_BINARY_DIR}/generated/texts/StringTable.cpp)

add_custom_command(
  OUTPUT ${QV_STRINGS_SOURCE}
  COMMAND ${CMAKE_COMMAND} -DQV_STRINGS_IN=${QV_STRINGS_DATA} -DQV_STRINGS_OUT=${QV_STRINGS_SOURCE}
          -DQV_STRINGS_TEMPLATE=${QV_STRINGS_TEMPLATE} -P ${QV_STRINGS_GENERATOR}
  DEPENDS ${QV_STRINGS_DATA} ${QV_STRINGS_GENERATOR} ${QV_STRINGS_TEMPLATE}
  COMMENT "Generating the string table from resources/strings.tsv"
  VERBATIM)
target_sources(qvtexts PRIVATE ${QV_STRINGS_SOURCE})

if(QV_TESTS AND NOT QV_FUZZ)
  add_test(NAME strings_generator
    COMMAND ${CMAKE_COMMAND} -DQV_STRINGS_GENERATOR=${QV_STRINGS_GENERATOR}
            -DQV_STRINGS_TEMPLATE=${QV_STRINGS_TEMPLATE}
            -DQV_CASES=${CMAKE_CURRENT_SOURCE_DIR}/tests/strings/generator
            -DQV_WORK=${CMAKE_CURRENT_BINARY_DIR}/strings_generator_test
            -P ${CMAKE_CURRENT_SOURCE_DIR}/tests/strings/generator/GeneratorTest.cmake)
endif()

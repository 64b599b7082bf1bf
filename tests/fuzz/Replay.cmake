# The fuzz targets' seed corpora replayed in the normal test run, built with whatever
# compiler builds the rest; the fuzzers themselves need clang (CMakeLists.txt here).
set(VOLUNI_FUZZ_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR})

# voluni_add_fuzz_replay(<name> <source> <corpus folder> <libraries...>)
function(voluni_add_fuzz_replay name source corpus)
    add_executable(${name}_replay ${VOLUNI_FUZZ_SOURCE_DIR}/${source} ${VOLUNI_FUZZ_SOURCE_DIR}/FuzzReplay.cpp)
    target_link_libraries(${name}_replay PRIVATE ${ARGN} voluni_options)
    set_target_properties(${name}_replay PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/bin)
    add_test(NAME FuzzReplay.${name} COMMAND ${name}_replay ${corpus})
    set_tests_properties(FuzzReplay.${name} PROPERTIES
        ENVIRONMENT "${VOLUNI_TEST_ENVIRONMENT}" LABELS fuzz-replay TIMEOUT 60)
endfunction()

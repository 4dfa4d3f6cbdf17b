# ferolt_add_gtest(<name> LABEL <label> [QT] SOURCES <src>... [LIBS <lib>...])
# One GoogleTest binary. QT links the test main that creates the QApplication.
function(ferolt_add_gtest name)
    cmake_parse_arguments(T "QT" "LABEL" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    if(T_QT)
        target_link_libraries(${name} PRIVATE ferolt_test_main_qt)
    else()
        target_link_libraries(${name} PRIVATE ferolt_test_main)
    endif()
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
    set(environment "")
    if(FEROLT_TEST_ENVIRONMENT)
        set(environment ENVIRONMENT_MODIFICATION "${FEROLT_TEST_ENVIRONMENT}")
    endif()
    gtest_discover_tests(${name}
        PROPERTIES LABELS ${T_LABEL} ${environment}
        DISCOVERY_TIMEOUT 120)
endfunction()

# ferolt_add_fuzz_target(<name> SOURCES <src>... [LIBS <lib>...] [CORPUS <dir>...]
#                        [HEX_CORPUS <dir>...])
# One fuzz target fuzz_<name>, added in tests/fuzz/CMakeLists.txt: its source defines LLVMFuzzerTestOneInput and aborts (FUZZ_CHECK)
# when a property fails. Seeds: corpus/<name>/ beside the calling CMakeLists.txt, plus every
# CORPUS folder, plus every HEX_CORPUS folder of hex text files (the recorded telegrams), read
# as their bytes. Inputs that failed are kept in findings/<name>/ there.
#   Normal build: the target is linked to the replay main and runs every seed and finding once,
#   as the test fuzz_<name> (label fuzz).
#   FEROLT_FUZZ build (preset fuzz, clang): the target is the libFuzzer binary, built by the
#   target ferolt_fuzz; fuzz-targets/<name>.txt in the build folder tells scripts/fuzz where
#   its binary, seeds and findings are.
#
#     ferolt_add_fuzz_target(reply SOURCES ReplyFuzz.cpp LIBS ferolt_mbus
#                            HEX_CORPUS ${FEROLT_TESTDATA_DIR}/telegrams/meters)
function(ferolt_add_fuzz_target name)
    cmake_parse_arguments(F "" "" "SOURCES;LIBS;CORPUS;HEX_CORPUS" ${ARGN})
    set(target fuzz_${name})
    set(seeds "${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name}" ${F_CORPUS})
    set(findings "${CMAKE_CURRENT_SOURCE_DIR}/findings/${name}")
    add_executable(${target} ${F_SOURCES})
    target_link_libraries(${target} PRIVATE ferolt_fuzz_support ${F_LIBS})
    if(FEROLT_FUZZ)
        target_link_options(${target} PRIVATE -fsanitize=fuzzer)
        add_dependencies(ferolt_fuzz ${target})
        set(manifest "binary $<TARGET_FILE:${target}>\nfindings ${findings}\n")
        foreach(dir ${seeds})
            string(APPEND manifest "seeds ${dir}\n")
        endforeach()
        foreach(dir ${F_HEX_CORPUS})
            string(APPEND manifest "hex ${dir}\n")
        endforeach()
        file(GENERATE OUTPUT "${CMAKE_BINARY_DIR}/fuzz-targets/${name}.txt" CONTENT "${manifest}")
    else()
        target_link_libraries(${target} PRIVATE ferolt_fuzz_replay)
        add_test(NAME ${target}
            COMMAND ${target} --seeds ${seeds} --hex ${F_HEX_CORPUS} --findings ${findings})
        set_tests_properties(${target} PROPERTIES LABELS fuzz)
        if(FEROLT_TEST_ENVIRONMENT)
            set_tests_properties(${target} PROPERTIES
                ENVIRONMENT_MODIFICATION "${FEROLT_TEST_ENVIRONMENT}")
        endif()
    endif()
endfunction()

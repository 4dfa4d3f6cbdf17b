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
    gtest_discover_tests(${name}
        PROPERTIES LABELS ${T_LABEL}
        DISCOVERY_TIMEOUT 120)
endfunction()

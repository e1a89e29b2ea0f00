# ferry_add_test(NAME source... [LIBS lib...]): one GoogleTest executable per test file,
# its cases registered with CTest. In the Windows build each program is one CTest test
# run under the emulator (starting Wine once per case would cost minutes), without the
# cases tests/windows_exclusions.cmake names.
include(GoogleTest)

function(ferry_add_test name)
    if(WIN32 AND name IN_LIST FERRY_WINDOWS_SKIPPED_PROGRAMS)
        return()
    endif()
    cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
    add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
    target_link_libraries(${name} PRIVATE ferry_testkit ${ARG_LIBS} GTest::gtest_main GTest::gmock)
    if(WIN32)
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES ENVIRONMENT "GTEST_FILTER=-${FERRY_WINDOWS_EXCLUDED}")
    else()
        gtest_discover_tests(${name}
            DISCOVERY_MODE PRE_TEST
            PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
    endif()
endfunction()

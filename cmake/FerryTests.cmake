# ferry_add_test(NAME source... [LIBS lib...]): one GoogleTest executable per test file,
# its cases registered with CTest.
include(GoogleTest)

function(ferry_add_test name)
    cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
    add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
    target_link_libraries(${name} PRIVATE ferry_testkit ${ARG_LIBS} GTest::gtest_main GTest::gmock)
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

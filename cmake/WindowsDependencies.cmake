# What the Windows build takes from Debian's sources instead of installed libraries:
# libucl from its source package (FERRY_UCL_SOURCE, fetched by scripts/test.sh windows
# into the build folder) and GoogleTest from the googletest package.
set(FERRY_UCL_SOURCE "${CMAKE_BINARY_DIR}/libucl/source" CACHE PATH "libucl's unpacked source")
file(GLOB ucl_sources "${FERRY_UCL_SOURCE}/src/*.c")
if(NOT ucl_sources)
    message(FATAL_ERROR "No libucl source in ${FERRY_UCL_SOURCE}")
endif()
add_library(ucl STATIC ${ucl_sources})
target_include_directories(ucl SYSTEM PUBLIC "${FERRY_UCL_SOURCE}/include"
                           PRIVATE "${FERRY_UCL_SOURCE}" "${FERRY_UCL_SOURCE}/src")
target_compile_options(ucl PRIVATE -w)

if(FERRY_BUILD_TESTS)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
endif()

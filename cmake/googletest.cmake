# Provides GTest::gtest and GTest::gtest_main. A native build uses the
# installed package; a cross-build (mingw-w64) finds no GoogleTest for its
# target, so it builds one from the sources Debian ships in /usr/src/googletest
# (package googletest).
find_package(GTest QUIET)
if(NOT GTest_FOUND)
  set(PARAFOLD_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for cross-builds")
  if(NOT EXISTS ${PARAFOLD_GTEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest not found: install libgtest-dev (native) or googletest (sources)")
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${PARAFOLD_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  if(NOT TARGET GTest::gtest)  # older releases do not name them so themselves
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
endif()

# GoogleTest for the unit tests: the system's package, or, in a cross build
# that has none for its target, built here from the source Debian keeps.
if(TARGET GTest::gtest)
  return()
endif()
find_package(GTest QUIET)
if(NOT GTest_FOUND)
  set(DUSK_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source, for a build with no package of it")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${DUSK_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()
include(GoogleTest)

# GoogleTest for the unit tests: the system's package, or, in a cross build
# that has none for its target, built here from the source Debian keeps.
if(NOT TARGET GTest::gtest)
  find_package(GTest QUIET)
endif()
if(NOT TARGET GTest::gtest)
  set(DUSK_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source, for a build with no package of it")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${DUSK_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()
# gtest_discover_tests, in every folder that registers tests.
include(GoogleTest)

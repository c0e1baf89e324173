# Windows builds run their test programs under Wine (the toolchain's
# emulator, scripts/wine-run) in a prefix of the build folder's own. One
# wineserver serves the whole test run: the fixture "wine" starts it before
# the first test and ends it after the last. tovani_add_test gives every test
# TOVANI_TEST_PROPERTIES; add them to any other Windows test.
set(TOVANI_TEST_PROPERTIES)
if(WIN32 AND CMAKE_CROSSCOMPILING_EMULATOR)
  add_test(NAME wine.start COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --start)
  add_test(NAME wine.stop COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --stop)
  set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine)
  set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine)
  set(TOVANI_TEST_PROPERTIES FIXTURES_REQUIRED wine)
endif()

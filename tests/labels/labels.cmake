# Read by ctest after the suites of the tests folder are declared.
set_tests_properties(tst_soak PROPERTIES LABELS soak)

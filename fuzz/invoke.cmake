kyv_fuzz_target(fuzz_invoke CORPUS invoke SOURCES InvokeFuzz.cpp LIBS kyv_test_calc)

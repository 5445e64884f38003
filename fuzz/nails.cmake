kyv_fuzz_target(fuzz_nails_index CORPUS nails_index SOURCES NailsIndexFuzz.cpp LIBS kyv_nails)

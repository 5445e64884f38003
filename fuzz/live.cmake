kyv_fuzz_target(fuzz_live_framer CORPUS live_framer SOURCES LiveFramerFuzz.cpp
  LIBS kyv_source_live)

kyv_fuzz_target(fuzz_unzip CORPUS unzip SOURCES UnZipFuzz.cpp LIBS kyv_decoder)
kyv_fuzz_target(fuzz_recording_head CORPUS recording_head SOURCES RecordingHeadFuzz.cpp
  LIBS kyv_decoder)

# The parser is part of the program itself, so its source is compiled in.
korvane_add_fuzzer(track_list korvane_platform)
target_sources(track_list PRIVATE ${PROJECT_SOURCE_DIR}/src/cli/track_list.cpp)

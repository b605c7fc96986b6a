# Needs the loopback CDDB server of the tests.
if(TARGET korvane_cddb_test_server)
  korvane_add_bench(freedb_bench korvane_metadata korvane_cddb_test_server korvane_loopback_peers)
endif()

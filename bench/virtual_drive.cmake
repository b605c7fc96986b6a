korvane_add_bench(virtual_drive korvane_virtualdrive)
# Until the platform layer has its system back end, the emulated hosts stand alone.
if(NOT EXISTS ${PROJECT_SOURCE_DIR}/src/platform/scsi_host.cpp)
  target_sources(virtual_drive PRIVATE ${PROJECT_SOURCE_DIR}/tests/drive_virtual/emulated_hosts_only.cpp)
endif()

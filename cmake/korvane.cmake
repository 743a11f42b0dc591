# The repair tool: its core as a library (linked by korvane, the tests and
# the benchmarks) and the program.
set(KORVANE_CORE_SOURCES
  app/run.cpp app/text.cpp app/console_common.cpp
  btrieve/requests.cpp
  dictionary/dictionaries.cpp
  indexing/index_writer.cpp indexing/key_scan.cpp indexing/named_indexes.cpp indexing/index_wipe.cpp)
if(WIN32)
  list(APPEND KORVANE_CORE_SOURCES app/console_win32.cpp)
else()
  list(APPEND KORVANE_CORE_SOURCES app/console_posix.cpp)
endif()
add_library(korvane_core STATIC ${KORVANE_CORE_SOURCES})
target_include_directories(korvane_core PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

add_executable(korvane app/main.cpp)
if(KORVANE_REQUESTER)
  # An external requester (any library exporting BTRCALL) instead of the
  # embedded engine.
  target_link_libraries(korvane PRIVATE korvane_core ${KORVANE_REQUESTER})
else()
  target_link_libraries(korvane PRIVATE korvane_core korvane_engine)
endif()

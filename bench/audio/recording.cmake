# A whole recording through the record page at real speed with the other core
# busy: frames expected against frames written, and the UI thread's longest stall.
add_executable(bench_recording ${CMAKE_CURRENT_LIST_DIR}/recording_bench.cpp)
target_include_directories(bench_recording PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(bench_recording PRIVATE sonivault_gui)
set_property(TARGET bench_recording PROPERTY AUTOUIC_SEARCH_PATHS ${CMAKE_SOURCE_DIR}/src/app/pages)

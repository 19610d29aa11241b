# Settings store under attack: kill -9 during writes, and several writers at
# once. The scripts print their figures; short forms of both run with CTest.
add_executable(store_writer ${CMAKE_CURRENT_LIST_DIR}/store_writer.cpp)
target_link_libraries(store_writer PRIVATE sonivault_core)
target_include_directories(store_writer PRIVATE ${CMAKE_SOURCE_DIR}/src)
add_test(NAME store_kill COMMAND ${CMAKE_CURRENT_LIST_DIR}/store_kill.sh ${SV_PROGRAM_DIR} 40)
add_test(NAME store_concurrent COMMAND ${CMAKE_CURRENT_LIST_DIR}/store_concurrent.sh ${SV_PROGRAM_DIR} 4 150)
set_tests_properties(store_kill store_concurrent PROPERTIES TIMEOUT 300 LABELS reliability)

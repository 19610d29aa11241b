sv_add_test(test_standby SOURCES test_standby.cpp GUI TIMEOUT 60)
sv_add_test(test_reclocation SOURCES test_reclocation.cpp GUI TIMEOUT 60)
# The level graph's arithmetic (core), and the record page in the main window.
sv_add_test(test_levelgraph SOURCES test_levelgraph.cpp TIMEOUT 60)
sv_add_test(tst_recording GUI SOURCES tst_recording.cpp ${CMAKE_SOURCE_DIR}/tests/app/WizardFixture.h TIMEOUT 120)
set_property(TARGET tst_recording PROPERTY AUTOUIC_SEARCH_PATHS ${CMAKE_SOURCE_DIR}/src/app/pages)

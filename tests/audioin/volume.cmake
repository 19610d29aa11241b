# The volume page's line scan and volume optimisation, on the virtual deck (offscreen).
# The wizard fixture is listed so that the form headers it includes are generated.
sv_add_test(test_volume GUI SOURCES test_volume.cpp ${CMAKE_SOURCE_DIR}/tests/app/WizardFixture.h TIMEOUT 120)
set_property(TARGET test_volume PROPERTY AUTOUIC_SEARCH_PATHS ${CMAKE_SOURCE_DIR}/src/app/pages)
sv_add_test(test_volumescan SOURCES test_volumescan.cpp TIMEOUT 120)

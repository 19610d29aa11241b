sv_add_test(test_standby SOURCES test_standby.cpp GUI TIMEOUT 60)
add_test(NAME test_standby_nobus COMMAND test_standby)
set_tests_properties(test_standby_nobus PROPERTIES TIMEOUT 60 ENVIRONMENT "QT_QPA_PLATFORM=offscreen;SV_STANDBY_NOBUS=1")
sv_add_test(test_reclocation SOURCES test_reclocation.cpp GUI TIMEOUT 60)

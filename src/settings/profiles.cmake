# Recording profiles: the file operations are core, the dialog is GUI.
target_sources(sonivault_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Profiles.cpp ${CMAKE_CURRENT_LIST_DIR}/Profiles.h)
target_sources(sonivault_gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/frmNewProfile.cpp ${CMAKE_CURRENT_LIST_DIR}/frmNewProfile.h
  ${CMAKE_CURRENT_LIST_DIR}/frmNewProfile.ui)

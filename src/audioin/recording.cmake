# Recording: the level graph's arithmetic is core; the record page itself is
# listed with the other pages.
target_sources(sonivault_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/LevelGraph.cpp ${CMAKE_CURRENT_LIST_DIR}/LevelGraph.h)

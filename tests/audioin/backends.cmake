# The real backends, tested against a private PulseAudio daemon (and ALSA
# through its pulse plugin on that daemon). Included from tests/audioin.
add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/pulse ${CMAKE_CURRENT_BINARY_DIR}/pulse)

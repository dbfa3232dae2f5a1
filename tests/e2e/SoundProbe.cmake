# Tools to check what really came out of the sound server: a recorder of a sink's monitor,
# a tone detector, and WAV files made on the spot. Shared by the sound tests and benchmarks.
include_guard(GLOBAL)

set(_probe_dir ${CMAKE_CURRENT_LIST_DIR})
add_library(pingora_sound_probe STATIC
    ${_probe_dir}/MonitorRecorder.h ${_probe_dir}/MonitorRecorder.cpp
    ${_probe_dir}/ToneOnsets.h ${_probe_dir}/ToneOnsets.cpp
    ${_probe_dir}/ToneWav.h ${_probe_dir}/ToneWav.cpp)
target_include_directories(pingora_sound_probe PUBLIC ${_probe_dir})
target_link_libraries(pingora_sound_probe PUBLIC Qt6::Core)

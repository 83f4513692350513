# Included by the top-level CMakeLists.txt: quave_jack_hooks. Every program
# that opens JACK clients through the MIDI library links it and exports it,
# so that the library binds to our jack_port_unregister and jack_activate
# and jack_connect rather than to libjack's
# (device/midi/system/jack_hooks.hpp says why).
if(UNIX AND NOT APPLE)
  add_library(quave_jack_hooks STATIC device/midi/system/jack_hooks_elf.cpp)
  target_include_directories(quave_jack_hooks PRIVATE ${CMAKE_SOURCE_DIR})
  # Which server a client is on, as the MIDI link reads it.
  target_link_libraries(quave_jack_hooks PUBLIC quave_midi_system)
  target_link_options(quave_jack_hooks INTERFACE
    "LINKER:--undefined=jack_port_unregister"
    "LINKER:--export-dynamic-symbol=jack_port_unregister"
    "LINKER:--export-dynamic-symbol=jack_activate"
    "LINKER:--export-dynamic-symbol=jack_connect")
  # ThreadSanitizer builds: libjack's ring buffer without the copies the
  # sanitizer would take for a race (device/midi/system/jack_ring_tsan_elf.cpp).
  if(QUAVE_SANITIZE STREQUAL "thread")
    target_sources(quave_jack_hooks PRIVATE device/midi/system/jack_ring_tsan_elf.cpp)
    target_link_options(quave_jack_hooks INTERFACE
      "LINKER:--undefined=jack_ringbuffer_write"
      "LINKER:--export-dynamic-symbol=jack_ringbuffer_write"
      "LINKER:--export-dynamic-symbol=jack_ringbuffer_read"
      "LINKER:--export-dynamic-symbol=jack_ringbuffer_peek")
  endif()
else()
  add_library(quave_jack_hooks INTERFACE)
endif()

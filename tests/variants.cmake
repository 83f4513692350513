# Included by the top-level CMakeLists.txt, in every build the tests run on
# (the linked preset's too, which has no suite): programs built another way
# for a test of their own.

# The program with the MIDI library linked the ordinary way, as macOS would
# build it (QUAVE_LINK_RTMIDI), tried on a simulator. Only the table of the
# library's functions differs, so a build that opens the library at run time
# makes this variant from its own layers with that one file compiled the
# other way (its object wins over the layer's).
# A probe of a simulator on a private JACK server reaches every function
# of the table: a listing alone, or a check, would pass a wrong entry.
function(quave_linked_check program)
  add_test(NAME linked_check
    COMMAND ${CMAKE_COMMAND} -E env QUAVE_DEVSIM=$<TARGET_FILE:quave-devsim>
      ${CMAKE_SOURCE_DIR}/scripts/midi-harness run --sim "--slots osc:2 --preload osc:0:Saw"
      -- sh -c "\"$0\" probe -m osc; echo \"exit $?\"" $<TARGET_FILE:${program}>)
  # A regular expression makes CTest ignore the exit code, so the output
  # carries it: only a whole handshake prints the slot lines, and a table
  # whose wrong entry breaks the end shows in the code.
  set_tests_properties(linked_check PROPERTIES LABELS midi
    PASS_REGULAR_EXPRESSION "> Oscillator status:\n\\[0\\]: \"Saw\" v1\\.00-0[^\n]*\n\\[1\\]: free\\.\nexit 0\n")
endfunction()
if(QUAVE_LINK_RTMIDI)
  quave_linked_check(quave-cli)
elseif(BUILD_TESTING AND NOT WIN32 AND NOT CMAKE_CROSSCOMPILING)
  add_executable(quave-cli-linked main.cpp device/midi/system/midi_library_posix.cpp)
  target_compile_definitions(quave-cli-linked PRIVATE QUAVE_LINK_RTMIDI)
  target_include_directories(quave-cli-linked PRIVATE ${CMAKE_BINARY_DIR}/layer-view/midi_system
    ${RTMIDI_INCLUDE_DIRS})
  target_link_libraries(quave-cli-linked PRIVATE quave quave_jack_hooks PkgConfig::RTMIDI)
  quave_linked_check(quave-cli-linked)
endif()

# The portable program's opening of the MIDI library, by names that no
# system has, for the tests of what the device commands say then
# (tests/cli/midi_library_test.cpp).
if(BUILD_TESTING AND NOT QUAVE_LINK_RTMIDI)
  add_executable(quave-cli-library-absent main.cpp device/midi/system/midi_library_posix.cpp)
  target_compile_definitions(quave-cli-library-absent PRIVATE QUAVE_PORTABLE
    QUAVE_RTMIDI_NAMES="libquave-absent.so.7","libquave-absent.so.6")
  target_include_directories(quave-cli-library-absent PRIVATE ${CMAKE_BINARY_DIR}/layer-view/midi_system
    ${RTMIDI_INCLUDE_DIRS})
  target_link_libraries(quave-cli-library-absent PRIVATE quave quave_jack_hooks)
  target_link_options(quave-cli-library-absent PRIVATE ${quave_static_runtime})
endif()

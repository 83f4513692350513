// Three of libjack's functions, replaced for every program that opens JACK
// clients through the MIDI library. Defined and exported by the
// quave_jack_hooks library (cmake/JackHooks.cmake), which only ELF systems
// build: the dynamic linker then binds the MIDI library's calls to these
// rather than to libjack's.
//
// jack_port_unregister does nothing. The MIDI library closes a JACK port by
// unregistering it while its client is still active. libjack takes the port
// off the client's list on the calling thread, while the client's
// notification thread may be walking that list for a latency notification,
// which the server sends to every active client after any change to the
// graph, such as closing our other port. The walk then follows a freed node:
// a segmentation fault after the command has printed everything (rare by
// itself; certain when the notification thread is held inside the walk
// while the port closes). The port then stays until its client closes,
// which follows at once and is ordinary JACK use: the client leaves the
// graph, then the server drops its ports. The library's process callback
// already ignores a closed port.
//
// jack_activate first asks libjack to say when the client's server goes
// away, which the MIDI library never asks: the graph that lists the ports
// lives in shared memory and outlives a server that died, so its ports still
// look listed. It also routes libjack's own messages through one function
// that drops them unless asked not to (those of a dying server would
// otherwise reach standard error from libjack's thread).
//
// jack_connect returns once the connection is in the graph the server runs,
// not only asked for (on PipeWire, whose libjack has the connection at once,
// once two cycles have begun). A connection carries data only once the server has
// switched to the graph that holds it, at a cycle start after every client
// finished the cycle before, so a message sent at once can vanish: beside a
// parallel compile 25 of 300 probes lost their search request with no pause
// after opening the ports; a fixed 10 ms pause still lost one now and then
// in the sanitizer runs, where cycles come late.
#pragma once

struct _jack_client;
struct _jack_port;

extern "C" {
int jack_port_unregister(_jack_client* client, _jack_port* port);
int jack_activate(_jack_client* client);
int jack_connect(_jack_client* client, const char* source, const char* destination);

// How many of this process's clients their server has shut down.
int quave_jack_shutdowns();
// Whether libjack's messages reach standard error (they do until told).
void quave_jack_messages(int shown);
}

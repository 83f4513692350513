// libjack's jack_port_unregister, replaced by one that does nothing, for
// every program that opens JACK clients through the MIDI library.
//
// The MIDI library closes a JACK port by unregistering it while its client is
// still active. libjack takes the port off the client's list on the calling
// thread, while the client's notification thread may be walking that list
// for a latency notification, which the server sends to every active client
// after any change to the graph, such as closing our other port. The walk
// then follows a freed node: a segmentation fault after the command has
// printed everything (rare by itself; certain when the notification thread
// is held inside the walk while the port closes).
//
// With this definition linked in and exported (the quave_jack_unregister
// library in CMakeLists.txt), the dynamic linker binds the MIDI
// library's calls to it rather than to libjack's: an ELF linker's doing, so
// only ELF systems build it. The port then stays until its client closes,
// which follows at once and is ordinary JACK use: the client leaves the
// graph, then the server drops its ports. The library's process callback
// already ignores a closed port.
#pragma once

struct _jack_client;
struct _jack_port;

extern "C" int jack_port_unregister(_jack_client* client, _jack_port* port);

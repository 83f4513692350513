#include "device/jack_port_unregister.hpp"

extern "C" int jack_port_unregister(_jack_client*, _jack_port*) { return 0; }

#include "device/midi/system/jack_server.hpp"
#include "device/midi/system/libjack.hpp"

namespace quave {

std::optional<JackServer> loaded_jack_server() {
  using VersionString = const char* (*)();
  const auto version_string = reinterpret_cast<VersionString>(libjack_symbol("jack_get_version_string"));
  if (!version_string) return std::nullopt;
  const char* text = version_string();
  return jack_server_from(text ? text : "");
}

}  // namespace quave

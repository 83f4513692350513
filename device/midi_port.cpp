#include "device/midi_port.hpp"

#include <rtmidi_c.h>

#include <climits>

#include "device/midi_library.hpp"

namespace quave {

namespace {

std::string why_not_loaded;

const MidiLibrary* library() {
  static const MidiLibrary* const loaded = open_midi_library(why_not_loaded);
  return loaded;
}

// Only reached through a MidiPort, which exists only once the library loaded.
const MidiLibrary& lib() { return *library(); }

// The wrapper's flag is never set back after a failure, so it is set before
// each call and read after it.
template <class Call>
bool succeeds(RtMidiWrapper* handle, Call call) {
  handle->ok = true;
  call();
  return handle->ok;
}

}  // namespace

std::optional<std::string> midi_library_problem() {
  if (library()) return std::nullopt;
  return why_not_loaded;
}

std::vector<int> midi_backends() {
  const MidiLibrary* midi = library();
  if (!midi) return {};
  RtMidiApi apis[RTMIDI_API_NUM];
  const int count = midi->get_compiled_api(apis, RTMIDI_API_NUM);
  std::vector<int> backends;
  for (int i = 0; i < count && i < RTMIDI_API_NUM; ++i) backends.push_back(apis[i]);
  return backends;
}

std::unique_ptr<MidiPort> MidiPort::create(MidiDirection direction, int backend,
                                           const char* client_name) {
  const MidiLibrary* midi = library();
  if (!midi) return nullptr;
  const auto api = static_cast<RtMidiApi>(backend);
  // 100 messages is the library's own default input queue.
  RtMidiWrapper* handle = direction == MidiDirection::input
                              ? midi->in_create(api, client_name, 100)
                              : midi->out_create(api, client_name);
  if (!handle) return nullptr;
  const MidiBackend kind = api == RTMIDI_API_LINUX_ALSA  ? MidiBackend::alsa
                           : api == RTMIDI_API_UNIX_JACK ? MidiBackend::jack
                                                         : MidiBackend::other;
  std::unique_ptr<MidiPort> port(new MidiPort(direction, kind, handle));
  if (!handle->ok || !handle->ptr) return nullptr;
  return port;
}

MidiPort::~MidiPort() {
  if (direction_ == MidiDirection::input) {
    lib().in_free(handle_);
  } else {
    lib().out_free(handle_);
  }
}

bool MidiPort::port_count(unsigned& count) {
  unsigned n = 0;
  if (!succeeds(handle_, [&] { n = lib().get_port_count(handle_); })) return false;
  count = n;
  return true;
}

bool MidiPort::port_name(unsigned index, std::string& name) {
  int length = 0;
  int result = 0;
  if (!succeeds(handle_, [&] { result = lib().get_port_name(handle_, index, nullptr, &length); }) ||
      result < 0) {
    return false;
  }
  if (length <= 0) {
    name.clear();
    return true;
  }
  std::string buffer(static_cast<size_t>(length), '\0');
  if (!succeeds(handle_, [&] { result = lib().get_port_name(handle_, index, buffer.data(), &length); }) ||
      result < 0) {
    return false;
  }
  // The name may have changed between the two calls; the library cuts it to
  // the buffer and ends it with a zero byte.
  name.assign(buffer.c_str());
  return true;
}

bool MidiPort::open(unsigned index, const char* port_name) {
  open_ = succeeds(handle_, [&] { lib().open_port(handle_, index, port_name); });
  return open_;
}

void MidiPort::close() {
  if (!open_) return;
  lib().close_port(handle_);
  open_ = false;
}

bool MidiPort::ignore_types(bool sysex, bool timing, bool sensing) {
  return direction_ == MidiDirection::input &&
         succeeds(handle_, [&] { lib().in_ignore_types(handle_, sysex, timing, sensing); });
}

bool MidiPort::set_callback(MidiCallback callback, void* user_data) {
  return direction_ == MidiDirection::input &&
         succeeds(handle_, [&] { lib().in_set_callback(handle_, callback, user_data); });
}

bool MidiPort::send(const uint8_t* bytes, size_t size) {
  return direction_ == MidiDirection::output && size <= static_cast<size_t>(INT_MAX) &&
         succeeds(handle_, [&] { lib().out_send_message(handle_, bytes, static_cast<int>(size)); });
}

}  // namespace quave

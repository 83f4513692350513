#include "device/midi/midi_port.hpp"

#include <rtmidi_c.h>

#include <chrono>
#include <climits>
#include <functional>
#include <thread>

#include "device/midi/system/midi_library.hpp"
#include "device/midi/system/undrained_close.hpp"


namespace quave {

namespace {

// After closing, a JACK process cycle that still saw the ports open gets
// this long to finish before its client closes, which cancels the thread
// wherever it stands (inside a memory allocation, the heap stays locked):
// almost four cycles of a 128-frame period at 48 kHz.
constexpr auto kJackSettle = std::chrono::milliseconds(10);
// However the callbacks go, the close goes on after this.
constexpr auto kMostCallbackWait = std::chrono::seconds(1);

// The wrapper's flag is never set back after a failure, so it is set before
// each call and read after it.
template <class Call>
bool succeeds(RtMidiWrapper* handle, Call call) {
  handle->ok = true;
  call();
  return handle->ok;
}

}  // namespace

std::vector<int> midi_backends(const MidiLibrary& library) {
  RtMidiApi apis[RTMIDI_API_NUM];
  const int count = library.get_compiled_api(apis, RTMIDI_API_NUM);
  std::vector<int> backends;
  for (int i = 0; i < count && i < RTMIDI_API_NUM; ++i) backends.push_back(apis[i]);
  return backends;
}

std::unique_ptr<MidiPort> MidiPort::create(const MidiLibrary& library, MidiDirection direction,
                                           int backend, const char* client_name) {
  const auto api = static_cast<RtMidiApi>(backend);
  // 100 messages is the library's own default input queue.
  RtMidiWrapper* handle = direction == MidiDirection::input
                              ? library.in_create(api, client_name, 100)
                              : library.out_create(api, client_name);
  if (!handle) return nullptr;
  const MidiBackend kind = api == RTMIDI_API_LINUX_ALSA  ? MidiBackend::alsa
                           : api == RTMIDI_API_UNIX_JACK ? MidiBackend::jack
                                                         : MidiBackend::other;
  std::unique_ptr<MidiPort> port(new MidiPort(library, direction, kind, handle));
  if (!handle->ok || !handle->ptr) return nullptr;
  return port;
}

MidiPort::~MidiPort() {
  if (direction_ == MidiDirection::input) {
    lib_.in_free(handle_);
  } else {
    lib_.out_free(handle_);
  }
}

bool MidiPort::port_count(unsigned& count) {
  unsigned n = 0;
  if (!succeeds(handle_, [&] { n = lib_.get_port_count(handle_); })) return false;
  count = n;
  return true;
}

bool MidiPort::port_name(unsigned index, std::string& name) {
  int length = 0;
  int result = 0;
  if (!succeeds(handle_, [&] { result = lib_.get_port_name(handle_, index, nullptr, &length); }) ||
      result < 0) {
    return false;
  }
  if (length <= 0) {
    name.clear();
    return true;
  }
  std::string buffer(static_cast<size_t>(length), '\0');
  if (!succeeds(handle_, [&] { result = lib_.get_port_name(handle_, index, buffer.data(), &length); }) ||
      result < 0) {
    return false;
  }
  // The name may have changed between the two calls; the library cuts it to
  // the buffer and ends it with a zero byte.
  name.assign(buffer.c_str());
  return true;
}

bool MidiPort::open(unsigned index, const char* port_name) {
  open_ = succeeds(handle_, [&] { lib_.open_port(handle_, index, port_name); });
  return open_;
}

void MidiPort::close() {
  if (!open_) return;
  lib_.close_port(handle_);
  open_ = false;
}

bool MidiPort::ignore_types(bool sysex, bool timing, bool sensing) {
  return direction_ == MidiDirection::input &&
         succeeds(handle_, [&] { lib_.in_ignore_types(handle_, sysex, timing, sensing); });
}

bool MidiPort::set_callback(MidiCallback callback, void* user_data) {
  return direction_ == MidiDirection::input &&
         succeeds(handle_, [&] { lib_.in_set_callback(handle_, callback, user_data); });
}

bool MidiPort::send(const uint8_t* bytes, size_t size) {
  return direction_ == MidiDirection::output && size <= static_cast<size_t>(INT_MAX) &&
         succeeds(handle_, [&] { lib_.out_send_message(handle_, bytes, static_cast<int>(size)); });
}

void close_ports(std::unique_ptr<MidiPort>& in, std::unique_ptr<MidiPort>& out, bool undrained,
                 const std::atomic<int>* callbacks) {
  const bool was_open = (out && out->is_open()) || (in && in->is_open());
  const bool jack = (out && out->backend() == MidiBackend::jack) ||
                    (in && in->backend() == MidiBackend::jack);
  // Closing the output and freeing it each let go of the device's port,
  // where the kernel would wait for a dead link to drain.
  const bool alsa_out = out && out->backend() == MidiBackend::alsa;
  const auto let_go = [undrained, alsa_out](const std::function<void()>& step) {
    undrained && alsa_out ? close_undrained(step) : step();
  };
  if (out) let_go([&out] { out->close(); });
  if (in) in->close();
  if (was_open && jack) std::this_thread::sleep_for(kJackSettle);
  const auto give_up = std::chrono::steady_clock::now() + kMostCallbackWait;
  while (callbacks && *callbacks > 0 && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  let_go([&out] { out.reset(); });
  in.reset();
}

}  // namespace quave

// What a JACK server carries of long SysEx messages, seen from its clients:
// the largest SysEx that arrives whole as one event, whether events that
// continue a SysEx arrive, and what the server's libjack says of itself.
//
//   carry info            the server's and libjack's own word, and how large
//                         an event an output buffer takes
//   carry whole SIZE...   sends each size once as one event
//   carry rtmidi-whole SIZE...
//                         the same through RtMidi's output
//   carry fragments [SIZE [plain|f7 [HOW]]]
//                         messages cut as the program cuts them (4096), or
//                         into SIZE bytes, continuations marked with 0xF7;
//                         HOW: one_per_cycle, same_cycle or rtmidi_out
//   carry connect COUNT   when a new client's new connection begins to carry
//   carry wait-shutdown   waits for the server to go (kill it meanwhile)
//
// Prints "name: value" lines for run.sh, which searches the largest whole
// event one process per try: some libjacks crash on an event they accepted.
// Talks to the server the environment names (JACK_DEFAULT_SERVER, and
// LD_LIBRARY_PATH for another libjack). All clients live in this process: a
// sender writing events from its process callback, a receiver reading them,
// and RtMidi's JACK input and output as the program and the simulator use
// them.

#include <dlfcn.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>
#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr size_t kFragment = 4096;  // the program's JACK fragment
// Load requests of 5,240-, 12,288- and 16,384-byte images.
constexpr size_t kLoads[] = {6008, 14063, 18744};

// The third byte tells trials apart, so a late event shows as a changed one.
Bytes sysex(size_t size, uint8_t tag) {
  Bytes m(size);
  m[0] = 0xF0;
  m[1] = 0x7D;
  m[2] = tag & 0x7F;
  for (size_t i = 3; i + 1 < size; ++i) m[i] = (i * 7 + tag) & 0x7F;
  m[size - 1] = 0xF7;
  return m;
}

std::vector<Bytes> split(const Bytes& m, size_t fragment) {
  std::vector<Bytes> parts;
  for (size_t at = 0; at < m.size(); at += fragment)
    parts.emplace_back(m.begin() + at, m.begin() + std::min(m.size(), at + fragment));
  return parts;
}

struct Sender {
  jack_port_t* port = nullptr;
  std::vector<Bytes> events;  // the main thread's while `pending` is false
  bool one_per_cycle = false;
  size_t next = 0;
  std::atomic<bool> pending{false};
  std::atomic<bool> measure_reserve{false};
  std::atomic<long> reserve_limit{-1};
  std::atomic<long> max_event_size{-1};
  std::atomic<int> refused{0};
};

int send_cycle(jack_nframes_t frames, void* arg) {
  Sender& s = *static_cast<Sender*>(arg);
  void* buffer = jack_port_get_buffer(s.port, frames);
  jack_midi_clear_buffer(buffer);
  s.max_event_size = static_cast<long>(jack_midi_max_event_size(buffer));
  if (s.measure_reserve) {
    // Clearing undoes a reservation, so one cycle can search what an empty
    // buffer grants.
    long lo = 0, hi = 1 << 20;
    while (lo < hi) {
      const long mid = (lo + hi + 1) / 2;
      jack_midi_clear_buffer(buffer);
      if (jack_midi_event_reserve(buffer, 0, mid)) lo = mid; else hi = mid - 1;
    }
    jack_midi_clear_buffer(buffer);
    s.reserve_limit = lo;
    s.measure_reserve = false;
  }
  if (!s.pending.load(std::memory_order_acquire)) return 0;
  // All at frame 0, as RtMidi's output writes them.
  while (s.next < s.events.size()) {
    const Bytes& e = s.events[s.next++];
    jack_midi_data_t* room = jack_midi_event_reserve(buffer, 0, e.size());
    if (room) std::memcpy(room, e.data(), e.size()); else ++s.refused;
    if (s.one_per_cycle) break;
  }
  if (s.next == s.events.size()) s.pending.store(false, std::memory_order_release);
  return 0;
}

struct Fresh {
  jack_port_t* port = nullptr;
  Clock::time_point since;  // set before `on`
  std::atomic<bool> on{false};
};

// Stamps each cycle's event with the tenths of milliseconds since `since`.
int fresh_cycle(jack_nframes_t frames, void* arg) {
  Fresh& f = *static_cast<Fresh*>(arg);
  void* buffer = jack_port_get_buffer(f.port, frames);
  jack_midi_clear_buffer(buffer);
  if (!f.on) return 0;
  const auto tenths = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - f.since).count() / 100;
  const jack_midi_data_t stamp[] = {0xF0, 0x7D, static_cast<jack_midi_data_t>((tenths >> 14) & 0x7F),
                                    static_cast<jack_midi_data_t>((tenths >> 7) & 0x7F),
                                    static_cast<jack_midi_data_t>(tenths & 0x7F), 0xF7};
  jack_midi_event_write(buffer, 0, stamp, sizeof stamp);
  return 0;
}

struct Receiver {
  jack_port_t* port = nullptr;
  jack_ringbuffer_t* ring = nullptr;  // per event: uint32_t size, then the bytes
};

int receive_cycle(jack_nframes_t frames, void* arg) {
  Receiver& r = *static_cast<Receiver*>(arg);
  void* buffer = jack_port_get_buffer(r.port, frames);
  const uint32_t count = jack_midi_get_event_count(buffer);
  for (uint32_t i = 0; i < count; ++i) {
    jack_midi_event_t e;
    if (jack_midi_event_get(&e, buffer, i) != 0) continue;
    const uint32_t size = static_cast<uint32_t>(e.size);
    if (jack_ringbuffer_write_space(r.ring) < sizeof size + size) continue;
    jack_ringbuffer_write(r.ring, reinterpret_cast<const char*>(&size), sizeof size);
    jack_ringbuffer_write(r.ring, reinterpret_cast<const char*>(e.buffer), size);
  }
  return 0;
}

std::vector<Bytes> take(Receiver& r) {
  std::vector<Bytes> events;
  uint32_t size;
  while (jack_ringbuffer_read(r.ring, reinterpret_cast<char*>(&size), sizeof size) == sizeof size) {
    Bytes e(size);
    jack_ringbuffer_read(r.ring, reinterpret_cast<char*>(e.data()), size);
    events.push_back(std::move(e));
  }
  return events;
}

struct RtInbox {
  std::mutex lock;
  std::vector<Bytes> messages;
};

void rt_received(double, std::vector<unsigned char>* message, void* arg) {
  RtInbox& box = *static_cast<RtInbox*>(arg);
  std::lock_guard<std::mutex> hold(box.lock);
  box.messages.emplace_back(message->begin(), message->end());
}

// PipeWire shows another client's new port only a moment later.
std::string first_port(jack_client_t* client, const std::string& client_name, unsigned long flags) {
  for (int i = 0; i < 2000; ++i) {
    const char** ports = jack_get_ports(client, ("^" + client_name + ":").c_str(), JACK_DEFAULT_MIDI_TYPE, flags);
    const std::string name = ports && ports[0] ? ports[0] : "";
    if (ports) jack_free(ports);
    if (!name.empty()) return name;
    std::this_thread::sleep_for(milliseconds(1));
  }
  return "";
}

// Says how the events that arrived relate to what was sent.
std::string verdict(const std::vector<Bytes>& got, const Bytes& message, const std::vector<Bytes>& sent) {
  if (got.empty()) return "lost";
  if (got.size() == 1 && got[0] == message) return "whole";
  if (got == sent) return "as sent";
  // Sizes with runs folded: 7+6*1364+3.
  std::string sizes;
  Bytes joined;
  for (size_t i = 0; i < got.size();) {
    size_t run = 1;
    while (i + run < got.size() && got[i + run].size() == got[i].size()) ++run;
    sizes += (sizes.empty() ? "" : "+") + std::to_string(got[i].size()) + (run > 1 ? "*" + std::to_string(run) : "");
    for (size_t j = i; j < i + run; ++j) joined.insert(joined.end(), got[j].begin(), got[j].end());
    i += run;
  }
  return (joined == message ? "rejoined " : "changed ") + sizes + " (" + std::to_string(joined.size()) + " bytes)";
}

class Bench {
 public:
  bool open() {
    client_ = jack_client_open("carry", JackNoStartServer, nullptr);
    if (!client_) return false;
    sender_.port = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(client_, send_cycle, &sender_);
    reader_ = jack_client_open("carry-in", JackNoStartServer, nullptr);
    if (!reader_ || !sender_.port) return false;
    receiver_.ring = jack_ringbuffer_create(1 << 22);
    receiver_.port = jack_port_register(reader_, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(reader_, receive_cycle, &receiver_);
    if (!receiver_.port || jack_activate(client_) || jack_activate(reader_)) return false;
    rt_out_ = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, "carry-rtout");
    rt_out_->openVirtualPort("out");
    return open_rt_in();
  }

  ~Bench() {
    rt_in_.reset();
    rt_out_.reset();
    if (reader_) jack_client_close(reader_);
    if (client_) jack_client_close(client_);
  }

  // Connects both senders to both receivers; returns the milliseconds until
  // the first event crossed, or -1.
  long connect_all() {
    const std::string out = jack_port_name(sender_.port), in = jack_port_name(receiver_.port);
    const std::string rt_out = first_port(client_, "carry-rtout", JackPortIsOutput);
    const Clock::time_point start = Clock::now();
    for (const std::string& from : {out, rt_out})
      for (const std::string& to : {in, rt_in_port_}) jack_connect(client_, from.c_str(), to.c_str());
    // A receiver in another process, to tell which side a fault is on.
    if (const char* also = std::getenv("CARRY_ALSO_TO")) jack_connect(client_, out.c_str(), also);
    fresh_rt_in_ = false;
    long crossed_ms = -1;
    while (crossed_ms < 0 && Clock::now() - start < std::chrono::seconds(5)) {
      const Arrival a = send({sysex(8, tag_++)}, false, 100);
      if (!a.raw.empty() && !a.rt.empty())
        crossed_ms = static_cast<long>(std::chrono::duration_cast<milliseconds>(Clock::now() - start).count());
    }
    fresh_rt_in_ = true;
    return crossed_ms;
  }

  struct Arrival {
    std::vector<Bytes> raw, rt;
    Bytes message;
    std::vector<Bytes> sent;
    bool refused = false;  // by the sender's own buffer
    std::string raw_verdict() const { return refused && raw.empty() ? "refused" : verdict(raw, message, sent); }
    std::string rt_verdict() const { return verdict(rt, message, sent); }
  };

  // Sends `events` (together one message) from the sender, or through
  // RtMidi's output, and collects what arrives until both receivers have a
  // whole message or the wait runs out.
  Arrival send(const std::vector<Bytes>& events, bool one_per_cycle, long wait_ms, bool via_rtmidi = false) {
    Arrival a;
    a.sent = events;
    for (const Bytes& e : events) a.message.insert(a.message.end(), e.begin(), e.end());
    take(receiver_);
    take_rt();
    if (via_rtmidi) {
      for (const Bytes& e : events) rt_out_->sendMessage(e.data(), e.size());
    } else {
      const int refused = sender_.refused;
      sender_.events = events;
      sender_.one_per_cycle = one_per_cycle;
      sender_.next = 0;
      sender_.pending.store(true, std::memory_order_release);
      while (sender_.pending.load(std::memory_order_acquire)) std::this_thread::sleep_for(milliseconds(1));
      a.refused = sender_.refused != refused;
    }
    const Clock::time_point give_up = Clock::now() + milliseconds(wait_ms);
    size_t raw_bytes = 0;
    while (Clock::now() < give_up) {
      std::this_thread::sleep_for(milliseconds(1));
      for (Bytes& e : take(receiver_)) {
        raw_bytes += e.size();
        a.raw.push_back(std::move(e));
      }
      for (Bytes& m : take_rt()) a.rt.push_back(std::move(m));
      if (raw_bytes >= a.message.size() && !a.rt.empty()) break;
    }
    // A continuation RtMidi lost leaves it holding half a message, which it
    // would put in front of the next one.
    if (fresh_rt_in_ && a.rt_verdict() != "whole") reopen_rt_in();
    return a;
  }

  Arrival send_whole(size_t size, long wait_ms) { return send({sysex(size, tag_++)}, false, wait_ms); }

  // When a new client's new connection begins to carry: the client stamps
  // an event every cycle from the jack_connect call on, and the first to
  // arrive tells. Times in ms from that call.
  std::string connect_delay() {
    Fresh f;
    jack_client_t* c = jack_client_open("carry-new", JackNoStartServer, nullptr);
    if (!c) return "cannot open a client";
    f.port = jack_port_register(c, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(c, fresh_cycle, &f);
    jack_activate(c);
    // A receiver in another process (jack_midi_dump, say) shows the stamps
    // itself: this side then only keeps sending for 100 ms.
    const char* also = std::getenv("CARRY_ALSO_TO");
    const std::string to = also ? also : jack_port_name(receiver_.port);
    take(receiver_);
    f.since = Clock::now();
    f.on = true;
    const auto ms = [&f] { return std::chrono::duration<double, std::milli>(Clock::now() - f.since).count(); };
    jack_connect(c, jack_port_name(f.port), to.c_str());
    const double returned = ms();
    while (jack_port_connected_to(f.port, to.c_str()) != 1 && ms() < 2000) std::this_thread::sleep_for(milliseconds(1));
    const double connected = ms();
    if (also) {
      std::this_thread::sleep_for(milliseconds(100));
      jack_client_close(c);
      char line[96];
      std::snprintf(line, sizeof line, "returned %.1f, connected_to %.1f", returned, connected);
      return line;
    }
    std::vector<Bytes> got;
    while (got.empty() && ms() < 2000) {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
      got = take(receiver_);
    }
    const double arrived = ms();
    jack_client_close(c);
    if (got.empty() || got[0].size() != 6) return "nothing arrived within 2 s";
    const double sent = ((got[0][2] << 14) | (got[0][3] << 7) | got[0][4]) / 10.0;
    char line[160];
    std::snprintf(line, sizeof line, "returned %.1f, connected_to %.1f, first carried event sent at %.1f, arrived %.1f",
                  returned, connected, sent, arrived);
    return line;
  }

  jack_client_t* client() const { return client_; }
  Sender& sender() { return sender_; }
  uint8_t next_tag() { return tag_++; }

  // RtMidi's input as it is after a lost continuation: what it makes of
  // the next whole message.
  std::string rt_after_lost_tail(long wait_ms) {
    const Bytes message = sysex(100, next_tag());
    fresh_rt_in_ = false;
    send({Bytes(message.begin(), message.begin() + 50)}, false, wait_ms);
    fresh_rt_in_ = true;
    return send_whole(100, wait_ms).rt_verdict();
  }

 private:
  bool open_rt_in() {
    rt_in_ = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, "carry-rtin");
    rt_in_->ignoreTypes(false, true, true);
    rt_in_->setCallback(rt_received, &rt_box_);
    rt_in_->openVirtualPort("in");
    rt_in_port_ = first_port(client_, "carry-rtin", JackPortIsInput);
    return !rt_in_port_.empty();
  }

  void reopen_rt_in() {
    rt_in_.reset();
    open_rt_in();
    jack_connect(client_, jack_port_name(sender_.port), rt_in_port_.c_str());
    jack_connect(client_, first_port(client_, "carry-rtout", JackPortIsOutput).c_str(), rt_in_port_.c_str());
    // Until the new connection is in the graph.
    fresh_rt_in_ = false;
    for (int i = 0; i < 50 && send({sysex(8, tag_++)}, false, 100).rt.empty(); ++i) {}
    fresh_rt_in_ = true;
  }

  std::vector<Bytes> take_rt() {
    std::lock_guard<std::mutex> hold(rt_box_.lock);
    return std::move(rt_box_.messages);
  }

  jack_client_t* client_ = nullptr;
  jack_client_t* reader_ = nullptr;
  Sender sender_;
  Receiver receiver_;
  RtInbox rt_box_;
  std::unique_ptr<RtMidiIn> rt_in_;
  std::unique_ptr<RtMidiOut> rt_out_;
  std::string rt_in_port_;
  bool fresh_rt_in_ = true;  // whether a trial that did not end whole reopens it
  uint8_t tag_ = 1;
};

void print_identity(jack_client_t* client) {
  std::printf("version_string: %s\n", jack_get_version_string());
  int major = -1, minor = -1, micro = -1, proto = -1;
  jack_get_version(&major, &minor, &micro, &proto);
  std::printf("version: %d.%d.%d proto %d\n", major, minor, micro, proto);
  Dl_info info{};
  std::printf("libjack: %s\n",
              dladdr(reinterpret_cast<void*>(&jack_client_open), &info) && info.dli_fname ? info.dli_fname : "?");
  void* lib = dlopen("libjack.so.0", RTLD_NOW | RTLD_NOLOAD);
  for (const char* symbol : {"jack_get_video_image_size", "default_jack_error_callback", "jack_client_has_session_callback"})
    std::printf("has %s: %s\n", symbol, lib && dlsym(lib, symbol) ? "yes" : "no");
  std::printf("client_name: %s\n", jack_get_client_name(client));
  std::printf("name_sizes: client %d port %d type %d\n", jack_client_name_size(), jack_port_name_size(),
              jack_port_type_size());
  std::printf("buffer_size: %u\nsample_rate: %u\nrealtime: %d\n", jack_get_buffer_size(client),
              jack_get_sample_rate(client), jack_is_realtime(client));
  const char** ports = jack_get_ports(client, nullptr, nullptr, 0);
  std::string others;
  for (size_t i = 0; ports && ports[i]; ++i)
    if (std::strncmp(ports[i], "carry", 5) != 0) others += std::string(others.empty() ? "" : ", ") + ports[i];
  if (ports) jack_free(ports);
  std::printf("server_ports: %s\n", others.empty() ? "(none)" : others.c_str());
}

int wait_shutdown() {
  static std::atomic<bool> gone{false};
  jack_client_t* client = jack_client_open("carry-watch", JackNoStartServer, nullptr);
  if (!client) return 1;
  jack_on_info_shutdown(client, [](jack_status_t, const char*, void*) { gone = true; }, nullptr);
  jack_activate(client);
  std::printf("watching\n");
  std::fflush(stdout);
  while (!gone) std::this_thread::sleep_for(milliseconds(1));
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  std::printf("shutdown callback at %lld ms\n",
              static_cast<long long>(std::chrono::duration_cast<milliseconds>(now).count()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Line by line: a libjack that crashes part-way leaves its figures so far.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "wait-shutdown") return wait_shutdown();
  if (mode != "info" && mode != "whole" && mode != "rtmidi-whole" && mode != "fragments" && mode != "connect") {
    std::fprintf(stderr,
                 "usage: carry info | whole SIZE... | rtmidi-whole SIZE... | fragments [SIZE [plain|f7 [HOW]]] |"
                 " connect COUNT |"
                 " wait-shutdown\n");
    return 2;
  }
  jack_set_error_function([](const char*) {});
  Bench bench;
  if (!bench.open()) {
    std::fprintf(stderr, "carry: cannot open the JACK clients\n");
    return 1;
  }
  const long first_event_ms = bench.connect_all();
  if (first_event_ms < 0) {
    std::fprintf(stderr, "carry: nothing crossed a new connection within 5 s\n");
    return 1;
  }
  const jack_nframes_t frames = jack_get_buffer_size(bench.client());
  const long wait_ms = std::max(300L, 10000L * frames / jack_get_sample_rate(bench.client()));

  if (mode == "info") {
    print_identity(bench.client());
    std::printf("first_event_ms: %ld\n", first_event_ms);
    Sender& sender = bench.sender();
    sender.measure_reserve = true;
    while (sender.measure_reserve) std::this_thread::sleep_for(milliseconds(1));
    std::printf("max_event_size: %ld\nreserve_limit: %ld\n", sender.max_event_size.load(),
                sender.reserve_limit.load());
  } else if (mode == "connect") {
    for (int i = 0; i < (argc > 2 ? std::stoi(argv[2]) : 5); ++i) std::printf("connect: %s\n", bench.connect_delay().c_str());
  } else if (mode == "whole" || mode == "rtmidi-whole") {
    for (int i = 2; i < argc; ++i) {
      const auto a = bench.send({sysex(std::stoul(argv[i]), bench.next_tag())}, false, wait_ms, mode != "whole");
      std::printf("%s %s: raw %s; rtmidi_in %s\n", mode.c_str(), argv[i], a.raw_verdict().c_str(),
                  a.rt_verdict().c_str());
    }
  } else {
    // From the sender one per cycle and all in one, and from RtMidi's output
    // as the program sends. With "f7" each continuation starts with 0xF7,
    // which a MIDI 2.0 converter may take for a continued SysEx: do the
    // receivers then get the message without those bytes?
    const size_t fragment = argc > 2 ? std::stoul(argv[2]) : kFragment;
    const bool marked = argc > 3 && std::strcmp(argv[3], "f7") == 0;
    const std::string only = argc > 4 ? argv[4] : "";
    for (const size_t size : {size_t{200}, kLoads[0], kLoads[1], kLoads[2]}) {
      const size_t cut = size == 200 ? 100 : fragment;
      for (const char* how : {"one_per_cycle", "same_cycle", "rtmidi_out"}) {
        if (!only.empty() && only != how) continue;
        const Bytes m = sysex(size, bench.next_tag());
        std::vector<Bytes> parts = split(m, cut);
        for (size_t i = 1; marked && i < parts.size(); ++i) parts[i].insert(parts[i].begin(), 0xF7);
        const auto a = bench.send(parts, how[0] == 'o', wait_ms, how[0] == 'r');
        std::printf("%sfragments %zu/%zu %s: raw %s; rtmidi_in %s\n", marked ? "f7_" : "", size, cut, how,
                    (a.refused && a.raw.empty() ? "refused" : verdict(a.raw, m, parts)).c_str(),
                    verdict(a.rt, m, parts).c_str());
      }
    }
    std::printf("rtmidi_in after a lost tail: %s\n", bench.rt_after_lost_tail(wait_ms).c_str());
  }
  return 0;
}

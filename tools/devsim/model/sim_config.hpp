// Everything the simulator is told on its command line: the device it plays,
// the faults it injects and where it logs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/devsim/device/load.hpp"

namespace devsim {

// The requests a device understands, by what they ask for.
enum class Kind : uint8_t {
  search,
  api_version,
  module_info,
  slot_status,
  slot_clear,
  module_clear,
  load,
};
constexpr size_t kKindCount = 7;
inline size_t index_of(Kind k) { return static_cast<size_t>(k); }
// Option names: "search", "api", "module-info", "slot-status", "slot-clear",
// "module-clear", "load".
const char* kind_name(Kind k);

constexpr size_t kModules = 5;
using device_side::SlotRecord;

struct ModuleConfig {
  uint8_t slot_count = 0;
  uint32_t max_payload_size = 0;
  uint32_t max_load_size = 0;  // reported only
  bool has_info = true;        // false: the info reply carries no data
};

// Faults for one request kind. A default value means "behave".
struct KindFaults {
  bool silent = false;            // no reply, request not carried out
  unsigned delay_ms = 0;          // every message of the answer comes late
  std::optional<uint8_t> status;  // loads and clears: answer this, change nothing
  bool wrong_module = false;      // data replies name the next module
  bool wrong_slot = false;        // slot status replies name the next slot
  bool realtime = false;          // 0xF8 and 0xFE inside each reply
  bool noise = false;             // unrelated messages before the answer
  bool twice = false;             // the answer is sent two times
  unsigned truncate = 0;          // bytes removed before each reply's end byte
  unsigned overlong = 0;          // zero bytes added before each reply's end byte
  unsigned flood = 0;             // unrelated messages before each reply, paced
};

struct Preload {
  uint8_t module = 0;
  uint8_t slot = 0;
  SlotRecord record{};
};

std::array<ModuleConfig, kModules> default_modules();

struct SimConfig {
  uint8_t platform = 1;  // PlatformId 1..3
  uint8_t channel = 0;   // 0..15
  uint8_t system_major = 1, system_minor = 10;
  uint8_t api_major = 1, api_minor = 1, api_patch = 0;
  std::array<ModuleConfig, kModules> modules = default_modules();
  // Accept requests only with the channel in byte 2; by default byte 2 may
  // also carry 0x30 alone, as clears and loads do.
  bool strict_channel = false;
  std::optional<uint8_t> api_platform;  // fault: platform byte of the API reply
  std::array<KindFaults, kKindCount> faults{};
  std::vector<Preload> preloads;

  std::string api;       // "", "alsa" or "jack"
  // Instead of virtual ports: the device behind a kernel MIDI port, reading
  // this rawmidi device no faster than `drain_rate` bytes a second (0: as
  // fast as it comes).
  std::string rawmidi_path;
  // Or a USB-MIDI device of its own on this gadgetfs controller file, reading
  // its OUT endpoint no faster than `drain_rate`.
  std::string usb_gadget_path;
  uint32_t drain_rate = 0;
  // The USB device stops reading once it has read this many bytes, and
  // stays attached: a synthesizer that hangs.
  std::optional<uint32_t> stop_reading_after;
  std::string port_tag;  // inserted after the model name
  bool output_first = false;  // the virtual output port is made first
  std::string log_path;  // empty: no request log
  bool verbose = false;
  bool ready = false;

  const KindFaults& faults_for(Kind k) const { return faults[index_of(k)]; }
};

// The three model-id bytes of the device header: 00, family high, family low.
std::array<uint8_t, 3> model_id(const SimConfig& config);
// "vestrel KBD/KNOB" (what the program reads) and "vestrel SOUND".
std::string output_port_name(const SimConfig& config);
std::string input_port_name(const SimConfig& config);
// The model name and the port tag: the USB product name.
std::string product_name(const SimConfig& config);

}  // namespace devsim

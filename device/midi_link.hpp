// The device's two MIDI ports, found by name or given by index, opened
// through the system's MIDI library: the real Link. The library's input
// thread only puts each message into an inbox; the command's thread takes
// it from there.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "device/inbox.hpp"
#include "device/link.hpp"
#include "device/midi_port.hpp"
#include "device/outcome.hpp"
#include "device/output_room.hpp"
#include "device/paced_send.hpp"

namespace quave {

// Port name patterns (POSIX extended, searched anywhere in the name), tried in
// table order.
extern const char* const kInputPortPatterns[4];
extern const char* const kOutputPortPatterns[4];

// A port as chosen at open: everything later steps ask of it.
struct ChosenPort {
  MidiBackend backend = MidiBackend::other;
  unsigned index = 0;
  std::string name;
  // Its sequencer client and port, on ALSA.
  std::optional<std::pair<int, int>> alsa;
};

// The text a port search matched, the port's index and its whole name.
struct PortMatch {
  std::string text;
  unsigned index = 0;
  std::string name;
};

struct OpenReport {
  OpenFault fault = OpenFault::none;
  // What the search by name found, when it ran.
  std::optional<PortMatch> input;
  std::optional<PortMatch> output;
  // A card's port whose buffer cannot be read: long messages go at 5-pin
  // DIN pace.
  bool din_pace = false;
};

class MidiLink : public Link {
 public:
  // `debug`: the library's own messages reach standard error.
  explicit MidiLink(bool debug);
  // Closes what is open. A link to a device that went away or stopped
  // reading lets go of its ALSA port without the kernel's drain.
  ~MidiLink() override;
  MidiLink(const MidiLink&) = delete;
  MidiLink& operator=(const MidiLink&) = delete;

  // Why the MIDI library cannot be had, or nothing.
  std::optional<std::string> library_problem();
  // The port names in index order; an error part-way ends the list there.
  std::vector<std::string> input_names();
  std::vector<std::string> output_names();
  // One line for each backend that could not be opened, with the system's
  // reason, when none could: otherwise nothing.
  std::vector<std::string> backend_problems();

  // Both ports given, or both searched by name when neither is. Whatever
  // opened before a failure stays open until the link ends.
  OpenReport open(std::optional<unsigned> in_port, std::optional<unsigned> out_port);

  SendEnd send(const Message& message, const std::function<void(size_t)>& progress) override;
  std::optional<Message> receive(Clock::time_point until) override;
  bool present() override;
  int interruption() override;

 private:
  MidiPort* input();
  MidiPort* output();
  ChosenPort choose(MidiPort& port, unsigned index, const std::optional<PortMatch>& found);
  static void on_message(double, const unsigned char* message, size_t size, void* self);
  static void wake(void* self);

  const bool debug_;
  // Declared first: it outlives the ports, whose input thread fills it.
  Inbox inbox_;
  // Input callbacks under way; the ports are freed only when none is.
  std::atomic<int> in_callback_{0};
  std::unique_ptr<MidiPort> in_;
  std::unique_ptr<MidiPort> out_;
  bool open_ = false;
  ChosenPort chosen_out_;
  bool by_name_ = false;
  OutputLink output_link_;
  // Set once the device is known to be gone or to have stopped reading.
  bool dead_ = false;
};

}  // namespace quave

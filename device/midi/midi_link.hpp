// The opened link to the device over the MIDI library: the real Link. The
// library's input thread only puts each message into an inbox; the
// command's thread takes it from there. The ports are found and opened by
// MidiPorts (device/midi/midi_ports.hpp), which hands them over.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "device/link.hpp"
#include "base/inbox.hpp"
#include "device/midi/midi_port.hpp"
#include "device/midi/paced_send.hpp"
#include "device/midi/system/midi_system.hpp"
#include "device/midi/system/synth_lock.hpp"

namespace quave {

// How the link sees that its device went away, chosen with the port.
enum class Presence {
  // A card's port: its /proc file, which goes the moment the card is
  // unplugged, and the sequencer's word.
  card_files,
  // An ALSA port: the sequencer's word, or the listing where it has none.
  sequencer,
  // The JACK server's word, then the listing.
  jack,
  // The port still among the library's ports.
  listing,
};

// The output port as chosen at open: everything the link later needs of it.
struct ChosenPort {
  MidiBackend backend = MidiBackend::other;
  std::string name;
  // Its sequencer client and port, on ALSA.
  std::optional<std::pair<int, int>> alsa;
  Pacing pacing;
  // A card's buffer room, where the kernel shows it.
  RoomFeedback room;
  Presence presence = Presence::listing;
  // A card's port whose room cannot be read, paced for 5-pin DIN.
  bool din_pace = false;
  // The JACK server, on JACK.
  std::optional<JackServer> jack;
};

// Chooses, from what the system says of the port named `name` on `backend`,
// how long messages go out and how a device gone away shows. `by_name`: the
// ports were found by their names.
ChosenPort choose_port(const MidiSystem& system, MidiBackend backend, const std::string& name,
                       bool by_name);

class MidiLink : public Link {
 public:
  // Closes the ports. A link to a device that went away or stopped reading
  // lets go of its ALSA port without the kernel's drain.
  ~MidiLink() override;
  MidiLink(const MidiLink&) = delete;
  MidiLink& operator=(const MidiLink&) = delete;

  SendEnd send(const Message& message, const SendWatch& watch) override;
  std::optional<Message> receive(Clock::time_point until) override;
  bool present() override;
  int interruption() override;
  std::optional<size_t> largest_message() override;

 private:
  friend class MidiPorts;
  MidiLink(bool debug, const MidiSystem& system);
  // Takes the open ports, and the synthesizer's lock, over and listens on
  // the input; false, all left where they were, when the input will not
  // take the callback.
  bool take(std::unique_ptr<MidiPort>& in, std::unique_ptr<MidiPort>& out,
            std::unique_ptr<SynthLock>& lock, ChosenPort chosen);
  bool listed();
  bool on_sequencer();
  static void on_message(double, const unsigned char* message, size_t size, void* self);
  static void wake(void* self);

  const bool debug_;
  const MidiSystem& system_;
  // The synthesizer is this command's until the ports have closed: declared
  // before them, it goes after them.
  std::unique_ptr<SynthLock> lock_;
  ChosenPort chosen_;
  // Declared before the ports: it outlives them, whose input thread fills it.
  Inbox inbox_;
  // Input callbacks under way; the ports are freed only when none is.
  std::atomic<int> in_callback_{0};
  std::unique_ptr<MidiPort> in_;
  std::unique_ptr<MidiPort> out_;
  // Set once the device is known to be gone or to have stopped reading.
  bool dead_ = false;
};

}  // namespace quave

// The system's MIDI ports as the library shows them: listing them, finding
// the device's two by name, opening them. What carries the messages once
// they are open is the MidiLink they are handed to.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/midi/midi_link.hpp"
#include "device/midi/midi_port.hpp"
#include "device/midi/synth_ports.hpp"
#include "device/midi/system/midi_system.hpp"
#include "device/outcome.hpp"

namespace quave {


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
  // The synthesizers the search could take, the one taken first; empty when
  // no input and output showed one synthesizer.
  std::vector<SynthPorts> choices;
  // Every synthesizer the port names show, whenever they were read.
  std::vector<SynthPorts> synths;
  // Long messages go at 5-pin DIN pace: a card's port whose buffer cannot
  // be read.
  bool din_pace = false;
  // How long messages go, and on JACK the server.
  Pacing pacing;
  std::optional<JackServer> jack;
  // What stood at the synthesizer's lock's place (a path) that cannot be a
  // lock: the command went on without one.
  LockObstacle lock_obstacle = LockObstacle::none;
  std::string lock_place;
};

// What a command asks of the ports it opens.
struct OpenWish {
  // The model whose synthesizer is taken when one is there (a unit's).
  std::optional<PlatformId> model;
  // The synthesizer of this name (synth_name) and no other, whatever its
  // model: when there is not exactly one, the open fails (synth_name)
  // before it locks or opens anything.
  std::optional<std::string> synth;
  // The port names are read, and the synthesizers they show reported, even
  // where the ports are given.
  bool report_synths = false;
  // How this command is named to another that waits for the synthesizer.
  std::string who = "quave-cli";
  // Called once when another command has the synthesizer, with the name it
  // left (printable, maybe empty) and the synthesizer's name; the open then
  // waits.
  std::function<void(const std::string& holder, const std::string& synth)> waiting;
};

class MidiPorts {
 public:
  // `debug`: the library's own messages reach standard error.
  explicit MidiPorts(bool debug, const MidiSystem& system = host_system());
  // Closes what a failed open left open.
  ~MidiPorts();
  MidiPorts(const MidiPorts&) = delete;
  MidiPorts& operator=(const MidiPorts&) = delete;

  // Why the MIDI library cannot be had, or nothing.
  std::optional<std::string> library_problem();
  // The port names in index order; an error part-way ends the list there.
  std::vector<std::string> input_names();
  std::vector<std::string> output_names();
  // One line for each backend that could not be opened, with the system's
  // reason, when none could: otherwise nothing.
  std::vector<std::string> backend_problems();
  // The synthesizers these port names (the lists above) show, in input
  // order.
  std::vector<SynthPorts> synths(const std::vector<std::string>& in_names,
                                 const std::vector<std::string>& out_names);

  // Both ports given, or both searched by name when neither is; once. The
  // synthesizer is locked before they open, which waits while another
  // command has it (an interruption meanwhile is thrown as Interrupted). On
  // success the link has them, and the lock; whatever opened before a
  // failure stays open, and listed, until these ports end.
  struct Opened {
    OpenReport report;
    std::unique_ptr<MidiLink> link;
  };
  Opened open(std::optional<unsigned> in_port, std::optional<unsigned> out_port,
              const OpenWish& wish = OpenWish());

 private:
  // Made on first use.
  MidiPort* port(std::unique_ptr<MidiPort>& port, MidiDirection direction, const char* client_name);
  MidiPort* input();
  MidiPort* output();

  const bool debug_;
  const MidiSystem& system_;
  // Goes after the ports, as the link's.
  std::unique_ptr<SynthLock> lock_;
  // Made before any port, so that it exists before the library's threads
  // that will call into it; declared first, so that it outlives the ports.
  std::unique_ptr<MidiLink> link_;
  std::unique_ptr<MidiPort> in_;
  std::unique_ptr<MidiPort> out_;
};

}  // namespace quave

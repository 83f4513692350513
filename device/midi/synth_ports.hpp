// The synthesizers the port lists show: each model's input (its KBD/KNOB
// port) paired with the output (its SOUND port) of the same synthesizer,
// whatever order the two lists are in.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "unit/models.hpp"

namespace quave {

struct SynthPorts {
  PlatformId platform = 0;
  // What a system adds to tell a second synthesizer of a model apart ("2",
  // "#2"), without spaces; empty for the first.
  std::string instance;
  unsigned in_index = 0;
  unsigned out_index = 0;
  // The text the name search matched in each, as -v shows it.
  std::string in_text;
  std::string out_text;
};

// Every input whose name shows a model, in list order, with the first
// unpaired output of the same model and instance. `same_client`: an output
// of the input's own sequencer client ("... 24:0" and "... 24:1" on ALSA),
// where a synthesizer's two ports live, comes before any other.
std::vector<SynthPorts> pair_synth_ports(const std::vector<std::string>& inputs,
                                         const std::vector<std::string>& outputs,
                                         bool same_client);

// The synthesizers a command may choose from: those of `wanted` when any
// is there, otherwise all of them. The command takes the first.
std::vector<SynthPorts> candidates(const std::vector<SynthPorts>& synths,
                                   std::optional<PlatformId> wanted);

// The lowest port whose name shows any model in the given role (inputs:
// true), with the text matched: the two are found apart when no pair is.
std::optional<std::pair<unsigned, std::string>> first_of_any_model(
    const std::vector<std::string>& names, bool inputs);

// How a synthesizer is named to the user: the model and its instance.
std::string synth_name(const SynthPorts& synth);

// The synthesizers of that name, exactly: two of one model that the system
// tells apart only by their clients share a name.
std::vector<SynthPorts> named(const std::vector<SynthPorts>& synths, const std::string& name);

}  // namespace quave

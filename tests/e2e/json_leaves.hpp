// A JSON document as a real parser reads it (tests/e2e/json_leaves.py):
// each leaf's path ("modules.4.slots.0.name") and its value as JSON in
// ASCII ("\"Saw\"", "12", "true"); and the synthesizers the port names of
// a listing show.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/process.hpp"

namespace quave::test {

using JsonLeaves = std::map<std::string, std::string>;

// Fails the test when `document` is not exactly one valid JSON document.
inline JsonLeaves json_leaves(const std::string& document) {
  TempDir dir;
  write_file(dir.file("document.json"), document);
  const ProcessResult r =
      run_process({source_dir() + "/tests/e2e/json_leaves.py", dir.file("document.json")});
  EXPECT_EQ(r.exit_code, 0) << r.err << "\nin:\n" << document;
  JsonLeaves leaves;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    const size_t equals = line.find('=');
    leaves[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return leaves;
}

// Fails with each leaf that is missing, extra or different.
inline void expect_leaves(const JsonLeaves& got, const JsonLeaves& expected,
                          const std::string& document) {
  std::string differences;
  for (const auto& [path, value] : expected) {
    const auto found = got.find(path);
    if (found == got.end()) {
      differences += "missing " + path + "=" + value + "\n";
    } else if (found->second != value) {
      differences += path + "=" + found->second + ", wanted " + value + "\n";
    }
  }
  for (const auto& [path, value] : got) {
    if (!expected.count(path)) differences += "extra " + path + "=" + value + "\n";
  }
  EXPECT_EQ(differences, "") << "in:\n" << document;
}

// A text as JSON, for texts that need no escape.
inline std::string json_text(const std::string& text) { return "\"" + text + "\""; }

// A synthesizer as -l --json must list it.
struct NamedPorts {
  std::string name;
  size_t in, out;
};

// The synthesizers the listing's port names show, worked out here: each
// model's KBD/KNOB input, in input order, with its SOUND output (one
// synthesizer of each model).
inline std::vector<NamedPorts> synths_by_port_names(const JsonLeaves& listing) {
  std::vector<NamedPorts> found;
  for (size_t i = 0; listing.count("inputs." + std::to_string(i) + ".name"); ++i) {
    const std::string& input = listing.at("inputs." + std::to_string(i) + ".name");
    for (const char* model : {"vestrel", "halvane rx", "orvalt tonal"}) {
      if (input.find(std::string(model) + " KBD/KNOB") == std::string::npos) continue;
      for (size_t o = 0; listing.count("outputs." + std::to_string(o) + ".name"); ++o) {
        if (listing.at("outputs." + std::to_string(o) + ".name")
                .find(std::string(model) + " SOUND") != std::string::npos) {
          found.push_back({model, i, o});
        }
      }
    }
  }
  return found;
}

inline JsonLeaves synth_leaves(const std::vector<NamedPorts>& synths) {
  JsonLeaves l;
  for (size_t i = 0; i < synths.size(); ++i) {
    const std::string at = "synthesizers." + std::to_string(i) + ".";
    l[at + "name"] = json_text(synths[i].name);
    l[at + "in"] = std::to_string(synths[i].in);
    l[at + "out"] = std::to_string(synths[i].out);
  }
  return l;
}

// The leaves under `prefix`.
inline JsonLeaves leaves_under(const JsonLeaves& all, const std::string& prefix) {
  JsonLeaves l;
  for (const auto& [path, value] : all) {
    if (path.compare(0, prefix.size(), prefix) == 0) l[path] = value;
  }
  return l;
}

}  // namespace quave::test

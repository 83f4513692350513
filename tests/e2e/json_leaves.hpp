// JSON documents as a real parser reads them (tests/e2e/json_leaves.py):
// each leaf's path ("modules.4.slots.0.name") and its value as JSON in
// ASCII ("\"Saw\"", "12", "true"); and what a `-l` listing says, to compare
// them with.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/process.hpp"

namespace quave::test {

using JsonLeaves = std::map<std::string, std::string>;

// Each document's leaves, read in one run of the parser (its start takes
// seconds in the emulated machine). Fails the test when a document is not
// exactly one valid JSON document.
inline std::vector<JsonLeaves> json_leaves(const std::vector<std::string>& documents) {
  TempDir dir;
  std::vector<std::string> argv{source_dir() + "/tests/e2e/json_leaves.py"};
  for (size_t i = 0; i < documents.size(); ++i) {
    argv.push_back(dir.file(std::to_string(i) + ".json"));
    write_file(argv.back(), documents[i]);
  }
  const ProcessResult r = run_process(argv);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  std::vector<JsonLeaves> all;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.compare(0, 4, "=== ") == 0) {
      all.emplace_back();
    } else if (!all.empty()) {
      const size_t equals = line.find('=');
      all.back()[line.substr(0, equals)] = line.substr(equals + 1);
    }
  }
  all.resize(documents.size());
  return all;
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

// Documents gathered as a test goes, each with the leaves it must hold, and
// read in one run of the parser at the end.
class JsonChecks {
 public:
  void add(const std::string& what, const std::string& document, JsonLeaves expected) {
    what_.push_back(what);
    documents_.push_back(document);
    expected_.push_back(std::move(expected));
  }
  void run() const {
    const std::vector<JsonLeaves> read = json_leaves(documents_);
    for (size_t i = 0; i < documents_.size(); ++i) {
      SCOPED_TRACE("document " + std::to_string(i) + ", " + what_[i]);
      expect_leaves(read[i], expected_[i], documents_[i]);
    }
  }

 private:
  std::vector<std::string> what_;
  std::vector<std::string> documents_;
  std::vector<JsonLeaves> expected_;
};

// A text as JSON, for texts that need no escape.
inline std::string json_text(const std::string& text) { return "\"" + text + "\""; }

// The port names of a `-l` listing, in index order.
struct ListedPorts {
  std::vector<std::string> inputs;
  std::vector<std::string> outputs;
};
inline ListedPorts listed_ports(const std::string& listing) {
  ListedPorts ports;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    for (auto [head, list] : {std::pair{"    in  ", &ports.inputs}, {"    out ", &ports.outputs}}) {
      const std::string prefix = head + std::to_string(list->size()) + ": ";
      if (line.compare(0, prefix.size(), prefix) == 0) list->push_back(line.substr(prefix.size()));
    }
  }
  return ports;
}

// A synthesizer as -l must name it.
struct NamedPorts {
  std::string name;
  size_t in, out;
};

// The synthesizers the port names show, worked out here: each model's
// KBD/KNOB input, in input order, with its SOUND output (one synthesizer of
// each model).
inline std::vector<NamedPorts> synths_by_port_names(const ListedPorts& ports) {
  std::vector<NamedPorts> found;
  for (size_t i = 0; i < ports.inputs.size(); ++i) {
    for (const std::string model : {"vestrel", "halvane rx", "orvalt tonal"}) {
      if (ports.inputs[i].find(model + " KBD/KNOB") == std::string::npos) continue;
      for (size_t o = 0; o < ports.outputs.size(); ++o) {
        if (ports.outputs[o].find(model + " SOUND") != std::string::npos) found.push_back({model, i, o});
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

// What -l --json must say where the text listing says `ports`.
inline JsonLeaves listing_leaves(const ListedPorts& ports) {
  JsonLeaves l = synth_leaves(synths_by_port_names(ports));
  for (auto [role, list] : {std::pair{"inputs.", &ports.inputs}, {"outputs.", &ports.outputs}}) {
    if (list->empty()) l[std::string(role, std::strlen(role) - 1)] = "[]";
    for (size_t i = 0; i < list->size(); ++i) {
      l[role + std::to_string(i) + ".index"] = std::to_string(i);
      l[role + std::to_string(i) + ".name"] = json_text((*list)[i]);
    }
  }
  if (!l.count("synthesizers.0.name")) l["synthesizers"] = "[]";
  l["problems"] = "[]";
  return l;
}

}  // namespace quave::test

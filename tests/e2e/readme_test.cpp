// The README's transcripts are the program's own output: every "$ quave-cli"
// line in its code blocks is run (against a simulator, when the text before
// the block says "against the simulator (`quave-devsim OPTIONS`)") and must
// print what follows it.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>

#include "tests/e2e/device_texts.hpp"
#include "tests/support/midi_rig.hpp"

namespace quave::test {
namespace {

struct Transcript {
  std::optional<std::string> simulator;  // the options of "quave-devsim ..." before it
  std::vector<std::pair<std::string, std::string>> runs;  // command line, output
};

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

std::vector<Transcript> transcripts(const std::string& readme) {
  std::vector<Transcript> found;
  std::istringstream lines(readme);
  std::string line;
  std::optional<std::string> simulator;
  bool in_block = false;
  Transcript current;
  while (std::getline(lines, line)) {
    if (line.compare(0, 3, "```") == 0) {
      if (in_block && !current.runs.empty()) found.push_back(current);
      in_block = !in_block;
      current = Transcript{simulator, {}};
      if (!in_block) simulator.reset();
      continue;
    }
    if (!in_block) {
      const size_t at = line.find("against the simulator (`quave-devsim ");
      if (at != std::string::npos) {
        const size_t start = line.find('`', at) + 14;
        simulator = line.substr(start, line.find('`', start) - start);
      }
      continue;
    }
    if (line.compare(0, 12, "$ quave-cli ") == 0) {
      current.runs.push_back({line.substr(12), ""});
    } else if (!current.runs.empty()) {
      current.runs.back().second += line + "\n";
    }
  }
  return found;
}

// The installed examples are the source tree's.
std::string local_path(const std::string& word) {
  const std::string installed = "/usr/share/doc/quave-cli/";
  const std::string relative =
      word.compare(0, installed.size(), installed) == 0 ? word.substr(installed.size()) : word;
  const std::filesystem::path in_tree = std::filesystem::path(source_dir()) / relative;
  return std::filesystem::exists(in_tree) ? in_tree.string() : word;
}

TEST(Readme, TranscriptsAreWhatTheProgramPrints) {
  const std::vector<Transcript> found = transcripts(read_file(source_dir() + "/README.md"));
  size_t commands = 0;
  for (const Transcript& t : found) {
    std::unique_ptr<MidiRig> rig;
    if (t.simulator) {
      rig = std::make_unique<MidiRig>();
      rig->start_sim(words(*t.simulator));
    }
    for (const auto& [command, output] : t.runs) {
      SCOPED_TRACE(command);
      std::vector<std::string> args;
      for (const std::string& w : words(command)) args.push_back(local_path(w));
      const ProcessResult r = rig ? rig->run_cli(args) : run_cli(args);
      expect_run(r, 0, output, "");
      ++commands;
    }
  }
  // The first check and the device commands' session, at least.
  EXPECT_GE(commands, 6u);
}

}  // namespace
}  // namespace quave::test

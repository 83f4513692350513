// The Windows program under Wine on a real ALSA sequencer: run inside
// scripts/alsa-vm, where Wine's MIDI driver sees the sequencer's ports.
// The build names the program, Wine's runner (scripts/wine-run) and a
// prefix made on the host.
#include <gtest/gtest.h>
#include <errno.h>
#include <sched.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "tests/support/limited_process.hpp"

namespace {

using quave::test::run_limited;

// Runs a Wine tool with its output thrown away: a server it starts keeps
// any pipe it inherited open for as long as it runs.
bool quiet(const std::vector<std::string>& command) {
  std::vector<std::string> argv{"/bin/sh", "-c", "exec \"$@\" </dev/null >/dev/null 2>&1", "sh"};
  argv.insert(argv.end(), command.begin(), command.end());
  const auto r = run_limited(argv, 300000);
  if (r.run.exit_code != 0) {
    std::cerr << "failed:";
    for (const std::string& word : command) std::cerr << " " << word;
    std::cerr << "\n";
  }
  return r.run.exit_code == 0;
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // The share that carries this machine's files to the guest can hold
  // neither the server's socket nor the program: opened non-blocking, as
  // Wine's server opens files, a read from it ends after one message, and
  // Wine reads each section of a program with a single read. The server's
  // folder goes in /run/user/<uid> when that exists (else under a random
  // name in /tmp): here, on a tmpfs of this process's own. TMPDIR would do
  // for Wine 8, but not for Wine 10 (see scripts/wine-run); a tmpfs over
  // /tmp would hide a checkout under it.
  const std::string runtime_dir = "/run/user/" + std::to_string(getuid());
  if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      (mkdir("/run/user", 0755) != 0 && errno != EEXIST) ||
      mount("tmpfs", "/run/user", "tmpfs", 0, "mode=0755") != 0 ||
      mkdir(runtime_dir.c_str(), 0700) != 0) {
    perror("a /run/user of our own");
    return 1;
  }
  char shm[] = "/dev/shm/quave-wine-XXXXXX";
  if (!mkdtemp(shm)) {
    std::cerr << "cannot make a folder in /dev/shm\n";
    return 1;
  }
  const std::string dir = shm;
  const std::string cli = dir + "/quave-cli.exe";
  std::filesystem::copy_file(QUAVE_WINDOWS_CLI, cli);
  setenv("QUAVE_TEST_CLI", cli.c_str(), 1);
  setenv("QUAVE_TEST_EMULATOR", QUAVE_WINE_RUN, 1);
  setenv("WINEPREFIX", QUAVE_WINE_PREFIX, 1);
  setenv("LC_ALL", "C.UTF-8", 1);
  // One server for the whole run; its start-up programs take most of a
  // minute in the emulated machine, once.
  int rc = 1;
  const std::string wine_run = QUAVE_WINE_RUN;
  if (quiet({wine_run, "wineserver", "--persistent"}) &&
      quiet({wine_run, "wine", "wineboot", "--init"})) {
    rc = RUN_ALL_TESTS();
  }
  quiet({wine_run, "wineserver", "--kill"});
  quiet({wine_run, "wineserver", "--wait"});
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return rc;
}

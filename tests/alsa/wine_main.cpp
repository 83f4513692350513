// The Windows program under Wine on a real ALSA sequencer: run inside
// scripts/alsa-vm, where Wine's MIDI driver sees the sequencer's ports.
// The build names the program, Wine's runner (scripts/wine-run) and a
// prefix made on the host.
#include <gtest/gtest.h>
#include <sched.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/mount.h>

#include <filesystem>
#include <iostream>
#include <string>

#include "tests/support/limited_process.hpp"

namespace {

using quave::test::run_limited;

// Runs a Wine tool with its output thrown away: a server it starts keeps
// any pipe it inherited open for as long as it runs.
bool quiet(const std::string& command) {
  const auto r = run_limited({"/bin/sh", "-c", command + " </dev/null >/dev/null 2>&1"}, 300000);
  if (r.run.exit_code != 0) std::cerr << "failed: " << command << "\n";
  return r.run.exit_code == 0;
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // The share that carries this machine's files to the guest can hold
  // neither the server's socket nor the program: opened non-blocking, as
  // Wine's server opens files, a read from it ends after one message, and
  // Wine reads each section of a program with a single read. The server's
  // folder goes into a /tmp of this process's own, on a tmpfs (TMPDIR would
  // do for Wine 8, but not for Wine 10: see scripts/wine-run).
  if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      mount("tmpfs", "/tmp", "tmpfs", 0, "mode=1777") != 0) {
    perror("a /tmp of our own");
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
  if (quiet(wine_run + " wineserver --persistent") && quiet(wine_run + " wine wineboot --init")) {
    rc = RUN_ALL_TESTS();
  }
  quiet(wine_run + " wineserver --kill");
  quiet(wine_run + " wineserver --wait");
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return rc;
}

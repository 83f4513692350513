// A root command on a machine that others share, whose kernel lets anyone's
// links in sticky folders be followed (as on systems that never turned the
// protections on): what another user plants at the synthesizer lock's place
// is left as it was, two users' commands still take turns, and nothing is
// left behind in /dev/shm.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <thread>

#include "device/midi/system/synth_lock.hpp"
#include "tests/alsa/alsa_ports.hpp"
#include "tests/e2e/device_texts.hpp"
#include "tests/e2e/several_synths.hpp"
#include "tests/e2e/unit_files.hpp"

namespace quave::test {
namespace {

constexpr unsigned kNobody = 65534;
constexpr unsigned kAudio = 29;
const std::string kSecret = "/dev/shm/root-secret";

void set_sysctl(const std::string& name, const char* value) {
  std::ofstream file("/proc/sys/fs/" + name);
  file << value;
  ASSERT_TRUE(file.flush()) << name;
}

// The lock's path for the synthesizer whose output port is named like `part`.
std::string lock_path_of(const MidiRig& rig, const std::string& part) {
  std::istringstream listing(rig.run_cli({"probe", "-l"}).out);
  std::string line;
  while (std::getline(listing, line)) {
    const size_t colon = line.find(": ");
    if (line.rfind("    out ", 0) == 0 && line.find(part) != std::string::npos) {
      return "/dev/shm/" + lock_name("alsa " + line.substr(colon + 2)) + ".lock";
    }
  }
  ADD_FAILURE() << "no output port like " << part;
  return "";
}

// Whether another user reaches the system's files at all: not in a chroot
// whose root is a folder private to root, as a fresh root made with mktemp
// is, where there is no other user to guard against.
bool others_reach_the_system() {
  return run_as(kNobody, [] { return access("/usr/bin/env", X_OK) == 0 ? 0 : 1; }) == 0;
}
#define SKIP_WHERE_NO_OTHER_USER_REACHES()                                             \
  if (!others_reach_the_system())                                                    \
  GTEST_SKIP() << "no other user can reach this machine's files (its root folder is " \
                  "root's alone), so there is no one to guard against"

template <typename Done>
bool wait_until(Done done, int seconds = 60) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

struct Snapshot {
  std::string bytes;
  mode_t mode;
  uid_t owner;
  bool operator==(const Snapshot& o) const {
    return bytes == o.bytes && mode == o.mode && owner == o.owner;
  }
};
Snapshot snapshot(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
  return {S_ISREG(info.st_mode) ? read_file(path) : std::string(), info.st_mode, info.st_uid};
}

// As another user: a process that holds a file of its own at `path`, with
// `bytes` in it, until it is killed.
class ForeignHolder {
 public:
  ForeignHolder(const std::string& path, const std::string& bytes) {
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(90);
      const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL, 0644);
      if (fd < 0 || write(fd, bytes.data(), bytes.size()) < 0 || flock(fd, LOCK_EX) != 0) _exit(91);
      if (write(ready[1], "1", 1) != 1) _exit(92);
      for (;;) pause();
    }
    close(ready[1]);
    char c = 0;
    held_ = read(ready[0], &c, 1) == 1;
    close(ready[0]);
  }
  ~ForeignHolder() { let_go(); }
  bool held() const { return held_; }
  void let_go() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  bool held_ = false;
};

TEST(SharedMachine, NothingPlantedAtTheLocksPlaceIsTurnedAgainstARootCommand) {
  SKIP_WHERE_NO_OTHER_USER_REACHES();
  for (const char* name : {"protected_symlinks", "protected_hardlinks", "protected_regular",
                           "protected_fifos"}) {
    set_sysctl(name, "0");
  }
  MidiRig rig(MidiRig::Backend::alsa);
  rig.start_sim({});
  const std::string path = lock_path_of(rig, "vestrel SOUND");
  const std::string usual = kVestrelHead + kDefaultModules;
  write_file(kSecret, "root's own bytes");
  ASSERT_EQ(chmod(kSecret.c_str(), 0600), 0);
  const Snapshot secret = snapshot(kSecret);

  const struct {
    const char* what;
    std::function<int()> plant;
    const char* said;  // what the warning calls it; empty: no warning
  } rows[] = {
      {"symbolic link", [&] { return symlink(kSecret.c_str(), path.c_str()); }, "a symbolic link"},
      {"hard link", [&] { return link(kSecret.c_str(), path.c_str()); }, "a hard link"},
      {"FIFO", [&] { return mkfifo(path.c_str(), 0600); }, "a FIFO"},
      {"folder", [&] { return mkdir(path.c_str(), 0700); }, "a folder"},
      {"file of a megabyte", [&] {
         write_file(path, std::string(1 << 20, 'm'));
         return chmod(path.c_str(), 0600);
       }, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_EQ(run_as(kNobody, row.plant), 0);
    const Snapshot planted = snapshot(path);
    const std::string warning =
        *row.said ? "Warning: " + path + " is " + row.said +
                        ", not a lock of this program: it is left alone, and this command goes "
                        "on without locking the synthesizer.\n"
                  : "";
    expect_run(rig.run_cli({"probe"}), 0, usual, warning);
    EXPECT_TRUE(snapshot(kSecret) == secret) << "root's file was changed";
    EXPECT_TRUE(snapshot(path) == planted) << "what was planted was changed";
    std::filesystem::remove(path);
  }

  // A holder's name with escape sequences in it is not shown.
  {
    ForeignHolder holder(path, "evil \x1b[2J\x1b]0;owned\x07 text");
    ASSERT_TRUE(holder.held());
    TempDir dir;
    ChildProcess probe({cli_path(), "probe"}, rig.env(), dir.file("out"), dir.file("err"));
    EXPECT_TRUE(wait_until([&] { return !read_file(dir.file("err")).empty(); }));
    holder.let_go();
    EXPECT_TRUE(wait_until([&] { return !probe.running(); }));
    EXPECT_EQ(probe.status(), 0);
    EXPECT_EQ(read_file(dir.file("out")), usual);
    EXPECT_EQ(read_file(dir.file("err")),
              "Waiting for vestrel: another command is using it. Ctrl-C stops the wait.\n");
  }
  remove(kSecret.c_str());
  EXPECT_EQ(lock_files(), std::vector<std::string>{});
}

// Root and a user of the audio group on one synthesizer: each waits while
// the other holds it, and names it.
TEST(SharedMachine, TwoUsersTakeTurns) {
  SKIP_WHERE_NO_OTHER_USER_REACHES();
  // What udev gives the sequencer on a desktop.
  ASSERT_EQ(chown("/dev/snd/seq", 0, kAudio), 0);
  ASSERT_EQ(chmod("/dev/snd/seq", 0660), 0);
  MidiRig rig(MidiRig::Backend::alsa);
  const int sim = rig.start_sim({"--silent", "load"});
  TempDir dir;
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  const std::string unit = write_unit(dir, kVestrelUnit);
  // The user runs the program from a folder it may read: a checkout in
  // root's home is not one.
  const std::string cli = dir.file("quave-cli");
  std::filesystem::copy_file(cli_path(), cli);
  const std::vector<std::string> as_user{"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                         "--groups=" + std::to_string(kAudio), "--"};
  for (const bool root_holds : {true, false}) {
    SCOPED_TRACE(root_holds ? "root holds" : "the user holds");
    std::vector<std::string> holder_argv{cli, "load", "-u", unit};
    std::vector<std::string> waiter_argv{cli, "probe"};
    std::vector<std::string>& other = root_holds ? waiter_argv : holder_argv;
    other.insert(other.begin(), as_user.begin(), as_user.end());
    const size_t loads = loads_in(rig, sim);
    const std::string tag = root_holds ? "root" : "user";
    ChildProcess holder(holder_argv, rig.env(), dir.file(tag + "-holder.out"),
                        dir.file(tag + "-holder.err"));
    ASSERT_TRUE(wait_until([&] { return loads_in(rig, sim) > loads; })) << rig.diagnostics();
    ChildProcess waiter(waiter_argv, rig.env(), dir.file(tag + "-waiter.out"),
                        dir.file(tag + "-waiter.err"));
    EXPECT_TRUE(wait_until([&] { return !read_file(dir.file(tag + "-waiter.err")).empty(); }));
    EXPECT_TRUE(holder.stop(10000));
    EXPECT_TRUE(wait_until([&] { return !waiter.running(); }));
    EXPECT_EQ(waiter.status(), 0);
    EXPECT_EQ(read_file(dir.file(tag + "-waiter.out")), kVestrelHead + kDefaultModules);
    const std::string err = read_file(dir.file(tag + "-waiter.err"));
    EXPECT_EQ(err.rfind("Waiting for vestrel: quave-cli load (process ", 0), 0u) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    EXPECT_EQ(lock_files(), std::vector<std::string>{});
  }
}

// Commands on one port after another: none leaves a file. Four kernel ports
// with no device behind them, each a lock of its own: each command waits its
// handshake's time and fails.
std::set<std::string> shm_listing() {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/shm")) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

TEST(SharedMachine, CommandsOnChangingPortsLeaveNoFiles) {
  MidiRig rig(MidiRig::Backend::alsa);
  const std::set<std::string> before = shm_listing();
  for (int port = 0; port < 4; ++port) {
    const std::string name = "VirMIDI 0-" + std::to_string(port);
    const ProcessResult r = rig.run_cli({"probe", "-i", port_index(rig, "in ", name), "-o",
                                         port_index(rig, "out", name)});
    EXPECT_EQ(r.exit_code, 1) << r.out << r.err;
    EXPECT_EQ(shm_listing(), before) << name;
  }
}

}  // namespace
}  // namespace quave::test

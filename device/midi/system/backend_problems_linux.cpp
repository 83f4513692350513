#include <fcntl.h>
#include <grp.h>
#include <rtmidi_c.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "device/midi/system/backend_problems.hpp"
#include "device/midi/system/libjack.hpp"

namespace quave {

namespace {

constexpr const char* kSequencer = "/dev/snd/seq";

std::string group_name(gid_t gid) {
  const group* entry = getgrgid(gid);
  return entry ? entry->gr_name : std::to_string(gid);
}

bool in_group(gid_t gid) {
  if (getegid() == gid) return true;
  const int count = getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  const int got = getgroups(count, groups.data());
  for (int i = 0; i < got; ++i) {
    if (groups[static_cast<size_t>(i)] == gid) return true;
  }
  return false;
}

// Nothing when the sequencer opens.
std::optional<std::string> alsa_problem() {
  const int fd = open(kSequencer, O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    close(fd);
    return std::nullopt;
  }
  const int error = errno;
  std::string line = std::string("ALSA: cannot open ") + kSequencer + ": " + std::strerror(error);
  struct stat info {};
  if (error == ENOENT) {
    line += " (this system has no ALSA sequencer: its kernel module is snd-seq)";
  } else if ((error == EACCES || error == EPERM) && stat(kSequencer, &info) == 0) {
    line += " (it opens for group " + group_name(info.st_gid);
    line += in_group(info.st_gid) ? ")" : ", which this user is not in)";
  }
  return line;
}

std::optional<std::string> jack_problem() {
  using Open = void* (*)(const char*, int, int*, ...);
  using Close = int (*)(void*);
  const auto open_client = reinterpret_cast<Open>(libjack_symbol("jack_client_open"));
  const auto close_client = reinterpret_cast<Close>(libjack_symbol("jack_client_close"));
  if (!open_client || !close_client) return std::string("JACK: its library cannot be loaded");
  // JackNoStartServer: only ask whether one runs.
  constexpr int kNoStartServer = 0x01;
  constexpr int kServerFailed = 0x10;
  int status = 0;
  void* client = open_client("quave-cli", kNoStartServer, &status);
  if (client) {
    close_client(client);
    return std::nullopt;
  }
  if (status & kServerFailed) return std::string("JACK: no JACK server is running");
  return "JACK: cannot connect to the server (status 0x" +
         [status] {
           char hex[16];
           std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(status));
           return std::string(hex);
         }() +
         ")";
}

}  // namespace

std::vector<std::string> backend_problems(const std::vector<int>& backends) {
  std::vector<std::string> lines;
  for (int backend : backends) {
    std::optional<std::string> problem;
    if (backend == RTMIDI_API_LINUX_ALSA) problem = alsa_problem();
    else if (backend == RTMIDI_API_UNIX_JACK) problem = jack_problem();
    // A backend that opens, or one nothing is known of, answers for itself.
    if (!problem) return {};
    lines.push_back(*problem);
  }
  return lines;
}

}  // namespace quave

// The kernel's word on an ALSA port: the sequencer device's client and port
// information, and the raw MIDI output's room in /proc/asound.
#include <errno.h>
#include <fcntl.h>
#include <sound/asequencer.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <string>

#include "device/midi/system/output_room.hpp"

namespace quave {

namespace {

// Empty when any read fails: a card unplugged after its file was opened
// fails the reads (EIO), which the standard streams would throw as an error.
std::string read_file(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  std::string text;
  char chunk[4096];
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n > 0) {
      text.append(chunk, static_cast<size_t>(n));
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      text.clear();
      break;
    }
  }
  close(fd);
  return text;
}

// Which card's MIDI hardware a port is, by the sequencer's own records: the
// card of a kernel client (kernel 4.6 on) and the port's type. Unlike the
// client's number and name, these hold for a card numbered 28 or higher
// (its client number is then a dynamic one) and for a card without a short
// name (its client is then "External MIDI").
std::optional<RawMidiOutput> ask_sequencer(int client, int port) {
  const int fd = open("/dev/snd/seq", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  snd_seq_client_info client_info{};
  client_info.client = client;
  snd_seq_port_info port_info{};
  port_info.addr.client = static_cast<unsigned char>(client);
  port_info.addr.port = static_cast<unsigned char>(port);
  const bool known = ioctl(fd, SNDRV_SEQ_IOCTL_GET_CLIENT_INFO, &client_info) == 0 &&
                     ioctl(fd, SNDRV_SEQ_IOCTL_GET_PORT_INFO, &port_info) == 0;
  close(fd);
  if (!known) return std::nullopt;
  return rawmidi_output_from(client_info.card, port_info.type, port);
}

}  // namespace

std::optional<size_t> output_room_at(const std::string& proc_path, int subdevice) {
  return output_room_in(read_file(proc_path), subdevice);
}

std::optional<bool> sequencer_has_port(int client, int port) {
  const int fd = open("/dev/snd/seq", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  snd_seq_port_info port_info{};
  port_info.addr.client = static_cast<unsigned char>(client);
  port_info.addr.port = static_cast<unsigned char>(port);
  const int result = ioctl(fd, SNDRV_SEQ_IOCTL_GET_PORT_INFO, &port_info);
  const int error = errno;
  close(fd);
  if (result == 0) return true;
  // The sequencer says so of a client or port that is not there.
  if (error == ENOENT || error == ENXIO) return false;
  return std::nullopt;
}

OutputLink output_link_of(int client, int port) {
  if (client < 0 || port < 0 || client > 255 || port > 255) return {};
  const std::optional<RawMidiOutput> out = ask_sequencer(client, port);
  if (!out) return {};
  OutputLink link;
  link.card_port = true;
  const std::string path = "/proc/asound/card" + std::to_string(out->card) + "/midi" +
                           std::to_string(out->device);
  const int subdevice = out->subdevice;
  RoomFeedback room = [path, subdevice] { return output_room_at(path, subdevice); };
  // Only an output that is open shows its room; one that does not now never will.
  if (room()) link.room = room;
  return link;
}

}  // namespace quave

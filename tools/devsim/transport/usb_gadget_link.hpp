// The simulator as a USB-MIDI device of its own, in user space through
// gadgetfs: the host's real USB audio driver enumerates it and makes its
// MIDI ports. It reads its OUT endpoint no faster than a set rate, so the
// host's controller is held back (NAK) exactly as by a synthesizer that
// reads slowly: nothing is dropped on the way, the host's buffers fill.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/inbox.hpp"
#include "tools/devsim/device/sysex.hpp"
#include "tools/devsim/transport/raw_midi_link.hpp"
#include "tools/devsim/transport/usb_midi.hpp"

namespace devsim {

class UsbGadgetLink {
 public:
  // `controller`: the gadgetfs file of the device controller (such as
  // /dev/gadget/dummy_udc), beside which its endpoint files appear.
  // `product`: the USB product name, which the host's ports take. Returns
  // once the host has configured the device; throws std::runtime_error when
  // that does not happen within `enumeration` or the controller refuses.
  UsbGadgetLink(const std::string& controller, const std::string& product,
                uint32_t bytes_per_second, std::chrono::milliseconds enumeration,
                std::optional<uint32_t> stop_reading_after = std::nullopt);
  ~UsbGadgetLink();
  UsbGadgetLink(const UsbGadgetLink&) = delete;
  UsbGadgetLink& operator=(const UsbGadgetLink&) = delete;

  std::vector<device_side::Message> receive(std::chrono::steady_clock::time_point until);
  void send(const device_side::Message& m);
  std::string api_name() const;

 private:
  void shutdown();
  void control_loop();
  void handle_setup(const uint8_t* setup);
  bool start_endpoints();
  void read_loop();
  void write_loop();

  std::string dir_;
  std::string product_;
  uint32_t rate_;
  std::optional<uint32_t> stop_reading_after_;
  int ep0_ = -1;
  int ep_in_ = -1;
  int ep_out_ = -1;
  std::atomic<bool> high_speed_{true};
  std::atomic<bool> stop_{false};
  std::atomic<int> running_{0};

  std::mutex mutex_;
  std::condition_variable changed_;
  bool configured_ = false;
  std::string failure_;
  quave::Inbox inbox_;
  std::deque<Bytes> outbox_;
  SysexAssembler assembler_;  // used by the reading thread only

  std::thread control_;
  std::thread reader_;
  std::thread writer_;
};

}  // namespace devsim

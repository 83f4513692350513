#include "tools/devsim/transport/usb_gadget_link.hpp"

#include <fcntl.h>
#include <linux/usb/ch9.h>
#include <linux/usb/gadgetfs.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace devsim {

namespace {

using Clock = std::chrono::steady_clock;

// The emulated controller's bulk endpoints that match kEndpointIn/Out.
constexpr const char* kInEndpointFile = "ep1in-bulk";
constexpr const char* kOutEndpointFile = "ep2out-bulk";
constexpr int kControlPollMs = 50;
// A reply the host does not take within this long is dropped, as a device
// whose output is jammed would lose it.
constexpr auto kReplyLife = std::chrono::seconds(1);

void put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

bool write_all(int fd, const Bytes& bytes) {
  const ssize_t n = write(fd, bytes.data(), bytes.size());
  return n == static_cast<ssize_t>(bytes.size());
}

std::string errno_text() { return std::strerror(errno); }

// Wakes an endpoint thread out of its transfer: the controller's endpoint
// files cannot be torn down while a transfer holds them.
constexpr int kWakeSignal = SIGUSR1;

extern "C" void on_wake(int) {}

void install_wake_handler() {
  struct sigaction sa {};
  sa.sa_handler = on_wake;
  sigemptyset(&sa.sa_mask);
  sigaction(kWakeSignal, &sa, nullptr);  // no SA_RESTART: the transfer ends with EINTR
}

}  // namespace

UsbGadgetLink::UsbGadgetLink(const std::string& controller, const std::string& product,
                             uint32_t bytes_per_second, std::chrono::milliseconds enumeration,
                             std::optional<uint32_t> stop_reading_after)
    : product_(product), rate_(bytes_per_second), stop_reading_after_(stop_reading_after) {
  install_wake_handler();
  const size_t slash = controller.rfind('/');
  dir_ = slash == std::string::npos ? "." : controller.substr(0, slash);
  ep0_ = open(controller.c_str(), O_RDWR | O_CLOEXEC);
  if (ep0_ < 0) throw std::runtime_error("cannot open " + controller + ": " + errno_text());
  // Tag 0, the full- and high-speed configurations, the device: writing
  // them binds the device to the controller, and the host enumerates it.
  Bytes setup;
  put32(setup, 0);
  for (const bool high : {false, true}) {
    const Bytes config = usb_config_descriptor(high);
    setup.insert(setup.end(), config.begin(), config.end());
  }
  const Bytes device = usb_device_descriptor();
  setup.insert(setup.end(), device.begin(), device.end());
  if (!write_all(ep0_, setup)) {
    const std::string why = errno_text();
    close(ep0_);
    throw std::runtime_error("the controller " + controller + " refused the device: " + why);
  }
  control_ = std::thread([this] { control_loop(); });
  std::unique_lock<std::mutex> lock(mutex_);
  const bool settled = changed_.wait_for(lock, enumeration, [this] { return configured_ || !failure_.empty(); });
  const std::string failure = failure_;
  lock.unlock();
  if (!settled || !failure.empty()) {
    shutdown();
    throw std::runtime_error(failure.empty() ? "the host did not configure the device" : failure);
  }
}

UsbGadgetLink::~UsbGadgetLink() { shutdown(); }

void UsbGadgetLink::shutdown() {
  if (ep0_ < 0) return;
  stop_ = true;
  changed_.notify_all();
  inbox_.ring();
  if (control_.joinable()) control_.join();
  // A signal may land just before a thread enters its transfer, so it is
  // sent until both are out.
  for (int turn = 0; running_ > 0 && turn < 200; ++turn) {
    for (std::thread* t : {&reader_, &writer_}) {
      if (t->joinable()) pthread_kill(t->native_handle(), kWakeSignal);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  for (std::thread* t : {&reader_, &writer_}) {
    if (t->joinable()) running_ == 0 ? t->join() : t->detach();
  }
  // Closing the controller's file unbinds the device from the host.
  if (running_ == 0) {
    if (ep_in_ >= 0) close(ep_in_);
    if (ep_out_ >= 0) close(ep_out_);
  }
  close(ep0_);
  ep0_ = -1;
}

std::string UsbGadgetLink::api_name() const { return "usb gadget " + dir_ + " (" + product_ + ")"; }

void UsbGadgetLink::control_loop() {
  while (!stop_) {
    pollfd p{ep0_, POLLIN, 0};
    if (poll(&p, 1, kControlPollMs) <= 0) continue;
    usb_gadgetfs_event events[5];
    const ssize_t n = read(ep0_, events, sizeof events);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      std::lock_guard<std::mutex> lock(mutex_);
      failure_ = "the controller failed: " + errno_text();
      changed_.notify_all();
      return;
    }
    for (size_t i = 0; i < static_cast<size_t>(n) / sizeof events[0]; ++i) {
      switch (events[i].type) {
        case GADGETFS_CONNECT:
          high_speed_ = events[i].u.speed == USB_SPEED_HIGH;
          break;
        case GADGETFS_SETUP:
          handle_setup(reinterpret_cast<const uint8_t*>(&events[i].u.setup));
          break;
        case GADGETFS_DISCONNECT: {
          std::lock_guard<std::mutex> lock(mutex_);
          configured_ = false;
          break;
        }
        default:
          break;
      }
    }
  }
}

void UsbGadgetLink::handle_setup(const uint8_t* setup) {
  const uint8_t type = setup[0];
  const uint8_t request = setup[1];
  const uint16_t value = static_cast<uint16_t>(setup[2] | setup[3] << 8);
  const uint16_t length = static_cast<uint16_t>(setup[6] | setup[7] << 8);
  uint8_t none = 0;
  if (type == USB_DIR_IN && request == USB_REQ_GET_DESCRIPTOR && (value >> 8) == USB_DT_STRING) {
    Bytes d = usb_string_descriptor(static_cast<uint8_t>(value & 0xFF), product_);
    if (!d.empty()) {
      d.resize(std::min<size_t>(d.size(), length));
      (void)!write(ep0_, d.data(), d.size());
      return;
    }
  } else if (type == USB_RECIP_DEVICE && request == USB_REQ_SET_CONFIGURATION) {
    const bool ok = value == 0 || start_endpoints();
    (void)!read(ep0_, &none, 0);  // the status stage
    std::lock_guard<std::mutex> lock(mutex_);
    if (value != 0) {
      configured_ = ok;
      if (!ok && failure_.empty()) failure_ = "cannot set up the endpoints: " + errno_text();
    }
    changed_.notify_all();
    return;
  } else if (type == USB_RECIP_INTERFACE && request == USB_REQ_SET_INTERFACE) {
    (void)!read(ep0_, &none, 0);
    return;
  } else if (type == (USB_DIR_IN | USB_RECIP_INTERFACE) && request == USB_REQ_GET_INTERFACE) {
    (void)!write(ep0_, &none, 1);
    return;
  }
  // Anything else stalls: a transfer the wrong way round.
  if (type & USB_DIR_IN) {
    (void)!read(ep0_, &none, 0);
  } else {
    (void)!write(ep0_, &none, 0);
  }
}

bool UsbGadgetLink::start_endpoints() {
  if (running_ > 0) return true;  // configured again: the endpoints stand
  for (std::thread* t : {&reader_, &writer_}) {
    if (t->joinable()) t->join();  // ended with the last connection
  }
  const auto configure = [this](const char* name, uint8_t address, int& fd) {
    if (fd < 0) fd = open((dir_ + "/" + name).c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    Bytes d;
    put32(d, 1);
    for (const bool high : {false, true}) {
      const Bytes e = usb_endpoint_descriptor(address, high);
      d.insert(d.end(), e.begin(), e.end());
    }
    return write_all(fd, d);
  };
  if (!configure(kInEndpointFile, kEndpointIn, ep_in_) ||
      !configure(kOutEndpointFile, kEndpointOut, ep_out_)) {
    return false;
  }
  running_ = 2;
  reader_ = std::thread([this] { read_loop(); });
  writer_ = std::thread([this] { write_loop(); });
  return true;
}

void UsbGadgetLink::read_loop() {
  const size_t packet = high_speed_ ? 512 : 64;
  std::vector<uint8_t> buffer(packet);
  Bytes midi;
  // Bytes the device may still read now; negative after a packet larger
  // than the rate allowed, which the next read then waits out. It never
  // saves up: a device reads steadily.
  double credit = 0;
  Clock::time_point last = Clock::now();
  uint64_t taken = 0;
  while (!stop_) {
    // Hung: the host's controller is told to wait, for ever.
    if (stop_reading_after_ && taken >= *stop_reading_after_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      continue;
    }
    if (rate_ > 0) {
      const Clock::time_point now = Clock::now();
      credit = std::min(0.0, credit + std::chrono::duration<double>(now - last).count() * rate_);
      last = now;
      if (credit < 0) {
        const auto wait = std::chrono::duration<double>(-credit / rate_);
        std::this_thread::sleep_for(std::min<std::chrono::duration<double>>(wait, std::chrono::milliseconds(50)));
        continue;
      }
    }
    const ssize_t n = read(ep_out_, buffer.data(), buffer.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      break;  // unbound or disconnected
    }
    midi.clear();
    decode_usb_midi(buffer.data(), static_cast<size_t>(n), midi);
    taken += midi.size();
    if (rate_ > 0) {
      last = Clock::now();
      credit -= static_cast<double>(midi.size());
    }
    std::vector<device_side::Message> done;
    assembler_.feed(midi.data(), midi.size(), done);
    for (const device_side::Message& m : done) inbox_.put(m.data(), m.size());
  }
  --running_;
}

void UsbGadgetLink::write_loop() {
  while (!stop_) {
    Bytes packets;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait_for(lock, std::chrono::milliseconds(kControlPollMs),
                        [this] { return stop_ || !outbox_.empty(); });
      if (outbox_.empty()) continue;
      packets = std::move(outbox_.front());
      outbox_.pop_front();
    }
    const Clock::time_point give_up = Clock::now() + kReplyLife;
    size_t offset = 0;
    while (offset < packets.size() && !stop_ && Clock::now() < give_up) {
      const ssize_t n = write(ep_in_, packets.data() + offset, packets.size() - offset);
      if (n > 0) {
        offset += static_cast<size_t>(n);
      } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
        --running_;
        return;
      }
    }
  }
  --running_;
}

std::vector<device_side::Message> UsbGadgetLink::receive(Clock::time_point until) {
  return inbox_.take_all(until);
}

void UsbGadgetLink::send(const device_side::Message& m) {
  Bytes packets = encode_usb_midi(m, kReplyCable);
  std::lock_guard<std::mutex> lock(mutex_);
  outbox_.push_back(std::move(packets));
  changed_.notify_all();
}

}  // namespace devsim

// What the device link tells as it goes, as the console shows it: debug
// mode dumps every request and every reply taken, verbose mode narrates the
// handshake, and a terminal shows a long message's progress.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "cli/send_progress.hpp"
#include "device/narrator.hpp"

namespace quave {

class ConsoleNarrator : public Narrator {
 public:
  // `on_stderr`: what verbose and debug mode tell goes to standard error,
  // where standard output is kept for a document.
  ConsoleNarrator(bool verbose, bool debug, bool on_stderr = false);
  void sent(const Message& message) override;
  void taken(const Message& message) override;
  void unrecognised_status(uint8_t status) override;
  void step(const HandshakeStep& step, const DeviceInfo& info) override;
  void sending(size_t sent, size_t total) override;

 private:
  void tell(const std::string& text) const;

  const bool verbose_;
  const bool debug_;
  const bool on_stderr_;
  std::unique_ptr<SendProgress> progress_;
};

}  // namespace quave

#include "cli/console_narrator.hpp"

#include "base/console.hpp"
#include "base/terminal.hpp"
#include "display/device_display.hpp"
#include "display/identity_lines.hpp"
#include "display/link_texts.hpp"

namespace quave {

ConsoleNarrator::ConsoleNarrator(bool verbose, bool debug, bool on_stderr)
    : verbose_(verbose), debug_(debug), on_stderr_(on_stderr) {}

namespace {

// A dump's line, in one piece; an empty message has no line end.
std::string dump_line(const char* prefix, const Message& message) {
  std::string line = dump_text(prefix, message.data(), message.size());
  if (!message.empty()) line += '\n';
  return line;
}

}  // namespace

void ConsoleNarrator::tell(const std::string& text) const {
  if (on_stderr_) {
    err_text(text);
  } else {
    out_text(text);
  }
}

void ConsoleNarrator::sent(const Message& message) {
  if (debug_) tell(dump_line(">>> ", message));
}

void ConsoleNarrator::taken(const Message& message) {
  if (debug_) tell(dump_line("<<< ", message));
}

void ConsoleNarrator::unrecognised_status(uint8_t status) {
  err_line(unrecognised_status_line(status));
}

void ConsoleNarrator::step(const HandshakeStep& step, const DeviceInfo& info) {
  if (!verbose_) return;
  const unsigned m = step.module;
  switch (step.kind) {
    case HandshakeStep::identified:
      tell(device_line(info.platform) + "\n");
      tell(system_version_line(info) + "\n");
      break;
    case HandshakeStep::api_version: tell(api_version_line(info) + "\n"); break;
    case HandshakeStep::modules_asked: tell("> Available modules:\n\n"); break;
    case HandshakeStep::module_answered:
      tell(module_line(m, step.empty ? nullptr : &info.modules[m]) + "\n");
      break;
    case HandshakeStep::slots_asked: tell("> Status:\n"); break;
    case HandshakeStep::slot_answered:
      tell(slot_line(m, step.slot, step.empty ? nullptr : &info.slots[m][step.slot]) + "\n");
      break;
    // An empty line after the modules, before each module's slots, after
    // the slots.
    case HandshakeStep::modules_answered:
    case HandshakeStep::module_slots:
    case HandshakeStep::slots_answered:
      tell("\n");
      break;
  }
}

void ConsoleNarrator::sending(size_t sent, size_t total) {
  if (!progress_) progress_ = std::make_unique<SendProgress>(total, stderr_is_terminal());
  progress_->update(sent);
  if (sent >= total) progress_.reset();
}

}  // namespace quave

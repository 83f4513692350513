#include "cli/console_narrator.hpp"

#include "base/console.hpp"
#include "base/terminal.hpp"
#include "display/device_display.hpp"
#include "display/identity_lines.hpp"
#include "display/link_texts.hpp"

namespace quave {

ConsoleNarrator::ConsoleNarrator(bool verbose, bool debug) : verbose_(verbose), debug_(debug) {}

namespace {

// A dump's line, in one piece; an empty message has no line end.
void dump(const char* prefix, const Message& message) {
  std::string line = dump_text(prefix, message.data(), message.size());
  if (!message.empty()) line += '\n';
  out_text(line);
}

}  // namespace

void ConsoleNarrator::sent(const Message& message) {
  if (debug_) dump(">>> ", message);
}

void ConsoleNarrator::taken(const Message& message) {
  if (debug_) dump("<<< ", message);
}

void ConsoleNarrator::unrecognised_status(uint8_t status) {
  err_line(unrecognised_status_line(status));
}

void ConsoleNarrator::step(const HandshakeStep& step, const DeviceInfo& info) {
  if (!verbose_) return;
  const unsigned m = step.module;
  switch (step.kind) {
    case HandshakeStep::identified:
      out_line(device_line(info.platform));
      out_line(system_version_line(info));
      break;
    case HandshakeStep::api_version: out_line(api_version_line(info)); break;
    case HandshakeStep::modules_asked: out_text("> Available modules:\n\n"); break;
    case HandshakeStep::module_answered:
      out_line(module_line(m, step.empty ? nullptr : &info.modules[m]));
      break;
    case HandshakeStep::slots_asked: out_line("> Status:"); break;
    case HandshakeStep::slot_answered:
      out_line(slot_line(m, step.slot, step.empty ? nullptr : &info.slots[m][step.slot]));
      break;
    // An empty line after the modules, before each module's slots, after
    // the slots.
    case HandshakeStep::modules_answered:
    case HandshakeStep::module_slots:
    case HandshakeStep::slots_answered:
      out_line("");
      break;
  }
}

void ConsoleNarrator::sending(size_t sent, size_t total) {
  if (!progress_) progress_ = std::make_unique<SendProgress>(total, stderr_is_terminal());
  progress_->update(sent);
  if (sent >= total) progress_.reset();
}

}  // namespace quave

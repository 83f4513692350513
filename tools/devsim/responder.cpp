#include "tools/devsim/responder.hpp"

#include <algorithm>

namespace devsim {

namespace {

constexpr uint8_t kOtherManufacturer = 0x7D;  // reserved for non-commercial use

bool is_data_reply(const Message& m, uint8_t function) {
  return m.size() > 8 && m[2] != 0x50 && m[6] == function;
}

void shape_one(const KindFaults& f, Message& m) {
  if (f.wrong_module && (is_data_reply(m, quave::kFnModuleInfoReply) ||
                         is_data_reply(m, quave::kFnSlotStatusReply))) {
    m[7] = static_cast<uint8_t>((m[7] + 1) % kModules);
  }
  if (f.wrong_slot && is_data_reply(m, quave::kFnSlotStatusReply)) {
    m[8] = static_cast<uint8_t>((m[8] + 1) & 0x7F);
  }
  if (f.truncate > 0 && m.size() > 2) {
    // Keeps the start byte, at least one more and the end byte.
    const size_t removable = m.size() - 3;
    const size_t n = std::min<size_t>(f.truncate, removable);
    m.erase(m.end() - 1 - static_cast<std::ptrdiff_t>(n), m.end() - 1);
  }
  if (f.overlong > 0) m.insert(m.end() - 1, f.overlong, 0x00);
  if (f.realtime && m.size() >= 2) {
    // A clock right after the start byte, active sensing before the end,
    // and one more clock halfway.
    m.insert(m.begin() + 1, 0xF8);
    m.insert(m.begin() + static_cast<std::ptrdiff_t>(m.size() / 2), 0xF8);
    m.insert(m.end() - 1, 0xFE);
  }
}

}  // namespace

std::vector<Message> noise_before(const Message& reply) {
  Message foreign = reply;
  if (foreign.size() > 1) foreign[1] = kOtherManufacturer;
  return {
      {0xF0, kOtherManufacturer, 0x01, 0x02, 0x03, 0xF7},
      {0x90, 0x3C, 0x40},
      {0x80, 0x3C, 0x00},
      foreign,
  };
}

std::vector<Outgoing> shape_replies(const KindFaults& f, std::vector<Message> replies) {
  for (Message& m : replies) shape_one(f, m);
  std::vector<Message> sent;
  const int rounds = f.twice ? 2 : 1;
  for (int round = 0; round < rounds; ++round) {
    for (const Message& m : replies) {
      if (f.noise) {
        for (Message& n : noise_before(m)) sent.push_back(std::move(n));
      }
      sent.push_back(m);
    }
  }
  std::vector<Outgoing> out;
  for (Message& m : sent) out.push_back({f.delay_ms, std::move(m)});
  return out;
}

std::vector<Outgoing> respond(SimDevice& device, const SimConfig& config, const Message& request) {
  const std::optional<Kind> kind = classify_request(config, request);
  if (!kind) return {};
  const KindFaults& f = config.faults_for(*kind);
  if (f.silent) return {};
  std::vector<Message> replies =
      f.status ? std::vector<Message>{status_reply(config, *f.status)} : device.handle(*kind, request);
  return shape_replies(f, std::move(replies));
}

}  // namespace devsim

#include "tools/devsim/model/responder.hpp"

#include <algorithm>

namespace devsim {

namespace {

constexpr uint8_t kOtherManufacturer = 0x7D;  // reserved for non-commercial use

bool is_data_reply(const Message& m, uint8_t function) {
  return m.size() > 8 && m[2] != device_side::kSearchGroup && m[device_side::kFunctionAt] == function;
}

void shape_one(const KindFaults& f, Message& m) {
  if (f.wrong_module && (is_data_reply(m, device_side::kFnModuleInfoReply) ||
                         is_data_reply(m, device_side::kFnSlotStatusReply))) {
    m[7] = static_cast<uint8_t>((m[7] + 1) % kModules);
  }
  if (f.wrong_slot && is_data_reply(m, device_side::kFnSlotStatusReply)) {
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

std::vector<Message> flood_before(const Message& reply, unsigned count) {
  // Copies of the reply that differ where recognition looks: the channel
  // nibble, the model's family id, the manufacturer.
  Message other_channel = reply, other_model = reply, other_maker = reply;
  if (reply.size() > 6 && reply[2] != 0x50) {
    other_channel[2] = static_cast<uint8_t>(0x30 | ((reply[2] + 1) & 0x0F));
    other_model[5] = 0x5D;
  } else if (reply.size() > 7) {
    other_channel[3] = 0x00;  // a search request, not a reply
    other_model[7] = 0x02;    // family high byte of no known model
  }
  if (other_maker.size() > 1) other_maker[1] = kOtherManufacturer;
  Message long_sysex{0xF0, kOtherManufacturer};
  for (uint8_t i = 0; i < 60; ++i) long_sysex.push_back(i);
  long_sysex.push_back(0xF7);
  const std::vector<Message> mix = {
      {0x90, 0x3C, 0x40}, {0xF8},          {0xB0, 0x07, 0x64}, other_channel,
      {0x80, 0x3C, 0x00}, {0xE0, 0x00, 0x40}, other_model,     {0xFE},
      long_sysex,         {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7},
      other_maker,        {0xC0, 0x05},
  };
  std::vector<Message> out;
  out.reserve(count);
  for (unsigned i = 0; i < count; ++i) out.push_back(mix[i % mix.size()]);
  return out;
}

std::vector<Outgoing> shape_replies(const KindFaults& f, std::vector<Message> replies) {
  for (Message& m : replies) shape_one(f, m);
  std::vector<Outgoing> out;
  unsigned flooded = 0;  // paces the flood and holds back what follows it
  const auto send = [&](Message m) {
    out.push_back({f.delay_ms + (flooded + kFloodPerMs - 1) / kFloodPerMs, std::move(m)});
  };
  const int rounds = f.twice ? 2 : 1;
  for (int round = 0; round < rounds; ++round) {
    for (const Message& m : replies) {
      for (Message& n : flood_before(m, f.flood)) {
        send(std::move(n));
        ++flooded;
      }
      if (f.noise) {
        for (Message& n : noise_before(m)) send(std::move(n));
      }
      send(m);
    }
  }
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

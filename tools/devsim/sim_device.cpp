#include "tools/devsim/sim_device.hpp"

#include <algorithm>

#include "tools/devsim/load_check.hpp"

namespace devsim {

namespace {

// Exact length of each fixed-size request; 0 for the load, which varies.
size_t request_length(Kind k) {
  switch (k) {
    case Kind::search: return quave::kSearchDeviceRequest.size();
    case Kind::api_version: return quave::kApiVersionRequest.size();
    case Kind::module_info: return quave::kModuleInfoRequest.size();
    case Kind::slot_status: return quave::kSlotStatusRequest.size();
    case Kind::slot_clear: return quave::kSlotClearRequest.size();
    case Kind::module_clear: return quave::kModuleClearRequest.size();
    case Kind::load: return 0;
  }
  return 0;
}

bool well_formed(Kind k, const Message& m) {
  if (m.back() != quave::kSysexEnd) return false;
  if (k == Kind::load) return m.size() > quave::kUnitLoadRequestHeader.size();
  return m.size() == request_length(k);
}

}  // namespace

std::optional<Kind> classify_request(const SimConfig& config, const Message& m) {
  if (m.size() < 6 || m[0] != quave::kSysexStart || m[1] != quave::kManufacturer) {
    return std::nullopt;
  }
  if (m[2] == 0x50 && m[3] == 0x00) return Kind::search;
  if (m.size() < 7 || (m[2] & 0xF0) != 0x30) return std::nullopt;
  const uint8_t channel = m[2] & 0x0F;
  const bool addressed = channel == config.channel || (channel == 0 && !config.strict_channel);
  const auto id = model_id(config);
  if (!addressed || m[3] != id[0] || m[4] != id[1] || m[5] != id[2]) return std::nullopt;
  switch (m[6]) {
    case quave::kFnApiVersionRequest: return Kind::api_version;
    case quave::kFnModuleInfoRequest: return Kind::module_info;
    case quave::kFnSlotStatusRequest: return Kind::slot_status;
    case quave::kFnSlotClearRequest: return Kind::slot_clear;
    case quave::kFnModuleClearRequest: return Kind::module_clear;
    case quave::kFnUnitLoadRequest: return Kind::load;
    default: return std::nullopt;
  }
}

SimDevice::SimDevice(const SimConfig& config) : config_(config) {
  for (size_t m = 0; m < kModules; ++m) slots_[m].resize(config.modules[m].slot_count);
  for (const Preload& p : config.preloads) {
    if (p.module < kModules && p.slot < slots_[p.module].size()) {
      slots_[p.module][p.slot] = p.record;
    }
  }
}

std::vector<Message> SimDevice::handle(Kind kind, const Message& request) {
  if (!well_formed(kind, request)) {
    // The search header carries no address to answer a complaint to.
    if (kind == Kind::search) return {};
    return {status_reply(config_, kStatusFormat)};
  }
  switch (kind) {
    case Kind::search: return {search_reply(config_, request[4])};
    case Kind::api_version: return {api_version_reply(config_)};
    case Kind::module_info: return {module_info(request)};
    case Kind::slot_status: return {slot_status(request)};
    case Kind::slot_clear: return {slot_clear(request)};
    case Kind::module_clear: return {module_clear(request)};
    case Kind::load: return {load(request)};
  }
  return {};
}

uint8_t SimDevice::check_address(uint8_t module, uint8_t slot) const {
  if (module >= kModules || slots_[module].empty()) return kStatusInvalidModule;
  if (slot >= slots_[module].size()) return kStatusInvalidSlot;
  return kStatusAcknowledge;
}

Message SimDevice::module_info(const Message& request) const {
  const uint8_t module = request[7];
  if (module >= kModules) return status_reply(config_, kStatusInvalidModule);
  const ModuleConfig& mc = config_.modules[module];
  return module_info_reply(config_, module, mc.has_info ? module_info_record(mc) : std::vector<uint8_t>{});
}

Message SimDevice::slot_status(const Message& request) const {
  const uint8_t module = request[7];
  const uint8_t slot = request[8];
  const uint8_t status = check_address(module, slot);
  if (status != kStatusAcknowledge) return status_reply(config_, status);
  const SlotRecord& r = slots_[module][slot];
  const bool free = std::all_of(r.begin(), r.end(), [](uint8_t b) { return b == 0; });
  return slot_status_reply(config_, module, slot,
                           free ? std::vector<uint8_t>{} : std::vector<uint8_t>(r.begin(), r.end()));
}

Message SimDevice::slot_clear(const Message& request) {
  const uint8_t module = request[7];
  const uint8_t slot = request[8];
  const uint8_t status = check_address(module, slot);
  if (status == kStatusAcknowledge) slots_[module][slot] = SlotRecord{};
  return status_reply(config_, status);
}

Message SimDevice::module_clear(const Message& request) {
  const uint8_t module = request[7];
  if (module >= kModules || slots_[module].empty()) return status_reply(config_, kStatusInvalidModule);
  std::fill(slots_[module].begin(), slots_[module].end(), SlotRecord{});
  return status_reply(config_, kStatusAcknowledge);
}

Message SimDevice::load(const Message& request) {
  const uint8_t module = request[7];
  const uint8_t slot = request[8];
  const auto data = quave::unpack_7bit(request, quave::kUnitLoadRequestHeader.size());
  const uint8_t status = data ? check_load(config_, module, slot, *data) : kStatusFormat;
  if (status == kStatusAcknowledge) {
    std::copy_n(data->begin() + 8, kSlotRecordSize, slots_[module][slot].begin());
  }
  return status_reply(config_, status);
}

}  // namespace devsim

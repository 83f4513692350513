#include "tools/devsim/model/sim_device.hpp"

#include <algorithm>

#include "tools/devsim/device/load.hpp"
#include "tools/devsim/device/sysex.hpp"
#include "tools/devsim/model/load_check.hpp"

namespace devsim {

namespace {

namespace ds = device_side;

uint8_t function_of(Kind k) {
  switch (k) {
    case Kind::api_version: return ds::kFnApiVersion;
    case Kind::module_info: return ds::kFnModuleInfo;
    case Kind::slot_status: return ds::kFnSlotStatus;
    case Kind::slot_clear: return ds::kFnSlotClear;
    case Kind::module_clear: return ds::kFnModuleClear;
    case Kind::search:
    case Kind::load: break;
  }
  return ds::kFnUnitLoad;
}

bool well_formed(Kind k, const Message& m) {
  if (m.back() != ds::kEnd) return false;
  if (k == Kind::search) return m.size() == ds::kSearchLength;
  if (k == Kind::load) return m.size() > ds::kLoadDataAt;
  return m.size() == ds::request_length(function_of(k));
}

}  // namespace

std::optional<Kind> classify_request(const SimConfig& config, const Message& m) {
  if (m.size() < ds::kSearchLength || m[0] != ds::kStart || m[1] != ds::kManufacturer) {
    return std::nullopt;
  }
  if (m[2] == ds::kSearchGroup && m[3] == ds::kSearchRequest) return Kind::search;
  if (m.size() < ds::kHeaderLength || (m[ds::kChannelAt] & 0xF0) != ds::kDeviceGroup) {
    return std::nullopt;
  }
  const uint8_t channel = m[ds::kChannelAt] & 0x0F;
  const bool addressed = channel == config.channel || (channel == 0 && !config.strict_channel);
  const auto id = model_id(config);
  if (!addressed || !std::equal(id.begin(), id.end(), m.begin() + ds::kModelAt)) return std::nullopt;
  switch (m[ds::kFunctionAt]) {
    case ds::kFnApiVersion: return Kind::api_version;
    case ds::kFnModuleInfo: return Kind::module_info;
    case ds::kFnSlotStatus: return Kind::slot_status;
    case ds::kFnSlotClear: return Kind::slot_clear;
    case ds::kFnModuleClear: return Kind::module_clear;
    case ds::kFnUnitLoad: return Kind::load;
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
    case Kind::search: return {search_reply(config_, request[ds::kSearchEchoAt])};
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
  const uint8_t module = request[ds::kModuleAt];
  if (module >= kModules) return status_reply(config_, kStatusInvalidModule);
  const ModuleConfig& mc = config_.modules[module];
  return module_info_reply(config_, module, mc.has_info ? module_info_record(mc) : std::vector<uint8_t>{});
}

Message SimDevice::slot_status(const Message& request) const {
  const uint8_t module = request[ds::kModuleAt];
  const uint8_t slot = request[ds::kSlotAt];
  const uint8_t status = check_address(module, slot);
  if (status != kStatusAcknowledge) return status_reply(config_, status);
  const SlotRecord& r = slots_[module][slot];
  const bool free = std::all_of(r.begin(), r.end(), [](uint8_t b) { return b == 0; });
  return slot_status_reply(config_, module, slot,
                           free ? std::vector<uint8_t>{} : std::vector<uint8_t>(r.begin(), r.end()));
}

Message SimDevice::slot_clear(const Message& request) {
  const uint8_t module = request[ds::kModuleAt];
  const uint8_t slot = request[ds::kSlotAt];
  const uint8_t status = check_address(module, slot);
  if (status == kStatusAcknowledge) slots_[module][slot] = SlotRecord{};
  return status_reply(config_, status);
}

Message SimDevice::module_clear(const Message& request) {
  const uint8_t module = request[ds::kModuleAt];
  if (module >= kModules || slots_[module].empty()) return status_reply(config_, kStatusInvalidModule);
  std::fill(slots_[module].begin(), slots_[module].end(), SlotRecord{});
  return status_reply(config_, kStatusAcknowledge);
}

Message SimDevice::load(const Message& request) {
  const uint8_t module = request[ds::kModuleAt];
  const uint8_t slot = request[ds::kSlotAt];
  const auto data = ds::unpack7(request, ds::kLoadDataAt);
  const uint8_t status = data ? check_load(config_, module, slot, *data) : kStatusFormat;
  if (status == kStatusAcknowledge) {
    std::copy_n(data->begin() + ds::kImageAt, ds::kSlotRecordSize, slots_[module][slot].begin());
  }
  return status_reply(config_, status);
}

}  // namespace devsim

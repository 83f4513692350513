#include "tools/devsim/cli/option_values.hpp"

#include <regex>
#include <stdexcept>
#include <vector>

#include "tools/devsim/device/load.hpp"
#include "unit/identifiers.hpp"

namespace devsim {

namespace {

std::vector<std::string> split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(sep, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

}  // namespace

KindSet parse_kinds(const std::string& text) {
  KindSet set;
  for (const std::string& name : split(text, ',')) {
    if (name == "all") {
      set.set();
    } else if (name == "clear") {
      set.set(index_of(Kind::slot_clear));
      set.set(index_of(Kind::module_clear));
    } else {
      bool found = false;
      for (size_t k = 0; k < kKindCount; ++k) {
        if (name == kind_name(static_cast<Kind>(k))) {
          set.set(k);
          found = true;
        }
      }
      if (!found) throw std::invalid_argument("unknown request kind '" + name + "'");
    }
  }
  return set;
}

std::pair<KindSet, std::string> split_kinds(const std::string& text, KindSet fallback) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return {fallback, text};
  return {parse_kinds(text.substr(0, colon)), text.substr(colon + 1)};
}

uint32_t parse_number(const std::string& text, uint32_t low, uint32_t high, const char* what) {
  static const std::regex number("(0[xX][0-9a-fA-F]{1,8}|[0-9]{1,10})");
  const auto out_of_range = [&] {
    return std::invalid_argument(std::string(what) + " must be a number from " +
                                 std::to_string(low) + " to " + std::to_string(high) + " ('" +
                                 text + "')");
  };
  if (!std::regex_match(text, number)) throw out_of_range();
  const bool hex = text.size() > 1 && (text[1] == 'x' || text[1] == 'X');
  const unsigned long long v = std::stoull(hex ? text.substr(2) : text, nullptr, hex ? 16 : 10);
  if (v < low || v > high) throw out_of_range();
  return static_cast<uint32_t>(v);
}

uint8_t parse_module(const std::string& text) {
  const auto m = quave::module_from_name(text);
  if (!m) throw std::invalid_argument("unknown module '" + text + "' (global, modfx, delfx, revfx, osc)");
  return *m;
}

std::pair<uint8_t, std::string> split_module(const std::string& text) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) throw std::invalid_argument("expected MODULE:VALUE, got '" + text + "'");
  return {parse_module(text.substr(0, colon)), text.substr(colon + 1)};
}

std::pair<uint8_t, uint8_t> parse_system_version(const std::string& text) {
  std::smatch m;
  static const std::regex form("([0-9]+)[.]([0-9]+)");
  if (!std::regex_match(text, m, form)) {
    throw std::invalid_argument("system version must read MAJOR.MINOR ('" + text + "')");
  }
  return {static_cast<uint8_t>(parse_number(m[1], 0, 127, "system version major")),
          static_cast<uint8_t>(parse_number(m[2], 0, 127, "system version minor"))};
}

std::array<uint8_t, 3> parse_api_version(const std::string& text) {
  std::smatch m;
  static const std::regex form("([0-9]+)[.]([0-9]+)-([0-9]+)");
  if (!std::regex_match(text, m, form)) {
    throw std::invalid_argument("version must read MAJOR.MINOR-PATCH ('" + text + "')");
  }
  return {static_cast<uint8_t>(parse_number(m[1], 0, 127, "version major")),
          static_cast<uint8_t>(parse_number(m[2], 0, 127, "version minor")),
          static_cast<uint8_t>(parse_number(m[3], 0, 127, "version patch"))};
}

Preload parse_preload(const std::string& text, const SimConfig& config) {
  const std::vector<std::string> f = split(text, ':');
  if (f.size() < 3 || f.size() > 6) {
    throw std::invalid_argument("preload must read MODULE:SLOT:NAME[:DEV_ID[:UNIT_ID[:VERSION]]] ('" +
                                text + "')");
  }
  Preload p;
  p.module = parse_module(f[0]);
  const uint8_t slots = config.modules[p.module].slot_count;
  if (slots == 0) throw std::invalid_argument("module " + f[0] + " has no slots to preload");
  p.slot = static_cast<uint8_t>(parse_number(f[1], 0, slots - 1u, "preload slot"));
  const std::string& name = f[2];
  if (name.empty() || name.size() > device_side::kUnitNameMax) {
    throw std::invalid_argument("preload name must have 1 to 13 characters ('" + name + "')");
  }
  const uint32_t dev_id = f.size() > 3 ? parse_number(f[3], 0, 0xFFFFFFFF, "developer id") : 0;
  const uint32_t unit_id =
      f.size() > 4 ? parse_number(f[4], 0, 0xFFFFFFFF, "unit id") : p.slot + 1u;
  std::array<uint8_t, 3> version{1, 0, 0};
  if (f.size() > 5) version = parse_api_version(f[5]);

  p.record = device_side::slot_record({p.module, config.platform,
                                       {config.api_major, config.api_minor, config.api_patch},
                                       dev_id, unit_id, version, name});
  return p;
}

}  // namespace devsim

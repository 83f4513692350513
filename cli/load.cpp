#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>

#include "cli/commands.hpp"
#include "cli/device_front.hpp"
#include "cli/skeleton.hpp"
#include "cli/package_front.hpp"
#include "base/console.hpp"
#include "device/replies.hpp"
#include "unit/identifiers.hpp"
#include "unit/manifest.hpp"

namespace quave {

namespace {

// The slot the unit goes to, or the refusal line and nothing.
std::optional<uint8_t> choose_slot(const DeviceInfo& info, unsigned module, int32_t slot_index) {
  const ModuleInfo& target = info.modules[module];
  if (slot_index < 0) {
    // Only the slots that have records can be known to be free.
    for (unsigned s = 0; s < recorded_slot_count(target); ++s) {
      if (info.slots[module][s].is_free()) {
        out_line("> No slot specified, using first available.");
        return static_cast<uint8_t>(s);
      }
    }
    err_line(
        "Error: No target slot specified and all module's slots currently in use. Use the "
        "-s/--slot option to specify which slot to overwrite.");
    return std::nullopt;
  }
  if (static_cast<unsigned>(slot_index) < target.slot_count()) {
    return static_cast<uint8_t>(slot_index);
  }
  err_line("Error: Slot index too large. Only " + std::to_string(target.slot_count()) +
           " slots available.");
  return std::nullopt;
}

// The unit's name, up to its first zero byte.
std::string unit_name(const UnitHeader& header) {
  const char* name = reinterpret_cast<const char*>(&header.bytes[kHdrName]);
  return std::string(name, strnlen(name, kNameFieldSize));
}

int load_onto_device(const Connection& connection, const PreparedUnit& unit,
                     int32_t slot_index) {
  DeviceInterface& device = *connection.device;
  const UnitHeader& header = unit.header;
  const DeviceInfo& info = device.info();
  const unsigned device_platform = info.platform;
  if (!is_known_platform(device_platform)) {
    out_line("Error: loading to an unknown device...");
    return 1;
  }
  const unsigned unit_platform = header.bytes[kHdrPlatform];
  if (!is_known_platform(unit_platform)) {
    out_line("Error: loading a unit with unknown target platform...");
    return 1;
  }
  out_line(std::string("> Target platform: \"") + platform_display_archive(unit_platform) +
           "\"");
  if (unit_platform != device_platform) {
    out_line(std::string("Warning: unit target platform does not match connected device (") +
             platform_display_archive(device_platform) + ").");
  }

  const unsigned module = header.bytes[kHdrModule] & 0x7F;
  if (module >= kModuleCount) {
    err_line("Error: Tried to load a unit for an unsupported module. (" +
             std::to_string(module) + ")");
    return 1;
  }
  out_line(std::string("> Target module: \"") + module_display_name(module) + "\"");

  const uint32_t limit = info.modules[module].max_payload_size();
  if (unit.image_size > limit) {
    err_line("Error: Unit is too large for target module. (" + std::to_string(unit.image_size) +
             " > " + std::to_string(limit) + ")");
    return 1;
  }

  const auto slot = choose_slot(info, module, slot_index);
  if (!slot) return 1;

  const bool verbose = connection.narrator->verbose();
  const std::vector<uint8_t>& image = unit.image.bytes;
  if (verbose) {
    out_text(std::string("> Loading \"") + module_display_name(module) + "\" unit \"" +
             unit_name(header) + "\" into slot #" + std::to_string(*slot) + "\n\n");
  }
  const uint32_t crc = crc32(image.data(), image.size());
  char sizes[48];
  std::snprintf(sizes, sizeof sizes, "size: %x crc32: %x", static_cast<unsigned>(image.size()),
                static_cast<unsigned>(crc));
  out_line(sizes);
  if (verbose && connection.din_pace) {
    out_line("> The room in the kernel's MIDI buffer cannot be read here: sending at 5-pin DIN "
             "speed, " + std::to_string(kDinBytesPerSecond) + " bytes a second.");
  }
  const Outcome outcome = device.load_unit(image, crc, static_cast<uint8_t>(module), *slot);
  if (outcome.ok()) {
    if (verbose) out_line("");
    return 0;
  }
  report_failure(outcome, "Error: Failed to load unit.");
  return 1;
}

}  // namespace

int load(int argc, char** argv) {
  DeviceSettings settings;
  std::optional<PreparedUnit> unit;
  const auto stopped = run_covered([&]() -> std::optional<int> {
    po::options_description table("Load Command Options");
    table.add_options()
      ("help,h", "Display usage help.")
      ("unit,u", po::value<std::string>(), "Path to unit to load. Must be path to unit package directory.")
      ("slot,s", po::value<uint16_t>(), "Target slot index for the unit. If this option is omitted the first free slot will be used.");
    add_device_options(table);
    table.add_options()("version,V", "Display version information.");
    po::variables_map vm;
    if (auto done = run_skeleton(argc, argv, table, "Usage: quave-cli load <options>", vm)) return *done;

    if (vm.count("list")) {
      settings.list_only = true;
    } else {
      if (!vm.count("unit")) {
        err_text("Error: Must specify a unit to load.\n\n");
        return 1;
      }
      if (vm.count("slot")) settings.slot_index = vm["slot"].as<uint16_t>();
      settings.options = read_option_bits(vm);
      // The package is validated before any MIDI port is touched, so its
      // errors come before a port-pair error.
      unit = read_unit(vm["unit"].as<std::string>());
      if (!unit) return 1;
      if (!read_port_pair(vm, settings)) return 1;
    }
    return std::nullopt;
  });
  if (stopped) return *stopped;

  // From "> Handshaking..." on, exceptions belong to the dispatcher.
  Connection connection = connect_device(settings, FrontStyle::load_clear);
  if (!connection.device) return connection.exit_code;
  return load_onto_device(connection, *unit, settings.slot_index);
}

}  // namespace quave

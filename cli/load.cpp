#include <cstdint>
#include <cstdio>
#include <optional>

#include "base/bytes.hpp"
#include "base/console.hpp"
#include "base/version_text.hpp"
#include "cli/commands.hpp"
#include "cli/device_connection.hpp"
#include "cli/device_options.hpp"
#include "cli/package_front.hpp"
#include "cli/skeleton.hpp"
#include "device/midi/paced_send.hpp"
#include "unit/identifiers.hpp"
#include "unit/models.hpp"
#include "unit/unit_image.hpp"

namespace quave {

namespace {

struct LoadSettings {
  DeviceOptions device;
  // Nothing: the first free slot.
  std::optional<uint16_t> slot;
  // -r: the slot that holds this unit already, if one does.
  bool replace = false;
};

// The lowest slot of the module whose record shows the unit's developer id
// and unit id, or nothing.
std::optional<unsigned> slot_holding(const DeviceInfo& info, ModuleId module,
                                     const UnitHeader& unit) {
  const uint32_t dev_id = get_le32(&unit.bytes[kHdrDevId]);
  const uint32_t unit_id = get_le32(&unit.bytes[kHdrPrgId]);
  for (unsigned s = 0; s < info.modules[module].recorded_slots(); ++s) {
    const SlotStatus& status = info.slots[module][s];
    // A free slot's zeros would match a unit whose ids are both 0.
    if (!status.is_free() && get_le32(&status.bytes[kHdrDevId]) == dev_id &&
        get_le32(&status.bytes[kHdrPrgId]) == unit_id) {
      return s;
    }
  }
  return std::nullopt;
}

// The slot the unit goes to, or the refusal line and nothing.
std::optional<uint8_t> choose_slot(const DeviceInfo& info, ModuleId module,
                                   const UnitHeader& unit, const LoadSettings& settings) {
  if (settings.slot) {
    if (settings.replace) out_line("Warning: -s/--slot names the slot, so -r/--replace is not used.");
    if (!slot_exists(info, module, *settings.slot)) return std::nullopt;
    return static_cast<uint8_t>(*settings.slot);
  }
  if (settings.replace) {
    if (const auto s = slot_holding(info, module, unit)) {
      const uint8_t* record = info.slots[module][*s].bytes.data();
      out_line("> Replacing \"" + unit_name(record) + "\" v" +
               format_packed_version(get_le32(record + kHdrVersion)) + " in slot #" +
               std::to_string(*s) + ".");
      return static_cast<uint8_t>(*s);
    }
  }
  // Only the slots that have records can be known to be free.
  for (unsigned s = 0; s < info.modules[module].recorded_slots(); ++s) {
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

int load_onto_device(const Connection& connection, const PreparedUnit& unit,
                     const LoadSettings& settings) {
  DeviceInterface& device = *connection.device;
  const DeviceInfo& info = device.info();
  const PlatformId platform = unit.header.platform();
  out_line(std::string("> Target platform: \"") + platform_display_archive(platform) + "\"");
  if (platform != info.platform) {
    out_line(std::string("Warning: unit target platform does not match connected device (") +
             platform_display_archive(info.platform) + ").");
  }

  const ModuleId module = unit.header.module();
  out_line(std::string("> Target module: \"") + module_display_name(module) + "\"");

  const size_t size = unit.image.bytes.size();
  const uint32_t limit = info.modules[module].max_payload_size();
  if (size > limit) {
    err_line("Error: Unit is too large for target module. (" + std::to_string(size) + " > " +
             std::to_string(limit) + ")");
    return 1;
  }

  const auto slot = choose_slot(info, module, unit.header, settings);
  if (!slot) return 1;

  const bool verbose = settings.device.verbose;
  if (verbose) {
    out_text(std::string("> Loading \"") + module_display_name(module) + "\" unit \"" +
             unit_name(unit.header.bytes.data()) + "\" into slot #" + std::to_string(*slot) +
             "\n\n");
  }
  char sizes[48];
  std::snprintf(sizes, sizeof sizes, "size: %x crc32: %x", static_cast<unsigned>(size),
                static_cast<unsigned>(unit.image.crc));
  out_line(sizes);
  if (verbose && connection.din_pace) {
    out_line("> The room in the kernel's MIDI buffer cannot be read here: sending at 5-pin DIN "
             "speed, " + std::to_string(kDinBytesPerSecond) + " bytes a second.");
  }
  const Outcome outcome = device.load_unit(unit, *slot);
  if (outcome.ok()) {
    if (verbose) out_line("");
    return 0;
  }
  report_failure(outcome, "Error: Failed to load unit.");
  return 1;
}

}  // namespace

int load(int argc, char** argv) {
  LoadSettings settings;
  std::optional<PreparedUnit> unit;
  const auto stopped = run_covered([&]() -> std::optional<int> {
    po::options_description table("Load Command Options");
    table.add_options()
      ("help,h", "Display usage help.")
      ("unit,u", po::value<std::string>(), "Path to unit to load. Must be path to unit package directory.")
      ("slot,s", po::value<uint16_t>(), "Target slot index for the unit. If this option is omitted the first free slot will be used.")
      ("replace,r", "Load into the slot that holds this unit (same developer and unit id), if one does.");
    add_device_options(table);
    po::variables_map vm;
    if (auto done = run_skeleton(argc, argv, table, "Usage: quave-cli load <options>", vm)) return *done;

    if (auto list = read_list_request(vm)) {
      settings.device = *list;
      return std::nullopt;
    }
    if (!vm.count("unit")) {
      err_text("Error: Must specify a unit to load.\n\n");
      return 1;
    }
    if (vm.count("slot")) settings.slot = vm["slot"].as<uint16_t>();
    settings.replace = vm.count("replace") > 0;
    // The package is validated before any MIDI port is touched, so its
    // errors come before a port-pair error.
    unit = read_unit(vm["unit"].as<std::string>());
    if (!unit) return 1;
    const auto device = read_device_options(vm);
    if (!device) return 1;
    settings.device = *device;
    return std::nullopt;
  });
  if (stopped) return *stopped;

  // From "> Handshaking..." on, exceptions belong to the dispatcher.
  // A listing has no unit.
  const std::optional<PlatformId> model =
      unit ? std::optional<PlatformId>(unit->header.platform()) : std::nullopt;
  Connection connection = connect_device(settings.device, FrontStyle::load_clear, "load", model);
  if (!connection.device) return connection.exit_code;
  return load_onto_device(connection, *unit, settings);
}

}  // namespace quave

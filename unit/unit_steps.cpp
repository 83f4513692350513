#include "unit/unit_steps.hpp"

namespace quave {

std::optional<PreparedUnit> prepare_unit_package(const std::string& path, PackageReport& report) {
  auto package = read_unit_package(path, report);
  if (!package) return std::nullopt;

  report.out("> Parsing manifest\n");
  std::string diagnostics;
  auto header = parse_manifest(package->manifest_text.data(), package->platform, diagnostics);
  if (!header) {
    if (!diagnostics.empty()) report.err(diagnostics + "\n");
    report.err("Error: Could not parse manifest data.\n");
    return std::nullopt;
  }
  if (!diagnostics.empty()) report.out("Warnings: \n" + diagnostics + "\n");

  report.out("> Parsing unit binary payload\n");
  // A text of its own, so that the manifest's warnings are not written twice.
  std::string payload_diagnostics;
  auto image = build_unit_image(package->payload.data(), *header, package->payload_size,
                                payload_diagnostics);
  if (!image) {
    report.err("Error: " + payload_diagnostics + "\n");
    return std::nullopt;
  }
  return PreparedUnit{*header, std::move(*image)};
}

}  // namespace quave

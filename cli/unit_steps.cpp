#include "cli/unit_steps.hpp"

#include <iostream>

#include "unit/unit_package.hpp"

namespace quave {

std::optional<PreparedUnit> prepare_unit_package(const std::string& path) {
  auto package = read_unit_package(path);
  if (!package) return std::nullopt;

  std::cout << "> Parsing manifest" << std::endl;
  std::string diagnostics;
  auto header = parse_manifest(package->manifest_text.data(), package->platform, diagnostics);
  if (!header) {
    if (!diagnostics.empty()) std::cerr << diagnostics << std::endl;
    std::cerr << "Error: Could not parse manifest data." << std::endl;
    return std::nullopt;
  }
  if (!diagnostics.empty()) {
    std::cout << "Warnings: " << std::endl << diagnostics << std::endl;
  }

  std::cout << "> Parsing unit binary payload" << std::endl;
  // A text of its own, so that the manifest's warnings are not written twice.
  std::string payload_diagnostics;
  PreparedUnit prepared;
  auto image = build_unit_image(package->payload.data(), *header, package->payload_size,
                                prepared.image_size, payload_diagnostics);
  if (!image) {
    std::cerr << "Error: " << payload_diagnostics << std::endl;
    return std::nullopt;
  }
  if (!payload_diagnostics.empty()) {
    std::cout << "Warnings: " << std::endl << payload_diagnostics << std::flush;
  }
  prepared.header = *header;
  prepared.image = std::move(*image);
  return prepared;
}

}  // namespace quave

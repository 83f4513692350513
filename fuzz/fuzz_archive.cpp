// The archive reader on arbitrary bytes written to a file, followed by the
// rest of the check path on whatever it returns.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "unit/manifest.hpp"
#include "unit/unit_image.hpp"
#include "unit/unit_package.hpp"

namespace {

// One file per fuzzing process, under TMPDIR: libFuzzer leaves by _Exit at
// its time limit, so scripts/fuzz gives each run a directory it removes.
const std::string& archive_path() {
  static const std::string path = [] {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/quave-fuzz-" + std::to_string(getpid()) +
           ".vstlunit";
  }();
  return path;
}

void check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = archive_path();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  quave::PackageReport report;
  auto package = quave::read_unit_package(path, report);
  if (!package) return 0;
  check(!package->manifest_text.empty() && package->manifest_text.back() == 0);
  check(package->manifest_text.size() <= quave::kMaxEntrySize + 1);
  check(package->payload.size() == package->payload_size);
  check(package->payload_size <= quave::kMaxEntrySize);

  std::string diagnostics;
  auto header = quave::parse_manifest(package->manifest_text.data(), package->platform, diagnostics);
  if (!header) return 0;
  auto image = quave::build_unit_image(package->payload.data(), *header, package->payload_size,
                                       diagnostics);
  if (image) check(image->bytes.size() == package->payload_size + quave::kImageOverhead);
  return 0;
}

// The archive reader on arbitrary bytes written to a file.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "unit/unit_package.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/quave-fuzz-archive-" + std::to_string(getpid()) + ".vstlunit";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  auto package = quave::read_unit_package(path);
  if (package) {
    if (package->manifest_text.empty() || package->manifest_text.back() != 0) std::abort();
    if (package->payload.size() != package->payload_size) std::abort();
    if (package->payload_size > quave::kMaxEntrySize) std::abort();
  }
  return 0;
}

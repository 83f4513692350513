// The manifest parser and validator on arbitrary text.
#include <cstdlib>
#include <cstring>
#include <string>

#include "unit/manifest.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);  // zero added by c_str
  for (quave::PlatformId expected = 0; expected <= 3; expected += 3) {
    std::string diagnostics;
    auto header = quave::parse_manifest(text.c_str(), expected, diagnostics);
    if (header) {
      const auto& h = header->bytes;
      if (h[quave::kHdrPlatform] < 1 || h[quave::kHdrPlatform] > 3) std::abort();
      if (h[quave::kHdrModule] > 4) std::abort();
      if (!std::memchr(&h[quave::kHdrName], 0, quave::kNameFieldSize)) std::abort();
    } else if (diagnostics.empty()) {
      std::abort();  // a refusal always says why
    }
  }
  return 0;
}

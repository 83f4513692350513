// The manifest parser and validator on arbitrary text. A header that comes
// back must be one the rest of the program can trust.
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/bytes.hpp"
#include "unit/manifest.hpp"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

// major << 16 | minor << 8 | patch, each part at most 99.
bool valid_version(uint32_t v) {
  return (v >> 24) == 0 && ((v >> 16) & 0xFF) <= 99 && ((v >> 8) & 0xFF) <= 99 && (v & 0xFF) <= 99;
}

bool printable_run(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (p[i] < 0x20 || p[i] > 0x7E) return false;
  }
  return n > 0;
}

void check_header(const quave::UnitHeader& header, quave::PlatformId expected) {
  using namespace quave;
  const uint8_t* h = header.bytes.data();
  check(h[kHdrPlatform] >= 1 && h[kHdrPlatform] <= 3);
  check(expected == 0 || h[kHdrPlatform] == expected);
  check(h[kHdrModule] <= 4);
  check(valid_version(get_le32(h + kHdrApi)) && valid_version(get_le32(h + kHdrVersion)));
  const uint8_t* name = h + kHdrName;
  const size_t name_length = strnlen(reinterpret_cast<const char*>(name), kNameFieldSize);
  check(name_length >= 1 && name_length <= kNameMaxLength && printable_run(name, name_length));

  const uint32_t num_param = get_le32(h + kHdrNumParam);
  check(num_param <= kMaxParamDescriptors);
  check(h[kHdrModule] == kModuleOsc || num_param == 0);
  for (uint32_t k = 0; k < num_param; ++k) {
    const uint8_t* d = h + kParamsOffset + kParamDescriptorSize * k;
    const int min = static_cast<int8_t>(d[0]);
    const int max = static_cast<int8_t>(d[1]);
    check(min >= -100 && min <= 100 && max >= -100 && max <= 100);
    check(d[2] == 2 || d[2] == (min < 0 ? 1 : 0));
    check(printable_run(d + 3, strnlen(reinterpret_cast<const char*>(d + 3), kNameMaxLength)));
  }
  // Nothing is ever written behind the last descriptor.
  for (size_t i = kParamsOffset + kParamDescriptorSize * num_param; i < kUnitHeaderSize; ++i)
    check(h[i] == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The reader sees the text up to its first zero byte, as in an archive.
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (quave::PlatformId expected : {0, 1, 3}) {
    std::string diagnostics;
    auto header = quave::parse_manifest(text.c_str(), expected, diagnostics);
    if (header) {
      check_header(*header, expected);
    } else {
      check(!diagnostics.empty());  // a refusal always says why
    }
  }
  return 0;
}

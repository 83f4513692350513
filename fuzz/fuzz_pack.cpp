// 7-bit unpacking of arbitrary bytes, and pack-then-unpack giving the data
// back.
#include <cstdlib>

#include "device/protocol/messages.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const size_t start = size ? data[0] % 16 : 0;
  auto unpacked = quave::unpack_7bit(data, size, start);
  if (start > size && unpacked) std::abort();
  if (unpacked && unpacked->size() > size) std::abort();

  std::vector<uint8_t> packed = quave::pack_7bit(data, size);
  if (packed.size() != size + (size + 6) / 7) std::abort();
  for (uint8_t b : packed) {
    if (b & 0x80) std::abort();
  }
  packed.push_back(quave::kSysexEnd);
  auto back = quave::unpack_7bit(packed, 0);
  if (!back || *back != std::vector<uint8_t>(data, data + size)) std::abort();
  return 0;
}

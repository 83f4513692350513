#include "tests/support/raw_zip.hpp"

#include "device/messages.hpp"

namespace quave::test {

namespace {

void le(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

constexpr uint32_t kMax32 = 0xFFFFFFFF;
constexpr uint32_t kDosTime = 0, kDosDate = 0x21;  // 1980-01-01

// Deflate's bit order: fields least significant bit first, Huffman codes
// most significant bit first.
class BitWriter {
 public:
  void bits(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bit((value >> i) & 1);
  }
  void code(uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) bit((code >> i) & 1);
  }
  // `count` zero bits, a byte at a time where possible.
  void zeros(uint64_t count) {
    while (count > 0 && used_ != 0) {
      bit(0);
      --count;
    }
    out_.append(count / 8, '\0');
    bits(0, static_cast<int>(count % 8));
  }
  std::string finish() {
    if (used_) out_.push_back(static_cast<char>(current_));
    used_ = 0;
    return out_;
  }

 private:
  void bit(uint32_t b) {
    current_ |= b << used_;
    if (++used_ == 8) {
      out_.push_back(static_cast<char>(current_));
      current_ = 0;
      used_ = 0;
    }
  }
  std::string out_;
  uint32_t current_ = 0;
  int used_ = 0;
};

}  // namespace

RawEntry stored_entry(const std::string& name, const std::string& data) {
  return {name, data, 0, crc32(reinterpret_cast<const uint8_t*>(data.data()), data.size()),
          data.size()};
}

std::string raw_zip(const std::vector<RawEntry>& entries) {
  std::string out, central;
  for (const RawEntry& e : entries) {
    const uint64_t offset = out.size();
    const bool big_size = e.declared_size >= kMax32 || e.data.size() >= kMax32;
    const bool big_offset = offset >= kMax32;
    const uint16_t needed = big_size || big_offset ? 45 : 20;

    std::string local_extra;
    if (big_size) {
      le(local_extra, 0x0001, 2);
      le(local_extra, 16, 2);
      le(local_extra, e.declared_size, 8);
      le(local_extra, e.data.size(), 8);
    }
    le(out, 0x04034b50, 4);
    le(out, needed, 2);
    le(out, 0, 2);  // flags
    le(out, e.method, 2);
    le(out, kDosTime, 2);
    le(out, kDosDate, 2);
    le(out, e.crc, 4);
    le(out, big_size ? kMax32 : e.data.size(), 4);
    le(out, big_size ? kMax32 : e.declared_size, 4);
    le(out, e.name.size(), 2);
    le(out, local_extra.size(), 2);
    out += e.name + local_extra + e.data;

    // Central zip64 fields come in a fixed order, only those that overflow.
    std::string extra;
    const bool big_declared = e.declared_size >= kMax32;
    const bool big_stored = e.data.size() >= kMax32;
    if (big_declared || big_stored || big_offset) {
      std::string fields;
      if (big_declared) le(fields, e.declared_size, 8);
      if (big_stored) le(fields, e.data.size(), 8);
      if (big_offset) le(fields, offset, 8);
      le(extra, 0x0001, 2);
      le(extra, fields.size(), 2);
      extra += fields;
    }
    le(central, 0x02014b50, 4);
    le(central, 45, 2);  // made by
    le(central, needed, 2);
    le(central, 0, 2);
    le(central, e.method, 2);
    le(central, kDosTime, 2);
    le(central, kDosDate, 2);
    le(central, e.crc, 4);
    le(central, big_stored ? kMax32 : e.data.size(), 4);
    le(central, big_declared ? kMax32 : e.declared_size, 4);
    le(central, e.name.size(), 2);
    le(central, extra.size(), 2);
    le(central, 0, 2);  // comment
    le(central, 0, 2);  // disk
    le(central, 0, 2);  // internal attributes
    le(central, 0, 4);  // external attributes
    le(central, big_offset ? kMax32 : offset, 4);
    central += e.name + extra;
  }

  const uint64_t central_offset = out.size();
  out += central;
  const uint64_t count = entries.size();
  const bool zip64 = count >= 0xFFFF || central_offset >= kMax32;
  if (zip64) {
    const uint64_t record_offset = out.size();
    le(out, 0x06064b50, 4);
    le(out, 44, 8);  // size of the rest of this record
    le(out, 45, 2);
    le(out, 45, 2);
    le(out, 0, 4);
    le(out, 0, 4);
    le(out, count, 8);
    le(out, count, 8);
    le(out, central.size(), 8);
    le(out, central_offset, 8);
    le(out, 0x07064b50, 4);  // locator
    le(out, 0, 4);
    le(out, record_offset, 8);
    le(out, 1, 4);
  }
  le(out, 0x06054b50, 4);
  le(out, 0, 2);
  le(out, 0, 2);
  le(out, zip64 ? 0xFFFF : count, 2);
  le(out, zip64 ? 0xFFFF : count, 2);
  le(out, zip64 ? kMax32 : central.size(), 4);
  le(out, zip64 ? kMax32 : central_offset, 4);
  le(out, 0, 2);  // comment
  return out;
}

std::string zero_bomb(uint64_t matches) {
  // One dynamic block with three literal/length symbols (0: literal zero, 2
  // bits; 256: end of block, 2 bits; 285: length 258, 1 bit) and one distance
  // symbol (0: distance 1, 1 bit).
  BitWriter w;
  w.bits(1, 1);   // final block
  w.bits(2, 2);   // dynamic Huffman codes
  w.bits(29, 5);  // 286 literal/length code lengths
  w.bits(0, 5);   // 1 distance code length
  w.bits(14, 4);  // 18 code length code lengths
  // In their fixed order 16 17 18 0 8 7 9 6 10 5 11 4 12 3 13 2 14 1:
  // symbol 18 gets 1 bit, symbols 1 and 2 get 2 bits.
  for (uint32_t length : {0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2}) w.bits(length, 3);
  // Canonical codes: 18 -> 0, 1 -> 10, 2 -> 11.
  const auto length_1 = [&] { w.code(0b10, 2); };
  const auto length_2 = [&] { w.code(0b11, 2); };
  const auto zero_run = [&](uint32_t n) {  // 11 to 138 zero lengths
    w.code(0b0, 1);
    w.bits(n - 11, 7);
  };
  length_2();  // literal 0
  zero_run(138);
  zero_run(117);  // literals 1 to 255
  length_2();     // end of block
  zero_run(28);   // lengths 257 to 284
  length_1();     // length 285
  length_1();     // distance 0
  // Canonical codes: 285 -> 0, literal 0 -> 10, 256 -> 11; distance 0 -> 0.
  w.code(0b10, 2);
  w.zeros(2 * matches);
  w.code(0b11, 2);
  return w.finish();
}

}  // namespace quave::test

#include "tests/support/raw_zip.hpp"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "unit/unit_image.hpp"

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

uint32_t crc_of(const std::string& data) {
  return crc32(reinterpret_cast<const uint8_t*>(data.data()), data.size());
}

// One block with the fixed Huffman codes and greedy back-references: real
// compressed data without a compression library to link.
std::string fixed_deflate(const std::string& data) {
  static constexpr uint16_t kLengthBase[] = {3,  4,  5,  6,  7,  8,  9,  10,  11,  13,
                                             15, 17, 19, 23, 27, 31, 35, 43,  51,  59,
                                             67, 83, 99, 115, 131, 163, 195, 227, 258};
  static constexpr uint16_t kDistanceBase[] = {
      1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
      193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
  constexpr size_t kWindow = 32768, kMaxMatch = 258, kNone = SIZE_MAX;
  // Index of the last base not above `value`.
  const auto bucket = [](const auto& bases, size_t value) {
    return static_cast<uint32_t>(std::upper_bound(std::begin(bases), std::end(bases), value) -
                                 std::begin(bases) - 1);
  };
  BitWriter w;
  const auto symbol = [&](uint32_t s) {
    if (s < 144) w.code(0x30 + s, 8);
    else if (s < 256) w.code(0x190 + s - 144, 9);
    else if (s < 280) w.code(s - 256, 7);
    else w.code(0xC0 + s - 280, 8);
  };
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(data[i]); };
  // Where each three-byte prefix, by hash, was last seen; matches are
  // compared in full, so collisions only cost compression.
  std::vector<size_t> last(1 << 16, kNone);
  const auto seen = [&](size_t i) -> size_t& {
    return last[((byte(i) << 8) ^ (byte(i + 1) << 4) ^ byte(i + 2)) & 0xFFFF];
  };

  w.bits(1, 1);  // final block
  w.bits(1, 2);  // fixed Huffman codes
  const size_t n = data.size();
  for (size_t i = 0; i < n;) {
    size_t length = 0, distance = 0;
    if (i + 3 <= n) {
      size_t& from = seen(i);
      if (from != kNone && i - from <= kWindow) {
        while (length < kMaxMatch && i + length < n && data[from + length] == data[i + length])
          ++length;
        distance = i - from;
      }
      from = i;
    }
    if (length < 3) {
      symbol(byte(i++));
      continue;
    }
    const uint32_t l = bucket(kLengthBase, length);
    symbol(257 + l);
    w.bits(length - kLengthBase[l], l < 8 || l == 28 ? 0 : l / 4 - 1);
    const uint32_t d = bucket(kDistanceBase, distance);
    w.code(d, 5);
    w.bits(distance - kDistanceBase[d], d < 4 ? 0 : d / 2 - 1);
    for (size_t k = 1; k < length && i + k + 3 <= n; ++k) seen(i + k) = i + k;
    i += length;
  }
  symbol(256);  // end of block
  return w.finish();
}

}  // namespace

RawEntry stored_entry(const std::string& name, const std::string& data) {
  return {name, data, 0, crc_of(data), data.size()};
}

RawEntry deflated_entry(const std::string& name, const std::string& data) {
  return {name, fixed_deflate(data), 8, crc_of(data), data.size()};
}

std::string raw_zip(const std::vector<RawEntry>& entries) {
  std::string out, central;
  uint64_t count = 0;
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
    std::string record;
    le(record, 0x02014b50, 4);
    le(record, 45, 2);  // made by
    le(record, needed, 2);
    le(record, 0, 2);
    le(record, e.method, 2);
    le(record, kDosTime, 2);
    le(record, kDosDate, 2);
    le(record, e.crc, 4);
    le(record, big_stored ? kMax32 : e.data.size(), 4);
    le(record, big_declared ? kMax32 : e.declared_size, 4);
    le(record, e.name.size(), 2);
    le(record, extra.size(), 2);
    le(record, 0, 2);  // comment
    le(record, 0, 2);  // disk
    le(record, 0, 2);  // internal attributes
    le(record, 0, 4);  // external attributes
    le(record, big_offset ? kMax32 : offset, 4);
    record += e.name + extra;
    for (uint32_t i = 0; i < e.central_records; ++i) central += record;
    count += e.central_records;
  }

  const uint64_t central_offset = out.size();
  out += central;
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

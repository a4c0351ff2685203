#include "formats/jpeg/jpeg_huffman.h"

#include <algorithm>
#include <cstring>

namespace zudizar::jpeg {

void HuffmanTable::Build(std::uint8_t byte, const std::uint8_t codeCounts[16],
                         const std::uint8_t* values, int count) {
  tableByte = byte;
  std::copy(codeCounts, codeCounts + 16, counts.begin());
  symbolCount = count;
  symbols.fill(0);
  std::copy(values, values + std::min(count, kMaxSymbols), symbols.begin());

  // Annex C: codes in canonical order, one length after the other; then
  // F.2.2.3: per length the largest and smallest code and the first symbol.
  std::int32_t code = 0;
  std::int32_t index = 0;
  maxCode[0] = minCode[0] = valuePointer[0] = -1;
  for (int length = 1; length <= 16; ++length) {
    const int n = counts[length - 1];
    if (n == 0) {
      maxCode[length] = -1;
      minCode[length] = 0;
      valuePointer[length] = 0;
    } else {
      valuePointer[length] = index;
      minCode[length] = code;
      code += n;
      index += n;
      maxCode[length] = code - 1;
    }
    code <<= 1;
  }

  // Look-up entries: DECODE on each prefix, stopping at kLookBits.
  for (std::uint32_t prefix = 0; prefix < (1u << kLookBits); ++prefix) {
    look[prefix] = {};
    fast[prefix] = {};
    for (int length = 1; length <= kLookBits; ++length) {
      const std::int32_t c = static_cast<std::int32_t>(prefix >> (kLookBits - length));
      if (c > maxCode[length]) continue;
      const int symbol = SymbolAt(valuePointer[length] + c - minCode[length]);
      look[prefix] = {static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(symbol)};
      const int size = symbol & 15;
      if (size != 0 && length + size <= kLookBits) {
        const int bits = static_cast<int>(prefix >> (kLookBits - length - size)) & ((1 << size) - 1);
        fast[prefix] = {static_cast<std::int16_t>(Extend(bits, size)),
                        static_cast<std::uint8_t>(symbol >> 4),
                        static_cast<std::uint8_t>(length + size)};
      }
      break;
    }
  }
}

void BitReader::Start(std::size_t position) {
  pos_ = std::min(position, size_);
  acc_ = 0;
  bits_ = 0;
  loaded_ = 0;
  firstVirtual_ = UINT64_MAX;
  pairs_.clear();
}

std::size_t BitReader::Cursor() const {
  // A partly used byte counts as taken; whole unused bytes are given back.
  const std::uint64_t firstUntaken = loaded_ - static_cast<std::uint64_t>(bits_ / 8);
  std::uint64_t giveBack = 0;
  if (firstVirtual_ > firstUntaken) giveBack = std::min(loaded_, firstVirtual_) - firstUntaken;
  for (const Pair& pair : pairs_)
    if (pair.serial >= firstUntaken && pair.twoBytes) ++giveBack;
  return pos_ - static_cast<std::size_t>(giveBack);
}

void BitReader::ReportTakenMarkers(const TraceSink& trace) {
  if (pairs_.empty()) return;
  const std::uint64_t firstUntaken = loaded_ - static_cast<std::uint64_t>(bits_ / 8);
  std::size_t kept = 0;
  for (const Pair& pair : pairs_) {
    if (pair.serial < firstUntaken) {
      if (pair.second != 0) Report(trace, Trace::kMarkerInData, std::to_string(pair.second));
    } else {
      pairs_[kept++] = pair;
    }
  }
  pairs_.resize(kept);
}

bool BitReader::FillFast() {
  std::uint64_t word;
  std::memcpy(&word, data_ + pos_, 8);
  word = __builtin_bswap64(word);
  const int count = (64 - bits_) >> 3;  // whole bytes that fit, 4..8
  // Any 0xFF among the first `count` bytes sends us the slow way (the test
  // may also fire on a byte 0xFE just before a 0xFF, which is harmless).
  const std::uint64_t inverted = ~word;
  const std::uint64_t zeroBytes =
      (inverted - 0x0101010101010101ull) & ~inverted & 0x8080808080808080ull;
  const std::uint64_t used = count == 8 ? ~0ull : ~(~0ull >> (8 * count));
  if (zeroBytes & used) return false;
  acc_ |= (word & used) >> bits_;
  bits_ += 8 * count;
  pos_ += static_cast<std::size_t>(count);
  loaded_ += static_cast<std::uint64_t>(count);
  return true;
}

void BitReader::LoadByteSlow() {
  std::uint8_t byte = 0;
  if (pos_ < size_) {
    byte = data_[pos_++];
  } else if (firstVirtual_ == UINT64_MAX) {
    firstVirtual_ = loaded_;
  }
  if (byte == 0xFF) {
    const bool inside = pos_ < size_;
    const std::uint8_t second = inside ? data_[pos_++] : 0;
    pairs_.push_back({loaded_, second, inside});
  }
  acc_ |= static_cast<std::uint64_t>(byte) << (56 - bits_);
  bits_ += 8;
  ++loaded_;
}

void BitReader::FillSlow() {
  while (bits_ <= 56) LoadByteSlow();
}

int BitReader::DecodeLong(const HuffmanTable& table) {
  std::int32_t code = static_cast<std::int32_t>(Peek(kLookBits));
  for (int length = kLookBits + 1; length <= 16; ++length) {
    code = (code << 1) | static_cast<std::int32_t>((acc_ >> (64 - length)) & 1);
    if (code <= table.maxCode[length]) {
      Skip(length);
      return table.SymbolAt(table.valuePointer[length] + code - table.minCode[length]);
    }
  }
  // No code of 16 bits or less: the 16 bits are used up and decode as 0.
  Skip(16);
  return 0;
}

}  // namespace zudizar::jpeg

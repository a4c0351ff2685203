#include "formats/jpeg/jpeg_huffman.h"

#include <algorithm>
#include <string>

namespace zudizar::jpeg {

void HuffmanTable::Build(std::uint8_t byte, const std::uint8_t codeCounts[16], const std::uint8_t* values, int count) {
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
        fast[prefix] = {static_cast<std::int16_t>(Extend(bits, size)), static_cast<std::uint8_t>(symbol >> 4),
                        static_cast<std::uint8_t>(length + size)};
      }
      break;
    }
  }

  // Skip entries: whole symbols one after the other within the prefix.
  for (std::uint32_t prefix = 0; prefix < (1u << kLookBits); ++prefix) {
    int used = 0, advance = 0;
    bool end = false;
    while (!end) {
      int length = 0, symbol = 0;
      for (int l = 1; l <= kLookBits - used; ++l) {
        const auto c = static_cast<std::int32_t>((prefix >> (kLookBits - used - l)) & ((1u << l) - 1));
        if (c <= maxCode[l]) {
          length = l;
          symbol = SymbolAt(valuePointer[l] + c - minCode[l]);
          break;
        }
      }
      const int size = symbol & 15;
      if (length == 0 || used + length + size > kLookBits) break;
      used += length + size;
      if (size != 0)
        advance += (symbol >> 4) + 1;
      else if (symbol == 0xF0)
        advance += 16;
      else
        end = true;
    }
    skip[prefix] = {static_cast<std::uint8_t>(used), static_cast<std::uint8_t>(std::min(advance, 255)), end};
  }
}

int HuffmanTable::DecodeLong(std::uint32_t top16) const {
  for (int length = kLookBits + 1; length <= 16; ++length) {
    const auto code = static_cast<std::int32_t>(top16 >> (16 - length));
    if (code <= maxCode[length]) return (length << 8) | SymbolAt(valuePointer[length] + code - minCode[length]);
  }
  return 16 << 8;
}

void BitReader::Start(std::size_t position) {
  state_ = {};
  state_.pos = std::min(position, size_);
  firstVirtual_ = UINT64_MAX;
  pairs_.clear();
}

std::size_t BitReader::Cursor() const {
  // A partly used byte counts as taken; whole unused bytes are given back.
  const std::uint64_t firstUntaken = state_.loaded - static_cast<std::uint64_t>(state_.bits / 8);
  std::uint64_t giveBack = 0;
  if (firstVirtual_ > firstUntaken) giveBack = std::min(state_.loaded, firstVirtual_) - firstUntaken;
  for (const Pair& pair : pairs_)
    if (pair.serial >= firstUntaken && pair.twoBytes) ++giveBack;
  return state_.pos - static_cast<std::size_t>(giveBack);
}

void BitReader::ReportTaken(const TraceSink& trace) {
  const std::uint64_t firstUntaken = state_.loaded - static_cast<std::uint64_t>(state_.bits / 8);
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

BitReader::State BitReader::FillSlow(State s) {
  s.acc &= s.bits == 0 ? 0 : ~0ull << (64 - s.bits);  // drop what a top-up read ahead
  while (s.bits <= 56) {
    std::uint8_t byte = 0;
    if (s.pos < size_) {
      byte = data_[s.pos++];
    } else if (firstVirtual_ == UINT64_MAX) {
      firstVirtual_ = s.loaded;
    }
    if (byte == 0xFF) {
      const bool inside = s.pos < size_;
      const std::uint8_t second = inside ? data_[s.pos++] : 0;
      pairs_.push_back({s.loaded, second, inside});
    }
    s.acc |= static_cast<std::uint64_t>(byte) << (56 - s.bits);
    s.bits += 8;
    ++s.loaded;
  }
  return s;
}

}  // namespace zudizar::jpeg

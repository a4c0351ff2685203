// A bounded reader over a byte span: reads past the end give 0 and set a
// sticky `truncated` flag, so header parsing never leaves the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zudizar {

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes, std::size_t position = 0)
      : bytes_(bytes), position_(position) {}

  std::size_t Position() const { return position_; }
  std::size_t Size() const { return bytes_.size(); }
  std::size_t Remaining() const { return position_ < bytes_.size() ? bytes_.size() - position_ : 0; }
  bool Truncated() const { return truncated_; }
  void Seek(std::size_t position) { position_ = position; }
  void Skip(std::size_t count) {
    position_ = count > Remaining() ? bytes_.size() + 1 : position_ + count;
    if (position_ > bytes_.size()) {
      position_ = bytes_.size();
      truncated_ = true;
    }
  }

  std::uint8_t u8() {
    if (position_ >= bytes_.size()) {
      truncated_ = true;
      return 0;
    }
    return bytes_[position_++];
  }
  std::uint16_t u16le() {
    const std::uint16_t lo = u8();
    return static_cast<std::uint16_t>(lo | (u8() << 8));
  }
  std::uint32_t u32le() {
    const std::uint32_t lo = u16le();
    return lo | (static_cast<std::uint32_t>(u16le()) << 16);
  }
  std::int32_t i32le() { return static_cast<std::int32_t>(u32le()); }
  std::uint16_t u16be() {
    const std::uint16_t hi = u8();
    return static_cast<std::uint16_t>((hi << 8) | u8());
  }
  std::uint32_t u32be() {
    const std::uint32_t hi = u16be();
    return (hi << 16) | u16be();
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
  bool truncated_ = false;
};

// Little-endian stores for the writers.
inline void PutLe16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutLe32(std::uint8_t* p, std::uint32_t v) {
  PutLe16(p, v & 0xFFFF);
  PutLe16(p + 2, v >> 16);
}
inline void PutU16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) { PutLe16(out.data() + at, v); }
inline void PutU32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) { PutLe32(out.data() + at, v); }

}  // namespace zudizar

#include "base/shift_jis.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <memory>

namespace zudizar {
namespace {

constexpr const char* kShiftJis = "CP932";

struct Converter {
  Converter(const char* to, const char* from) : handle(iconv_open(to, from)) {}
  ~Converter() {
    if (Ok()) iconv_close(handle);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool Ok() const { return handle != reinterpret_cast<iconv_t>(-1); }
  iconv_t handle;
};

std::string Escape(unsigned char byte) {
  char text[5];
  std::snprintf(text, sizeof text, "\\x%02X", byte);
  return text;
}

// Converts one piece; returns how many input bytes were taken, stopping at
// the first one that cannot be converted.
std::size_t Convert(Converter& converter, std::string_view in, std::string& out) {
  char* source = const_cast<char*>(in.data());
  std::size_t left = in.size();
  char buffer[256];
  while (left > 0) {
    char* target = buffer;
    std::size_t room = sizeof buffer;
    const std::size_t result = iconv(converter.handle, &source, &left, &target, &room);
    out.append(buffer, static_cast<std::size_t>(target - buffer));
    if (result == static_cast<std::size_t>(-1) && errno != E2BIG) break;
  }
  return in.size() - left;
}

// The length of the UTF-8 character starting `text` (1 for a broken one).
std::size_t Utf8Length(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t n = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 1;
  if (n > text.size()) return 1;
  for (std::size_t i = 1; i < n; ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 1;
  return n;
}

}  // namespace

std::string ShiftJisToUtf8(std::string_view bytes) {
  std::string out;
  Converter converter("UTF-8", kShiftJis);
  if (!converter.Ok()) {
    for (const char c : bytes) out += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c) : Escape(c);
    return out;
  }
  while (!bytes.empty()) {
    const std::size_t taken = Convert(converter, bytes, out);
    bytes.remove_prefix(taken);
    if (bytes.empty()) break;
    // One undecodable byte is shown and skipped; decoding starts again after it.
    out += Escape(static_cast<unsigned char>(bytes[0]));
    bytes.remove_prefix(1);
    iconv(converter.handle, nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

bool Utf8ToShiftJis(std::string_view text, std::string& bytes, std::string& refused) {
  Converter converter(kShiftJis, "UTF-8");
  if (!converter.Ok()) {
    if (text.empty()) {
      bytes.clear();
      return true;
    }
    refused = std::string(text.substr(0, Utf8Length(text)));
    return false;
  }
  std::string out;
  const std::size_t taken = Convert(converter, text, out);
  if (taken < text.size()) {
    const std::string_view rest = text.substr(taken);
    const std::size_t length = Utf8Length(rest);
    const auto lead = static_cast<unsigned char>(rest[0]);
    refused = (lead >= 0x80 && length == 1) ? Escape(lead) : std::string(rest.substr(0, length));
    return false;
  }
  bytes = std::move(out);
  return true;
}

}  // namespace zudizar

// IDXPALET.TXT: any text either leaves the arrangement alone or gives one
// that writes and reads back unchanged.
#include <cstdint>
#include <string>
#include <string_view>

#include "palette/palette_load.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zudizar;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  SwatchArrangement arrangement = IdentityArrangement();
  if (!ParseSwatchArrangement(text, arrangement)) {
    if (arrangement != IdentityArrangement()) __builtin_trap();
    return 0;
  }
  SwatchArrangement again{};
  const std::string written = FormatSwatchArrangement(arrangement);
  if (!ParseSwatchArrangement(written, again) || again != arrangement) __builtin_trap();
  return 0;
}

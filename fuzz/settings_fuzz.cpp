// Settings-file parser: reading and rewriting arbitrary profile text.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string value = zudizar::ProfileGetString(text, "zudizar", "CutLeft");
  if (value.size() > 4 * zudizar::kSettingValueLimit) __builtin_trap();
  const std::string updated = zudizar::ProfileSetString(text, "zudizar", "CutLeft", "123");
  // A written key always reads back.
  if (zudizar::ProfileGetString(updated, "ZUDIZAR", "cutleft") != "123") __builtin_trap();
  return 0;
}

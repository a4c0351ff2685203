// Reading a JPEG file for decoding: the whole file in one read, followed by
// the zero tail the decoder runs out into.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zudizar::jpeg {

// Files above this size are refused as if their size could not be taken.
inline constexpr long long kMaxFileBytes = 1LL << 30;

// False when the file cannot be opened or its size cannot be taken.
bool ReadPaddedFile(const std::string& name, std::vector<std::uint8_t>& buffer);

}  // namespace zudizar::jpeg

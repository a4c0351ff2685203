// The swatch arrangement: which palette index each of the 256 swatch positions
// shows. The gradient fills step through it, the colour palette shows it and
// IDXPALET.TXT stores it.
#pragma once

#include <array>
#include <cstdint>

namespace zudizar {

// Entries are whole 32-bit values as read from the file; where an entry is
// used as a colour only its low 8 bits count.
using SwatchArrangement = std::array<std::int32_t, 256>;

// Position p shows index p.
constexpr SwatchArrangement IdentityArrangement() {
  SwatchArrangement a{};
  for (int i = 0; i < 256; ++i) a[static_cast<std::size_t>(i)] = i;
  return a;
}

}  // namespace zudizar

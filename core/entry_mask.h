// Which palette entries the pixels of pictures index: the entries a palette
// load must leave alone so that no other canvas changes colour.
#pragma once

#include <array>

#include "core/indexed_image.h"

namespace zudizar {

using EntryMask = std::array<bool, 256>;

// No entry in use: the palette rules place colours as they always did.
inline constexpr EntryMask kNoEntriesInUse{};

// Marks every entry a pixel of `image` indexes; nothing for a picture
// without pixels. Reads only the width x height pixels the block holds.
void MarkEntriesInUse(const IndexedImage& image, EntryMask& mask);
// The free entries (10-245) that `inUse` leaves unmarked.
int CountUnusedFreeEntries(const EntryMask& inUse);

}  // namespace zudizar

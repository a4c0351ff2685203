// Buffers of many megabytes that are written soon after they are made (a
// decoded picture's planes, the table of nearest colours): asked for in
// 2 MB pages where the system lends them on request, so that writing one
// costs a few page faults rather than one per 4 KB page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace zudizar {

struct LargeBufferFree {
  void operator()(std::uint8_t* p) const;
};
using LargeBuffer = std::unique_ptr<std::uint8_t[], LargeBufferFree>;

// `bytes` bytes, left uninitialised; throws std::bad_alloc when there is no
// room, like new.
LargeBuffer MakeLargeBuffer(std::size_t bytes);

}  // namespace zudizar

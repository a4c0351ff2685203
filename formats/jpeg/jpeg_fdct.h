// The encoder's 8 x 8 forward DCT: rows first, then columns, in place, with
// 16-bit values between the passes and rounding away from zero.
#pragma once

#include <cstdint>

namespace zudizar::jpeg {

// Inputs are samples with 4 fraction bits, within -2048 .. 2047, for which
// no intermediate value leaves 32 bits.
//
// The defined arithmetic, one row or column at a time.
void ForwardDctReference(std::int16_t block[64]);
// The same results, eight rows or columns at a time where the processor
// offers AVX2.
void ForwardDct(std::int16_t block[64]);

}  // namespace zudizar::jpeg

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
// The same results for two blocks at once, with 16-bit lanes where the
// processor offers AVX2: for samples within -2048 .. 2047 every value the
// rounding steps see stays within 16 bits.
void ForwardDct2(std::int16_t first[64], std::int16_t second[64]);

}  // namespace zudizar::jpeg

// The decoder's 8 x 8 inverse DCT: rows first, then columns, in place, with
// 16-bit values between the passes. Quantisation values carry a factor 16,
// so the output samples have 4 fraction bits around 0.
#pragma once

#include <cstdint>

namespace zudizar::jpeg {

// The defined arithmetic, one row or column at a time.
void InverseDctReference(std::int16_t block[64]);
// The same results from coefficients stored column by column (transposed),
// eight rows or columns at a time where the processor offers AVX2; the
// samples come out row by row. `lastIndex` is the zig-zag index past which
// all coefficients are 0: up to the indices below only the top-left 4 x 4
// or 6 x 6 coefficients may be non-zero, which saves work.
void InverseDctTransposed(std::int16_t block[64], int lastIndex = 63);
// Two blocks at once, each with its own `lastIndex` (the vector path works
// to the larger one): with AVX2 one block fills half the lanes, so pairs
// are cheaper per block than single calls.
void InverseDctTransposedPair(std::int16_t first[64], int firstLastIndex, std::int16_t second[64], int secondLastIndex);
// The same results computed in 32-bit lanes, as the 16-bit lanes do for the
// rare blocks whose intermediate sums leave 16 bits; callable on its own so
// that the benchmark can compare the two.
void InverseDctTransposedWide(std::int16_t block[64], int lastIndex = 63);
// Zig-zag indices up to these all lie in the top-left 4 x 4 and 6 x 6
// coefficients.
inline constexpr int kLastLowQuarterIndex = 9;
inline constexpr int kLastSixBySixIndex = 20;
// A block whose only non-zero coefficient is the DC one transforms to a
// constant; this gives it without the transform.
std::int16_t InverseDctOfDc(std::int16_t dc);

}  // namespace zudizar::jpeg

// Windows icons holding one 16-colour (4-bit) icon whose image data follows
// the 22-byte directory: read at any size up to 255 × 255, written at
// 16 × 16, 32 × 32 and 64 × 64 with at most 15 colours.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/indexed_image.h"
#include "formats/progress.h"

namespace zudizar {

inline constexpr char kIconLoadFailedCaption[] = "ｱｲｺﾝのﾛｰﾄﾞ失敗";
inline constexpr char kIconNot16ColoursText[] = "16色以外アイコンの為、処理出来ません。";
inline constexpr char kIconSaveFailedCaption[] = "アイコンのセーブ失敗";
inline constexpr char kIconSizeViolationText[] = "サイズ違反の為、ICONとして保存出来ません。";
inline constexpr char kIconTooManyColoursText[] = "16色以上の為、ICONとして保存出来ません。";

// The boxes go to `progress` (none when it is null). A failed read leaves the
// image as it was; a successful one replaces it, on the shared palette.
bool ReadIconFile(const std::string& name, IndexedImage& image, ProgressSink* progress = nullptr);
// Works on a copy: the image keeps its pixels and colours; only its
// bfOffBits becomes 1078 once the size and colour checks pass. A refused or
// failed save leaves any old file untouched.
bool WriteIconFile(const std::string& name, IndexedImage& image, ProgressSink* progress = nullptr);

bool DecodeIcon(std::span<const std::uint8_t> bytes, IndexedImage& image, ProgressSink* progress = nullptr);

enum class IconEncodeResult { Ok, SizeViolation, TooManyColours, NoMemory };
// Encodes without showing anything; the caller shows the box for the result.
IconEncodeResult EncodeIcon(const IndexedImage& image, std::vector<std::uint8_t>& bytes);

}  // namespace zudizar

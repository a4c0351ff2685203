// Windows icons holding one 16-colour (4-bit) icon whose image data follows
// the 22-byte directory: read at any size up to 255 × 255, written at
// 16 × 16, 32 × 32 and 64 × 64 with at most 15 colours. A picture with its
// own colours (an exact conversion) also reads from and writes to 256-colour
// (8-bit) icons, so that all its colours survive.
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

struct OpenedPicture;

// The most of a file the reader looks at: the XOR bitmap of a 255 x 255
// 256-colour icon.
inline constexpr std::size_t kIconBytesRead = 62 + 4 * 256 + 255 * 256;

// The messages go to `report` (none when it is null). A failed read leaves
// the image as it was; a successful one replaces it, on the shared palette.
bool ReadIconFile(const std::string& name, IndexedImage& image, FileReport* report = nullptr,
                  ProgressSink* progress = nullptr);
// The same on a file already read (ReadPictureAs).
bool ReadIconOpened(const OpenedPicture& opened, IndexedImage& image, FileReport* report);
// Works on a copy: the image keeps its pixels and colours; only its
// bfOffBits becomes 1078 once the size and colour checks pass. A refused or
// failed save leaves any old file untouched. A picture with its own colours
// (ownColours) is written by EncodeOwnColourIcon.
bool WriteIconFile(const std::string& name, IndexedImage& image, FileReport* report = nullptr,
                   ProgressSink* progress = nullptr);

// `remapToShared` false keeps the icon's own table and indices, and reads
// 256-colour (8-bit) icons too, their table as long as the header says.
bool DecodeIcon(std::span<const std::uint8_t> bytes, IndexedImage& image, FileReport* report = nullptr,
                bool remapToShared = true);

enum class IconEncodeResult { Ok, SizeViolation, TooManyColours, NoMemory };
// Encodes without reporting anything; the caller reports the result.
IconEncodeResult EncodeIcon(const IndexedImage& image, std::vector<std::uint8_t>& bytes);
// The same sizes, for a picture with its own table: every distinct colour it
// shows is kept, in a 16-colour icon when there are at most 16 (one the
// canvases can open), else in a 256-colour one. Never TooManyColours.
IconEncodeResult EncodeOwnColourIcon(const IndexedImage& image, std::vector<std::uint8_t>& bytes);

}  // namespace zudizar

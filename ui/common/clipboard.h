// The system clipboard: a canvas's picture goes out as an 8-bit image with
// the shared palette's colours, so that other programs see the true colours;
// any program's image comes in brought onto the shared palette as an opened
// picture is, its colours in free entries no canvas uses.
#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "core/entry_mask.h"
#include "core/geometry.h"
#include "core/history.h"
#include "core/indexed_image.h"

class QImage;
class QMenu;
class QWidget;

namespace zudizar {

class Dialogs;
class Session;

// A picture taken from the clipboard, on the shared palette.
struct ClipboardPiece {
  IndexedImage picture;
  // The entries its colours took: the step that pastes it carries them, so
  // that an undo gives them back and a redo asks for them again.
  std::vector<PaletteChange> palette;
};

// `region` of `picture`, cut to the picture, as an 8-bit image whose colour
// table is the shared palette's.
QImage ClipboardImage(const IndexedImage& picture, const Rect& region);
void CopyToClipboard(const IndexedImage& picture, const Rect& region);
// Whether the clipboard offers an image now.
bool ClipboardHasImage();

// Why an image was not taken.
enum class ClipboardRefusal { None, NoImage, TooLarge, NoMemory };

// Brings `image` (any format) onto the shared palette: its colours are merged
// as an open merges a true-colour picture's, into free entries that neither
// `inUseBeside` (the other canvases' entries) nor the pixels of `target` (the
// canvas that keeps its picture and takes the piece) use, and applied; then
// each pixel takes its nearest colour. Refused (the palette unchanged) for no
// image, one over the picture limits, or no memory.
ClipboardRefusal PieceFromImage(const QImage& image, Session& session, const EntryMask& inUseBeside,
                                const IndexedImage& target, ClipboardPiece& piece);
// The same with the clipboard's image, for a paste; a refusal is told in a
// message box over `window`, and false returned.
bool TakeClipboardPiece(QWidget* window, Dialogs& dialogs, Session& session, const EntryMask& inUseBeside,
                        const IndexedImage& target, ClipboardPiece& piece);

// A piece kept while the palette may change (a paste preview): when an entry
// its pixels use no longer holds the colour it had, the pixels take the
// nearest colours of the table, and the piece no longer claims entries.
void FollowSharedPalette(ClipboardPiece& piece);

// The items "クリップボードへコピー" (MN_CLIPCOPY, Ctrl+Shift+C) and
// "クリップボードから貼り付け" (MN_CLIPPASTE, Ctrl+Shift+V) at the end of
// `menu`. The paste item is enabled while the clipboard offers an image,
// followed as the clipboard changes and each time the menu opens.
void AddClipboardItems(QWidget* owner, QMenu* menu, std::function<void()> copy, std::function<void()> paste);

}  // namespace zudizar

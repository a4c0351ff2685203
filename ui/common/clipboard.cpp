#include "ui/common/clipboard.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <cstring>
#include <new>
#include <span>

#include "core/frames.h"
#include "core/limits.h"
#include "core/shared_palette.h"
#include "formats/png.h"
#include "formats/reduce.h"
#include "palette/palette_load.h"
#include "ui/common/dialogs.h"
#include "ui/common/menu_items.h"
#include "ui/common/session.h"

namespace zudizar {

namespace {

const QString kClipboardCaption = QStringLiteral("クリップボード");

QList<QRgb> SharedColourTable() {
  QList<QRgb> table(256);
  for (int i = 0; i < 256; ++i) {
    const PaletteEntry& e = SharedPalette.current[static_cast<std::size_t>(i)];
    table[i] = qRgb(e.red, e.green, e.blue);
  }
  return table;
}

// Maps the RGBA rows of `rgba` into `piece`, its colours merged first.
ClipboardRefusal MapPiece(const QImage& rgba, Session& session, const EntryMask& inUse, ClipboardPiece& piece) {
  const int w = rgba.width(), h = rgba.height();
  const std::size_t row = static_cast<std::size_t>(w) * 4;
  // The rows as one block; a converted image is one already, unless the
  // clipboard's own rows were longer.
  std::vector<std::uint8_t> copied;
  std::span<const std::uint8_t> pixels(rgba.constBits(), row * static_cast<std::size_t>(h));
  if (static_cast<std::size_t>(rgba.bytesPerLine()) != row) {
    copied.resize(row * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y)
      std::memcpy(copied.data() + row * static_cast<std::size_t>(y), rgba.constScanLine(y), row);
    pixels = copied;
  }
  IndexedImage picture;
  if (CreateImage(w, h, picture) != 1) return ClipboardRefusal::NoMemory;
  const PaletteTable before = SharedPalette.current;
  if (!MergeRgbaColours(pixels, inUse)) return ClipboardRefusal::NoMemory;
  session.ApplyMergedPalette();
  MapRgbaToSharedPalette(pixels, picture);
  piece.picture = std::move(picture);
  piece.palette = PaletteDifferences(before, SharedPalette.current);
  return ClipboardRefusal::None;
}

}  // namespace

QImage ClipboardImage(const IndexedImage& picture, const Rect& region) {
  const Rect r = region.Intersect(ImageRect(picture));
  if (r.Empty()) return {};
  QImage image(r.width, r.height, QImage::Format_Indexed8);
  if (image.isNull()) return {};
  image.setColorTable(SharedColourTable());
  for (int y = 0; y < r.height; ++y)
    std::memcpy(image.scanLine(y), picture.Row(r.y + y) + r.x, static_cast<std::size_t>(r.width));
  return image;
}

void CopyToClipboard(const IndexedImage& picture, const Rect& region) {
  const QImage image = ClipboardImage(picture, region);
  if (!image.isNull()) QGuiApplication::clipboard()->setImage(image);
}

bool ClipboardHasImage() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  return data && data->hasImage();
}

ClipboardRefusal PieceFromImage(const QImage& image, Session& session, const EntryMask& inUseBeside,
                                const IndexedImage& target, ClipboardPiece& piece) {
  if (image.isNull()) return ClipboardRefusal::NoImage;
  if (!ImageSizeAllowed(image.width(), image.height())) return ClipboardRefusal::TooLarge;
  // The target keeps its picture: its colours stay as they are, like the
  // other canvases'.
  EntryMask inUse = inUseBeside;
  MarkEntriesInUse(target, inUse);
  try {
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    if (rgba.isNull()) return ClipboardRefusal::NoMemory;
    return MapPiece(rgba, session, inUse, piece);
  } catch (const std::bad_alloc&) {
    return ClipboardRefusal::NoMemory;
  }
}

bool TakeClipboardPiece(QWidget* window, Dialogs& dialogs, Session& session, const EntryMask& inUseBeside,
                        const IndexedImage& target, ClipboardPiece& piece) {
  const QImage image = QGuiApplication::clipboard()->image();
  const ClipboardRefusal refusal = PieceFromImage(image, session, inUseBeside, target, piece);
  QString text;
  switch (refusal) {
    case ClipboardRefusal::None: return true;
    case ClipboardRefusal::NoImage: text = QStringLiteral("クリップボードに絵がありません。"); break;
    case ClipboardRefusal::TooLarge:
      text = QStringLiteral("クリップボードの絵（%1 x %2）は大きすぎて貼り付けられません。")
                 .arg(image.width())
                 .arg(image.height());
      break;
    case ClipboardRefusal::NoMemory: text = QStringLiteral("クリップボードの絵を貼り付けるメモリがありません。"); break;
  }
  dialogs.MessageBox(window, text, kClipboardCaption, BoxButtons::Ok, BoxIcon::Information);
  return false;
}

void FollowSharedPalette(ClipboardPiece& piece) {
  IndexedImage& picture = piece.picture;
  if (!picture.HasPixels()) return;
  EntryMask used{};
  MarkEntriesInUse(picture, used);
  for (int i = 0; i < 256; ++i) {
    const ColourTableEntry& had = picture.colourTable[static_cast<std::size_t>(i)];
    const PaletteEntry& now = SharedPalette.current[static_cast<std::size_t>(i)];
    if (!used[i] || (had.red == now.red && had.green == now.green && had.blue == now.blue)) continue;
    // The entries were taken over for something else: the piece looks for
    // its colours among those the table holds now.
    RemapToSharedPalette(picture);
    piece.palette.clear();
    return;
  }
}

void AddClipboardItems(QWidget* owner, QMenu* menu, std::function<void()> copy, std::function<void()> paste) {
  QAction* copyItem = AddMenuItem(owner, menu, "MN_CLIPCOPY", QStringLiteral("クリップボードへコピー"), "Ctrl+Shift+C");
  QAction* pasteItem =
      AddMenuItem(owner, menu, "MN_CLIPPASTE", QStringLiteral("クリップボードから貼り付け"), "Ctrl+Shift+V");
  QObject::connect(copyItem, &QAction::triggered, owner, [copy = std::move(copy)] { copy(); });
  QObject::connect(pasteItem, &QAction::triggered, owner, [paste = std::move(paste)] { paste(); });
  const auto reflect = [pasteItem] { pasteItem->setEnabled(ClipboardHasImage()); };
  QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, pasteItem, reflect);
  QObject::connect(menu, &QMenu::aboutToShow, pasteItem, reflect);
  reflect();
}

}  // namespace zudizar

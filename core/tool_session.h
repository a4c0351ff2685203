// The drawing tools' settings and the one gesture driver that every canvas
// that draws uses. A canvas owns a ToolSession, hands it press, move and
// release in picture coordinates on its own buffers, and presents the step
// it gets back. What the user chose (tool, pen, text) is shared between the
// canvases in ToolSettings; the running gesture belongs to one canvas.
#pragma once

#include <cstdint>
#include <string>

#include "core/geometry.h"
#include "core/indexed_image.h"
#include "core/spray.h"
#include "core/swatch_arrangement.h"
#include "core/text_stamp.h"
#include "core/tool_gestures.h"

namespace zudizar {

// A font as the text tool keeps it, without the toolkit: pixelSize counts
// pixels, pointSize points; the one that is not used is 0.
struct FontDescription {
  std::string family;
  int pixelSize = 0;
  double pointSize = 0;
  int weight = 400;  // 100 … 900, 400 normal, 700 bold
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  friend bool operator==(const FontDescription&, const FontDescription&) = default;
};

struct TextSettings {
  std::string text;  // UTF-8
  FontDescription font;
  int fixedPlace = kTextFree;  // a FixedTextPlace
  bool vertical = false;       // "縦書き": one character under the other
};

// What the user chose, shared by every canvas that draws.
struct ToolSettings {
  int tool = kToolFree;
  int savedTool = kToolFree;  // the tool a display-start wait returns to
  std::uint8_t penCode = 3;
  TextSettings text;

  bool AwaitingDisplayStart() const { return tool == kToolStartFrame4 || tool == kToolStartFrame8; }
  // The tool that draws: during a display-start wait, the one it returns to.
  int DrawingTool() const { return AwaitingDisplayStart() ? savedTool : tool; }
};

// The rendered text stamp: the text's box at the stamp's top-left, and the
// index around the letters that every copy skips.
struct TextStampBox {
  int width = 0;
  int height = 0;
  int transparent = 0;
};

// Rasterises the text tool's text; the toolkit's fonts live outside core.
class TextStamper {
 public:
  virtual ~TextStamper() = default;
  // The text's box before any cut, so that a stamp can be made to fit it.
  virtual TextStampBox Measure(const TextSettings& text) = 0;
  // Fills `stamp` with StampBackground(colour) and renders the text in
  // `colour` at its top-left, cut to the stamp.
  virtual TextStampBox RenderStamp(IndexedImage& stamp, std::uint8_t colour, const TextSettings& text) = 0;
};

// The buffers a gesture works on.
struct ToolTarget {
  IndexedImage& picture;
  IndexedImage& work;   // rubber-band and text previews, scratch; the picture's size
  // The picture carried by the move tool, the text stamp. One without pixels
  // is made the size the gesture needs: the picture for the move tool, the
  // text's box cut to the picture for text.
  IndexedImage& stamp;
  // When set, the picture is a shown copy of `*original`, equal to it outside
  // the running gesture's marks: previews are then drawn in the picture itself
  // and taken back from the original, and `work` is not used. A large canvas
  // so never holds a picture-sized preview buffer.
  const IndexedImage* original = nullptr;
};

// The drawing colours: the left button draws with `left`, the right with
// `right`. `order` is the gradients' colour order (identity when null).
struct ToolInk {
  std::uint8_t left = 249;
  std::uint8_t right = 252;
  const SwatchArrangement* order = nullptr;
};

enum class Present : std::uint8_t {
  Nothing,
  FromPicture,  // show `rect` of the picture
  FromWork,     // show `rect` of the work buffer (a preview)
  WholeView,    // recompose the whole view
};

struct ToolStep {
  Present present = Present::Nothing;
  Rect rect;               // picture pixels, clipped to the picture
  bool committed = false;  // the picture now holds a finished change of this gesture
};

// How a tool turns the pointer's points into marks.
enum class Joining : std::uint8_t {
  Points,     // a mark at every point, nothing between them
  Freehand,   // a mark from the previous point to the current one
  TwoPoints,  // a mark from the press point to the current one
  OnePoint,   // a mark at the press, no gesture
  Drag,       // the picture is picked up at the press and follows the pointer
  Carry,      // a prepared stamp follows the pointer (or goes to a fixed place)
};

// Where a tool's steps draw.
enum class Draws : std::uint8_t {
  OnPicture,     // each step adds to the picture within the rectangle it reports
  WholePicture,  // each step may change the whole picture
  InWork,        // each step is redrawn in the work buffer over the picture;
                 // the picture changes once, on a release over it
};

// What a mark needs besides the buffer it draws on.
struct MarkContext {
  const ToolTarget& target;
  std::uint8_t colour;  // the button's colour
  std::uint8_t other;   // the other button's colour
  std::uint8_t penCode;
  const SwatchArrangement& order;
  SprayGenerator& spray;
  const TextStampBox& text;
};

// Draws one mark from `from` to `to` onto `onto` (the picture or the work
// buffer) and returns the rectangle it may have changed.
using MarkFunction = Rect (*)(IndexedImage& onto, const MarkContext& context, Point from, Point to);

struct ToolRow {
  int tool;
  Joining joining;
  Draws draws;
  MarkFunction mark;
};

// The row of a tool number, or null.
const ToolRow* FindTool(int tool);

class ToolSession {
 public:
  explicit ToolSession(const ToolSettings& settings, TextStamper* stamper = nullptr,
                       SprayGenerator spray = SprayGenerator());

  // Mouse down at picture point p with the left or right button, with the
  // settings' drawing tool. A point outside the picture does nothing, except
  // for a text stamp that follows the pointer. The move tool's right button
  // does nothing here: its canvas decides what it means.
  ToolStep Press(const ToolTarget& target, const ToolInk& ink, Point p, bool right);
  // Mouse move during a gesture; a point outside the picture is ignored,
  // except by a carried stamp.
  ToolStep Move(const ToolTarget& target, const ToolInk& ink, Point p);
  // Mouse up: ends the gesture. Over the picture the last mark is made; a
  // preview released outside it leaves no trace and commits nothing.
  ToolStep Release(const ToolTarget& target, const ToolInk& ink, Point p);
  // Drops the running gesture; its canvas shows the picture again.
  void Cancel() { gesture_.active = false; }

  bool Dragging() const { return gesture_.active; }
  bool RightDrag() const { return gesture_.right; }
  // The tool that started the running (or last) gesture.
  int GestureTool() const { return gesture_.tool; }
  const TextStampBox& TextStamp() const { return text_; }
  SprayGenerator& Spray() { return spray_; }
  const ToolSettings& Settings() const { return settings_; }

 private:
  struct Gesture {
    bool active = false;
    bool right = false;
    int tool = 0;
    Point anchor;  // the press point
    Point last;    // the previous point
    Rect band;     // where the preview lies in the work buffer
  };

  MarkContext Context(const ToolTarget& target, const ToolInk& ink, bool right);
  Point From(const ToolRow& row, Point p) const;

  const ToolSettings& settings_;
  TextStamper* stamper_;
  SprayGenerator spray_;
  Gesture gesture_;
  TextStampBox text_;
};

}  // namespace zudizar

// The text tool's rasteriser: a line of text drawn by the toolkit in white on
// black, turned into one palette index by a plain threshold (every pixel that
// is not black is a letter). No smoothing, so the letters stay crisp.
#pragma once

#include <QFont>
#include <QSize>
#include <QString>
#include <cstdint>

#include "core/indexed_image.h"
#include "core/tool_session.h"

namespace zudizar {

// The font a defined font name and height stand for. "System", "ＭＳ ゴシック"
// and "ＭＳ Ｐゴシック" become the installed Japanese gothic fonts (fixed and
// proportional); a height counts pixels, negative or not. Text fonts never
// smooth their edges.
QFont DefinedFont(const QString& name, int height);

// The size the text takes in `font`: a line left to right, or with
// `vertical` one character under the other.
QSize MeasureText(const QString& text, const QFont& font, bool vertical);

// Rasterises the text at the target's top-left corner: the box of
// MeasureText cut to the target; every letter pixel inside it becomes
// `colour`, every other pixel keeps its index. Returns the cut size; nothing
// happens for an empty target or text.
QSize RenderText(IndexedImage& target, std::uint8_t colour, const QString& text, const QFont& font,
                 bool vertical = false);

// Prepares the text tool's stamp for letters of `colour`: the whole stamp is
// filled with the background index (StampBackground), then the text is
// rendered. Returns the stamp's size; `transparent` receives the background.
QSize PrepareTextStamp(IndexedImage& stamp, std::uint8_t colour, const QString& text, const QFont& font, bool vertical,
                       int& transparent);

// The font dialog's font as the tool settings keep it, and back.
FontDescription DescribeFont(const QFont& font);
QFont FontFromDescription(const FontDescription& description);

// The tool session's text stamps, rasterised by the toolkit.
class QtTextStamper : public TextStamper {
 public:
  TextStampBox Measure(const TextSettings& text) override;
  TextStampBox RenderStamp(IndexedImage& stamp, std::uint8_t colour, const TextSettings& text) override;
};

}  // namespace zudizar

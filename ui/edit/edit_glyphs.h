// The edit palette's button glyphs, drawn as vector shapes at whatever size
// and device pixel ratio the button asks for, so they stay crisp on HiDPI.
#pragma once

#include <QIcon>

namespace zudizar {

enum class EditGlyph { None, Free, Line, Rectangle, Fill, Eraser, Move, Text, Font, Spray, Undo, Colours };

QIcon EditGlyphIcon(EditGlyph glyph);

}  // namespace zudizar

#include "ui/edit/text_render.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

#include "core/text_stamp.h"

namespace zudizar {

namespace {

// Characters that vertical setting turns a quarter clockwise: the long-vowel
// mark, dashes, the wave dash, ellipses and brackets.
bool TurnsInVerticalText(char32_t c) {
  static constexpr char32_t kTurned[] = {U'ー', U'―',  U'—',  U'－', U'‐',  U'-',  U'～', U'〜', U'~',  U'…',  U'‥',
                                         U'(',  U')',  U'（', U'）', U'[',  U']',  U'［', U'］', U'{',  U'}',  U'｛',
                                         U'｝', U'「', U'」', U'『', U'』', U'【', U'】', U'〔', U'〕', U'〈', U'〉',
                                         U'《', U'》', U'<',  U'>',  U'＜', U'＞', U'=',  U'＝', U':',  U'：'};
  return std::find(std::begin(kTurned), std::end(kTurned), c) != std::end(kTurned);
}

// Commas and full stops sit in the upper right of their square when set vertically.
bool MovesUpRightInVerticalText(char32_t c) {
  return c == U'、' || c == U'。' || c == U'，' || c == U'．' || c == U'､' || c == U'｡';
}

struct VerticalLayout {
  std::vector<char32_t> characters;
  int columnWidth = 0;
  int step = 0;
};

VerticalLayout LayOutVertically(const QString& text, const QFontMetrics& metrics) {
  VerticalLayout layout;
  const QList<uint> codes = text.toUcs4();
  layout.step = std::max(metrics.ascent() + metrics.descent(), 1);
  for (uint code : codes) {
    const char32_t c = static_cast<char32_t>(code);
    layout.characters.push_back(c);
    const QString one = QString::fromUcs4(&c, 1);
    // A turned character lies across the column: its height is its width.
    const int across = TurnsInVerticalText(c) ? layout.step : metrics.horizontalAdvance(one);
    layout.columnWidth = std::max(layout.columnWidth, across);
  }
  return layout;
}

void DrawVertically(QPainter& painter, const VerticalLayout& layout, const QFontMetrics& metrics, int maxHeight) {
  const int em = layout.step;
  for (std::size_t i = 0; i < layout.characters.size(); ++i) {
    const int top = static_cast<int>(i) * layout.step;
    if (top >= maxHeight) break;  // the rest is cut away anyway
    const char32_t c = layout.characters[i];
    const QString one = QString::fromUcs4(&c, 1);
    const int advance = metrics.horizontalAdvance(one);
    if (TurnsInVerticalText(c)) {
      painter.save();
      painter.translate(layout.columnWidth / 2.0, top + layout.step / 2.0);
      painter.rotate(90);
      painter.drawText(QPointF(-advance / 2.0, metrics.ascent() - layout.step / 2.0), one);
      painter.restore();
      continue;
    }
    int x = (layout.columnWidth - advance) / 2;
    int baseline = top + metrics.ascent();
    if (MovesUpRightInVerticalText(c)) {
      x += em / 2;
      baseline -= em / 2;
    }
    painter.drawText(QPoint(x, baseline), one);
  }
}

}  // namespace

QFont DefinedFont(const QString& name, int height) {
  QString family = name;
  if (name == QStringLiteral("System") || name == QStringLiteral("ＭＳ ゴシック"))
    family = QStringLiteral("IPAGothic");
  else if (name == QStringLiteral("ＭＳ Ｐゴシック"))
    family = QStringLiteral("IPAPGothic");
  QFont font(family);
  font.setPixelSize(std::max(std::abs(height), 1));
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

QSize MeasureText(const QString& text, const QFont& font, bool vertical) {
  if (text.isEmpty()) return {0, 0};
  QFont plain = font;
  plain.setStyleStrategy(QFont::NoAntialias);
  const QFontMetrics metrics(plain);
  if (vertical) {
    const VerticalLayout layout = LayOutVertically(text, metrics);
    const auto count = static_cast<long long>(layout.characters.size());
    return {layout.columnWidth, static_cast<int>(std::min<long long>(count * layout.step, 1 << 30))};
  }
  return {metrics.horizontalAdvance(text), metrics.height()};
}

QSize RenderText(IndexedImage& target, std::uint8_t colour, const QString& text, const QFont& font, bool vertical) {
  if (!target.HasPixels() || text.isEmpty()) return {0, 0};
  const QSize box = MeasureText(text, font, vertical);
  const int w = std::min(box.width(), target.ImageWidth());
  const int h = std::min(box.height(), target.ImageHeight());
  if (w <= 0 || h <= 0) return {std::max(w, 0), std::max(h, 0)};

  // The toolkit draws only into the part that is kept.
  QImage bitmap(w, h, QImage::Format_RGB32);
  bitmap.fill(Qt::black);
  {
    QPainter painter(&bitmap);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setPen(Qt::white);
    painter.setBrush(Qt::NoBrush);
    QFont plain = font;
    plain.setStyleStrategy(QFont::NoAntialias);
    painter.setFont(plain);
    const QFontMetrics metrics(plain);
    if (vertical)
      DrawVertically(painter, LayOutVertically(text, metrics), metrics, h);
    else
      painter.drawText(QPoint(0, metrics.ascent()), text);
  }
  for (int r = 0; r < h; ++r) {
    const auto* line = reinterpret_cast<const QRgb*>(bitmap.constScanLine(r));
    std::uint8_t* out = target.Row(r);
    for (int c = 0; c < w; ++c)
      if ((line[c] & 0x00FFFFFFu) != 0) out[c] = colour;
  }
  return {w, h};
}

QSize PrepareTextStamp(IndexedImage& stamp, std::uint8_t colour, const QString& text, const QFont& font, bool vertical,
                       int& transparent) {
  const std::uint8_t background = StampBackground(colour);
  transparent = background;
  FillImage(stamp, background);
  return RenderText(stamp, colour, text, font, vertical);
}

FontDescription DescribeFont(const QFont& font) {
  FontDescription d;
  d.family = font.family().toStdString();
  d.pixelSize = std::max(font.pixelSize(), 0);
  d.pointSize = d.pixelSize > 0 ? 0 : std::max(font.pointSizeF(), 0.0);
  d.weight = font.weight();
  d.italic = font.italic();
  d.underline = font.underline();
  d.strikeOut = font.strikeOut();
  return d;
}

QFont FontFromDescription(const FontDescription& d) {
  QFont font(QString::fromStdString(d.family));
  if (d.pixelSize > 0)
    font.setPixelSize(d.pixelSize);
  else if (d.pointSize > 0)
    font.setPointSizeF(d.pointSize);
  font.setWeight(static_cast<QFont::Weight>(std::clamp(d.weight, 1, 1000)));
  font.setItalic(d.italic);
  font.setUnderline(d.underline);
  font.setStrikeOut(d.strikeOut);
  return font;
}

TextStampBox QtTextStamper::Measure(const TextSettings& text) {
  const QSize size = MeasureText(QString::fromStdString(text.text), FontFromDescription(text.font), text.vertical);
  return {size.width(), size.height()};
}

TextStampBox QtTextStamper::RenderStamp(IndexedImage& stamp, std::uint8_t colour, const TextSettings& text) {
  TextStampBox box;
  const QSize size = PrepareTextStamp(stamp, colour, QString::fromStdString(text.text), FontFromDescription(text.font),
                                      text.vertical, box.transparent);
  box.width = size.width();
  box.height = size.height();
  return box;
}

}  // namespace zudizar

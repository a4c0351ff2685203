// Files dropped on the windows: one picture opens as the window's Open
// opens it, after the save question; everything else is refused with a box
// and changes nothing; the colour palette takes a picture's colours only.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <filesystem>
#include <functional>

#include "formats/bmp_builder.h"
#include "formats/dispatch.h"
#include "ui/colour/colour_window.h"
#include "ui/common/file_drop.h"
#include "ui/common/file_names.h"
#include "ui_support.h"

namespace zudizar {
namespace {

using testing::WriteText;

// What a canvas shows, for checking that a refused drop changed nothing.
struct CanvasFace {
  std::string name;
  std::vector<std::uint8_t> pixels;
  std::vector<PaletteEntry> colours;
  friend bool operator==(const CanvasFace&, const CanvasFace&) = default;
};

CanvasFace Face(const std::string& name, const IndexedImage& picture) {
  CanvasFace face{name, picture.pixels, {}};
  for (const std::uint8_t p : picture.pixels) face.colours.push_back(SharedPalette.current[p]);
  return face;
}

class FileDropTest : public testing::CanvasAppTest {
 protected:
  TPALETTEF& colour() { return app->colour(); }

  static QUrl Local(const std::string& path) { return QUrl::fromLocalFile(QString::fromStdString(path)); }

  // Drags `urls` onto `window` and drops them, as the desktop does, then
  // lets the drop act. False when the window refused the drag.
  static bool Drop(QWidget& window, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    QCoreApplication::sendPostedEvents();
    return drop.isAccepted();
  }

  // The three canvases with what each shows.
  struct Canvas {
    const char* label;
    QWidget* window;
    std::function<CanvasFace()> face;
  };
  std::vector<Canvas> Canvases() {
    return {{"main", &main(), [this] { return Face(main().CurrentFileName(), main().PictureImage()); }},
            {"sub", &sub(), [this] { return Face(sub().FileName(), sub().SubPictureImage()); }},
            {"edit", &edit(), [this] { return Face(edit().FileName(), edit().EditImage()); }}};
  }
};

TEST_F(FileDropTest, OnePictureOpensOnEachCanvasWhateverTheCaseOfItsExtension) {
  const std::string path = WritePicture("落とす.BMP", 30, 20, 249);
  for (const Canvas& canvas : Canvases()) {
    ASSERT_TRUE(Drop(*canvas.window, {Local(path)})) << canvas.label;
    const CanvasFace face = canvas.face();
    EXPECT_EQ(face.name, path) << canvas.label;
    EXPECT_EQ(face.pixels.size(), 30u * 20u) << canvas.label;
  }
  EXPECT_EQ(edit().EditImage().ImageWidth(), 30);
  EXPECT_FALSE(main().Modified());
  EXPECT_TRUE(dialogs.Boxes().empty());
}

TEST_F(FileDropTest, APictureWhoseNameIsNoUtf8OpensUnderItsOwnBytes) {
  // "ソ表.BMP" in Shift_JIS: both second bytes are '\\'.
  const std::string sjis = folder.Path().native() + "/\x83\x5C\x95\x5C.BMP";
  std::filesystem::copy_file(WritePicture("plain.BMP", 6, 4, 249), sjis);
  for (const Canvas& canvas : Canvases()) {
    ASSERT_TRUE(Drop(*canvas.window, {UrlOfFile(sjis)})) << canvas.label;
    EXPECT_EQ(canvas.face().name, sjis) << canvas.label;
    EXPECT_EQ(canvas.face().pixels.size(), 24u) << canvas.label;
  }
  EXPECT_TRUE(dialogs.Boxes().empty());
}

TEST_F(FileDropTest, EverythingButOneLocalPictureIsRefusedWithABoxAndChangesNothing) {
  const std::string picture = WritePicture("one.png", 8, 8, 30);
  const std::string other = WritePicture("two.bmp", 8, 8, 40);
  const std::string text = folder.File("note.txt");
  WriteText(text, "not a picture");
  const std::string broken = folder.File("broken.bmp");
  WriteText(broken, "BM but no picture");
  std::filesystem::create_directory(folder.Path() / "folder.png");
  struct Case {
    QList<QUrl> urls;
    QString said;  // a part of the box's text
  };
  const Case cases[] = {
      {{Local(picture), Local(other)}, QStringLiteral("1つの絵のファイルをドロップして下さい")},
      {{Local(text)}, QString::fromStdString(text) + QStringLiteral(" を開けませんでした。")},
      {{QUrl(QStringLiteral("https://example.org/a.png"))}, QStringLiteral("このパソコンにある絵のファイル")},
      {{Local(folder.File("folder.png"))}, QStringLiteral("を開けませんでした。\nフォルダです")},
      {{Local(broken)}, QString::fromStdString(broken)},
  };
  for (const Canvas& canvas : Canvases()) {
    const CanvasFace before = canvas.face();
    for (const Case& c : cases) {
      const std::size_t boxes = dialogs.Boxes().size();
      dialogs.QueueAnswer(BoxAnswer::Ok);
      Drop(*canvas.window, c.urls);
      ASSERT_GT(dialogs.Boxes().size(), boxes) << canvas.label << " " << c.said.toStdString();
      EXPECT_TRUE(dialogs.Boxes().back().text.contains(c.said))
          << canvas.label << ": " << dialogs.Boxes().back().text.toStdString();
      EXPECT_TRUE(canvas.face() == before) << canvas.label << " " << c.said.toStdString();
    }
  }
  EXPECT_FALSE(WindowProbe::Doc(main()).CanUndo());
}

TEST_F(FileDropTest, ABusyCanvasRefusesTheDragAndAModifiedOneAsksItsSaveQuestionFirst) {
  const std::string path = WritePicture("next.bmp", 12, 10, 249);
  WindowProbe::SetBusy(main(), true);
  EXPECT_FALSE(Drop(main(), {Local(path)}));
  WindowProbe::SetBusy(main(), false);
  WindowProbe::MarkChanged(main());
  const CanvasFace before = Face(main().CurrentFileName(), main().PictureImage());
  dialogs.QueueAnswer(BoxAnswer::Cancel);
  Drop(main(), {Local(path)});
  ASSERT_EQ(dialogs.Boxes().size(), 1u);
  EXPECT_EQ(dialogs.Boxes().back().text, QStringLiteral("描画域が更新されています、内容を保存しますか？"));
  EXPECT_TRUE(Face(main().CurrentFileName(), main().PictureImage()) == before);
  EXPECT_TRUE(main().Modified());

  dialogs.QueueAnswer(BoxAnswer::No);
  Drop(main(), {Local(path)});
  EXPECT_EQ(main().CurrentFileName(), path);
  EXPECT_EQ(main().PictureImage().ImageWidth(), 12);
}

TEST_F(FileDropTest, TheColourPaletteTakesThePicturesColoursAndNoCanvasChanges) {
  testing::BmpBuilder colours;
  colours.width = 20;
  for (int k = 0; k < 20; ++k) {
    colours.table.push_back({static_cast<std::uint8_t>(12 * k + 1), 201, 7});
    colours.pixels.push_back(static_cast<std::uint8_t>(k));
  }
  const std::string path = folder.File("colours.bmp");
  const auto bytes = colours.Build();
  WriteText(path, std::string(bytes.begin(), bytes.end()));
  // Every canvas uses free entries, the main canvas the first ones.
  IndexedImage& mainPicture = WindowProbe::Doc(main()).Picture();
  for (int x = 0; x < 40; ++x) mainPicture.At(x, 0) = static_cast<std::uint8_t>(10 + x);
  WindowProbe::MarkChanged(main());
  for (int x = 0; x < 10; ++x) WindowProbe::Doc(sub()).Picture().At(x, 0) = static_cast<std::uint8_t>(60 + x);
  std::vector<CanvasFace> before;
  for (const Canvas& canvas : Canvases()) before.push_back(canvas.face());

  ASSERT_TRUE(Drop(colour(), {Local(path)}));
  EXPECT_TRUE(dialogs.Boxes().empty());
  for (int k = 0; k < 20; ++k)
    EXPECT_TRUE(std::ranges::any_of(SharedPalette.current, [k](const PaletteEntry& e) {
      return e.red == 12 * k + 1 && e.green == 201 && e.blue == 7;
    })) << k;
  const std::vector<Canvas> canvases = Canvases();
  for (std::size_t i = 0; i < canvases.size(); ++i) EXPECT_TRUE(canvases[i].face() == before[i]) << canvases[i].label;

  // A file that is no picture is told, and the palette stays.
  const PaletteTable palette = SharedPalette.current;
  const std::string broken = folder.File("broken.png");
  WriteText(broken, "no picture");
  dialogs.QueueAnswer(BoxAnswer::Ok);
  Drop(colour(), {Local(broken)});
  ASSERT_EQ(dialogs.Boxes().size(), 1u);
  EXPECT_TRUE(dialogs.Boxes().back().text.contains(QString::fromStdString(broken)));
  EXPECT_EQ(SharedPalette.current, palette);
  // Its colours all there already: nothing to say.
  Drop(colour(), {Local(path)});
  EXPECT_EQ(dialogs.Boxes().size(), 1u);
  EXPECT_EQ(colour().windowTitle(), kColourCaption);
}

}  // namespace
}  // namespace zudizar

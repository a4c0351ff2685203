#pragma once

#include <QMainWindow>
#include <QString>

#include "core/indexed_image.h"
#include "core/shared_palette.h"

class QScrollArea;

namespace zudizar {

class App;
class PaintBox;
class RecentFileList;

// The sub palette: a second canvas beside the main palette.
class TTAVOSUBF : public QMainWindow {
  Q_OBJECT
 public:
  explicit TTAVOSUBF(App& app);

  IndexedImage SubPictureImage, SubViewImage, SubDisplayImage;
  QString FileName;
  int FrameSize = 0;
  int TransferMode = 0;
  bool Busy = false;

  PaintBox* PaintBox1 = nullptr;
  QScrollArea* Scroll = nullptr;
  RecentFileList* Recent = nullptr;

  void FormCreate();
  void FormDestroy();
  void FormHide();
  void TakeSharedPalette(const PaletteTable& table);
  void BlankForPaletteChange();
  // Shows SubViewImage again after another window changed it.
  void RefreshView();
  void ReceiveMainPicture();  // takes the main palette's picture as its own (sub_exchange.cpp)
  void StartSubTransfer(int) {}  // placeholder until the sub palette's own transfers land

 protected:
  void hideEvent(QHideEvent* event) override;

 private:
  void PaintBox1Paint(QPainter& painter);

  App& app_;
  bool destroyed_ = false;
  bool blanked_ = false;
};

}  // namespace zudizar

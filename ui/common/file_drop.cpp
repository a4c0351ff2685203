#include "ui/common/file_drop.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include "ui/common/dialogs.h"
#include "ui/common/file_commands.h"

namespace zudizar {

namespace {

const QString kDropCaption = QStringLiteral("ドロップ");

// Watches one window's drag and drop events.
class DropFilter : public QObject {
 public:
  DropFilter(QWidget& window, Dialogs& dialogs, std::function<bool()> busy, std::function<void(const QString&)> open)
      : QObject(&window), window_(window), dialogs_(dialogs), busy_(std::move(busy)), open_(std::move(open)) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != &window_) return false;
    switch (event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (drag->mimeData() && drag->mimeData()->hasUrls() && !busy_())
          Accept(*drag);
        else
          drag->ignore();
        return true;
      }
      case QEvent::Drop: Drop(*static_cast<QDropEvent*>(event)); return true;
      default: return false;
    }
  }

 private:
  static void Accept(QDropEvent& event) {
    // The file stays where it is: the drop only reads it.
    if (event.possibleActions() & Qt::CopyAction) {
      event.setDropAction(Qt::CopyAction);
      event.accept();
    } else {
      event.acceptProposedAction();
    }
  }

  void Drop(QDropEvent& event) {
    if (!event.mimeData() || !event.mimeData()->hasUrls() || busy_()) {
      event.ignore();
      return;
    }
    const DropContents contents = ExamineDrop(*event.mimeData());
    Accept(event);
    QMetaObject::invokeMethod(
        this,
        [this, contents] {
          if (busy_()) return;
          if (contents.refusal == DropRefusal::None)
            open_(contents.path);
          else
            ShowDropRefusal(&window_, dialogs_, contents);
        },
        Qt::QueuedConnection);
  }

  QWidget& window_;
  Dialogs& dialogs_;
  std::function<bool()> busy_;
  std::function<void(const QString&)> open_;
};

}  // namespace

bool IsPictureFileName(const QString& path) {
  static const QStringList kExtensions = {QStringLiteral("bmp"),  QStringLiteral("mag"), QStringLiteral("jpg"),
                                          QStringLiteral("jpeg"), QStringLiteral("png"), QStringLiteral("ico")};
  return kExtensions.contains(QFileInfo(path).suffix(), Qt::CaseInsensitive);
}

DropContents ExamineDrop(const QMimeData& data) {
  const QList<QUrl> urls = data.urls();
  if (urls.size() != 1) return {DropRefusal::NotOne, {}};
  const QUrl& url = urls.front();
  if (!url.isLocalFile()) return {DropRefusal::NotLocal, url.toDisplayString()};
  const QString path = url.toLocalFile();
  if (!IsPictureFileName(path)) return {DropRefusal::NotPicture, path};
  if (!QFileInfo(path).isFile()) return {DropRefusal::NotAFile, path};
  return {DropRefusal::None, path};
}

void ShowDropRefusal(QWidget* window, Dialogs& dialogs, const DropContents& contents) {
  switch (contents.refusal) {
    case DropRefusal::None: return;
    case DropRefusal::NotPicture:
    case DropRefusal::NotAFile: ShowLoadFailure(window, dialogs, contents.path); return;
    case DropRefusal::NotOne:
      dialogs.MessageBox(window, QStringLiteral("1つの絵のファイルをドロップして下さい"), kDropCaption, BoxButtons::Ok,
                         BoxIcon::Information);
      return;
    case DropRefusal::NotLocal:
      dialogs.MessageBox(
          window,
          QStringLiteral("%1 は開けません。このパソコンにある絵のファイルをドロップして下さい").arg(contents.path),
          kDropCaption, BoxButtons::Ok, BoxIcon::Information);
      return;
  }
}

void AcceptPictureDrops(QWidget& window, Dialogs& dialogs, std::function<bool()> busy,
                        std::function<void(const QString&)> open) {
  window.setAcceptDrops(true);
  window.installEventFilter(new DropFilter(window, dialogs, std::move(busy), std::move(open)));
}

}  // namespace zudizar

#include "ui/common/file_drop.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include "ui/common/dialogs.h"
#include "ui/common/file_commands.h"
#include "ui/common/file_names.h"

namespace zudizar {

namespace {

const QString kDropCaption = QStringLiteral("ドロップ");

// Watches one window's drag and drop events.
class DropFilter : public QObject {
 public:
  DropFilter(QWidget& window, Dialogs& dialogs, std::function<bool()> busy, std::function<void(const std::string&)> open)
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
  std::function<void(const std::string&)> open_;
};

}  // namespace

bool IsPictureFileName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  const std::string_view name = std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
  const auto stop = name.find_last_of('.');
  if (stop == std::string_view::npos) return false;
  std::string suffix(name.substr(stop + 1));
  for (char& c : suffix)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  for (const char* known : {"bmp", "mag", "jpg", "jpeg", "png", "ico"})
    if (suffix == known) return true;
  return false;
}

DropContents ExamineDrop(const QMimeData& data) {
  const QList<QUrl> urls = data.urls();
  if (urls.size() != 1) return {DropRefusal::NotOne, {}, {}};
  const QUrl& url = urls.front();
  const std::optional<std::string> path = NameFromUrl(url);
  if (!path) return {DropRefusal::NotLocal, {}, url.toDisplayString()};
  // What stands there is told first: a folder named "x.png" is no picture file.
  if (!IsPlainFileName(*path)) return {DropRefusal::NotAFile, *path, {}};
  if (!IsPictureFileName(*path)) return {DropRefusal::NotPicture, *path, {}};
  return {DropRefusal::None, *path, {}};
}

void ShowDropRefusal(QWidget* window, Dialogs& dialogs, const DropContents& contents) {
  switch (contents.refusal) {
    case DropRefusal::None: return;
    case DropRefusal::NotPicture: ShowLoadFailure(window, dialogs, contents.path); return;
    case DropRefusal::NotAFile: CheckOpenable(window, dialogs, contents.path); return;
    case DropRefusal::NotOne:
      dialogs.MessageBox(window, QStringLiteral("1つの絵のファイルをドロップして下さい"), kDropCaption, BoxButtons::Ok,
                         BoxIcon::Information);
      return;
    case DropRefusal::NotLocal:
      dialogs.MessageBox(
          window,
          QStringLiteral("%1 は開けません。このパソコンにある絵のファイルをドロップして下さい").arg(contents.address),
          kDropCaption, BoxButtons::Ok, BoxIcon::Information);
      return;
  }
}

void AcceptPictureDrops(QWidget& window, Dialogs& dialogs, std::function<bool()> busy,
                        std::function<void(const std::string&)> open) {
  window.setAcceptDrops(true);
  window.installEventFilter(new DropFilter(window, dialogs, std::move(busy), std::move(open)));
}

}  // namespace zudizar

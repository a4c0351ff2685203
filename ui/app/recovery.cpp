#include "ui/app/recovery.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string_view>

#include "base/file_io.h"
#include "base/settings.h"
#include "base/trace.h"
#include "core/entry_mask.h"
#include "formats/bmp.h"
#include "formats/dispatch.h"
#include "formats/mag.h"
#include "palette/palette_load.h"
#include "ui/app/app.h"
#include "ui/common/dialogs.h"
#include "ui/common/file_commands.h"
#include "ui/common/file_names.h"
#include "ui/edit/edit_window.h"
#include "ui/main/main_window.h"
#include "ui/sub/sub_window.h"

namespace zudizar {

namespace {

constexpr const char* kCanvasNames[] = {"main", "edit", "sub"};
// A name file longer than this is not a name this program wrote.
constexpr std::uint64_t kMaxNameBytes = 64 * 1024;
// Nor a fields file longer than this (a comment is never near it).
constexpr std::uint64_t kMaxMagFieldBytes = 16 * 1024 * 1024;

std::string RecoveryRoot() { return ProgramFolder() + "recovery/"; }

bool Exists(const std::string& path) {
  std::error_code failed;
  return std::filesystem::exists(std::filesystem::path(path), failed);
}

void RemoveFolder(const std::string& folder) {
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(folder), ignored);
}

// Locks `folder`'s lock file; -1 when another live instance holds it (or it
// cannot be opened).
int LockFolder(const std::string& folder) {
  const std::string path = folder + "lock";
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// What a canvas's files would hold: its pixels, colours, name and MAG fields
// (the MAG information dialog changes those alone).
std::size_t Fingerprint(const IndexedImage& picture, const std::string& name, const std::vector<std::uint8_t>& mag) {
  const std::hash<std::string_view> hash;
  std::size_t h = hash({reinterpret_cast<const char*>(picture.pixels.data()), picture.pixels.size()});
  h ^= hash({reinterpret_cast<const char*>(picture.colourTable.data()), sizeof(picture.colourTable)}) + 0x9e3779b9 +
       (h << 6) + (h >> 2);
  h ^= std::hash<std::string>{}(name) + 0x9e3779b9 + (h << 6) + (h >> 2);
  h ^= hash({reinterpret_cast<const char*>(mag.data()), mag.size()}) + 0x9e3779b9 + (h << 6) + (h >> 2);
  h ^= static_cast<std::size_t>(picture.ImageWidth()) * 31 + static_cast<std::size_t>(picture.ImageHeight());
  return h == 0 ? 1 : h;
}

}  // namespace

Recovery::Recovery(App& app) : app_(app) {
  connect(&timer_, &QTimer::timeout, this, [this] { WriteChanged(); });
}

Recovery::~Recovery() {
  if (writing_.valid()) writing_.wait();
  if (lock_ >= 0) ::close(lock_);
}

void Recovery::Start(int intervalMs) {
  started_ = true;
  Prepare();
  timer_.start(intervalMs);
}

bool Recovery::Prepare() {
  if (!folder_.empty()) return true;
  const std::string folder = RecoveryRoot() + std::to_string(::getpid()) + '/';
  std::error_code failed;
  std::filesystem::create_directories(std::filesystem::path(folder), failed);
  if (failed) {
    ReportWriteFailure(folder);
    return false;
  }
  lock_ = LockFolder(folder);
  if (lock_ < 0) {
    ReportWriteFailure(folder);
    return false;
  }
  folder_ = folder;
  return true;
}

void Recovery::ReportWriteFailure(const std::string& what) {
  // Said once; the writes go on being tried and never stop the drawing.
  if (failureTraced_) return;
  failureTraced_ = true;
  TraceRecord(7200, "recovery write failed: " + what);
}

void Recovery::Wait() {
  if (!writing_.valid()) return;
  for (const auto& [canvas, written] : writing_.get()) {
    if (written) continue;
    // Tried again at the next write.
    written_[static_cast<std::size_t>(canvas)] = 0;
    ReportWriteFailure(folder_ + kCanvasNames[canvas]);
  }
}

void Recovery::WriteChanged() {
  // A folder that could not be made is tried again at every write.
  if (!started_ || !Prepare()) return;
  // One write at a time: a slow disk delays the next, never the drawing.
  if (writing_.valid() && writing_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
  Wait();
  struct Job {
    int canvas;
    IndexedImage picture;
    std::string base;
    std::vector<std::uint8_t> name;
    std::vector<std::uint8_t> mag;  // empty: the picture has no MAG fields
  };
  std::vector<Job> jobs;
  for (int k = 0; k < 3; ++k) {
    const App::CanvasState canvas = app_.Canvas(static_cast<App::CanvasId>(k));
    const std::string base = folder_ + kCanvasNames[k];
    if (!canvas.modified || !canvas.picture->HasPixels()) {
      // Saved (or never changed): nothing of it is left to recover.
      if (written_[k] != 0) {
        ::unlink((base + ".bmp").c_str());
        ::unlink((base + ".txt").c_str());
        ::unlink((base + ".mag").c_str());
        written_[k] = 0;
      }
      continue;
    }
    std::vector<std::uint8_t> mag;
    if (canvas.picture->mag.present) mag = PackMagFields(canvas.picture->mag);
    const std::size_t print = Fingerprint(*canvas.picture, canvas.name, mag);
    if (print == written_[k]) continue;
    Job job{k, {}, base, {}, std::move(mag)};
    if (!CreateImage(canvas.picture->ImageWidth(), canvas.picture->ImageHeight(), job.picture)) continue;
    CopyImage(job.picture, *canvas.picture, kNoTransparent);
    job.picture.colourTable = canvas.picture->colourTable;
    job.name.assign(canvas.name.begin(), canvas.name.end());
    jobs.push_back(std::move(job));
    written_[k] = print;
  }
  if (jobs.empty()) return;
  writing_ = std::async(std::launch::async, [jobs = std::move(jobs)] {
    std::vector<std::pair<int, bool>> results;
    for (const Job& job : jobs) {
      const std::vector<std::uint8_t> bytes = EncodeBmp(job.picture);
      // The name and fields first: a picture file is never found without its
      // own name and fields (nor with an earlier picture's fields).
      const std::string magFile = job.base + ".mag";
      const bool fields =
          job.mag.empty() ? ::unlink(magFile.c_str()) == 0 || errno == ENOENT : WriteFileSafely(magFile, job.mag);
      const bool written = !bytes.empty() && WriteFileSafely(job.base + ".txt", job.name) && fields &&
                           WriteFileSafely(job.base + ".bmp", bytes);
      results.emplace_back(job.canvas, written);
    }
    return results;
  });
}

void Recovery::Finish() {
  started_ = false;
  timer_.stop();
  Wait();
  if (!folder_.empty()) RemoveFolder(folder_);
  folder_.clear();
  if (lock_ >= 0) ::close(lock_);
  lock_ = -1;
}

void Recovery::Abandon() {
  started_ = false;
  timer_.stop();
  Wait();
  folder_.clear();
  if (lock_ >= 0) ::close(lock_);
  lock_ = -1;
}

void Recovery::OfferLeftovers() {
  const std::string root = RecoveryRoot();
  std::error_code failed;
  std::filesystem::directory_iterator entries(std::filesystem::path(root), failed);
  if (failed) return;
  std::vector<std::string> leftovers;
  std::vector<int> locks;
  for (const std::filesystem::directory_entry& entry : entries) {
    if (!entry.is_directory(failed)) continue;
    const std::string folder = root + entry.path().filename().native() + '/';
    if (folder == folder_) continue;
    // A folder whose lock is held belongs to an instance that still runs.
    const int fd = LockFolder(folder);
    if (fd < 0) continue;
    locks.push_back(fd);
    leftovers.push_back(folder);
  }
  bool any = false;
  for (const std::string& folder : leftovers)
    for (const char* canvas : kCanvasNames) any = any || Exists(folder + canvas + ".bmp");
  if (any && app_.dialogs().MessageBox(&app_.main(), QStringLiteral("前回終了時の作業が残っています。復元しますか？"),
                                       kApplicationTitle, BoxButtons::YesNo, BoxIcon::Question) == BoxAnswer::Yes) {
    for (const std::string& folder : leftovers) Restore(folder);
  }
  for (const std::string& folder : leftovers) RemoveFolder(folder);
  for (int fd : locks) ::close(fd);
}

void Recovery::TellOrphans() {
  const std::vector<std::string> orphans = OrphanedKeptCopies();
  if (orphans.empty()) return;
  QString list;
  for (const std::string& name : orphans) list += QStringLiteral("\n　") + ShownName(name);
  app_.dialogs().MessageBox(
      &app_.main(),
      QStringLiteral("保存が途中で止まったファイルの元の内容を、元のファイルに戻せませんでした"
                     "（ファイルが移されたか、消されていました）。元の内容は次のファイルにあります:") +
          list + QStringLiteral("\n場所: ") + ShownName(RecoveryRoot()) +
          QStringLiteral("\n要らなくなったら削除して下さい。"),
      kApplicationTitle, BoxButtons::Ok, BoxIcon::Warning);
}

bool Recovery::Restore(const std::string& folder) {
  bool all = true;
  for (int k = 0; k < 3; ++k) {
    const std::string base = folder + kCanvasNames[k];
    const std::string file = base + ".bmp";
    if (!Exists(file)) continue;
    std::vector<std::uint8_t> nameBytes;
    ReadWholeFile(base + ".txt", nameBytes, kMaxNameBytes);
    const std::string name(nameBytes.begin(), nameBytes.end());
    // The picture's colours join the palette as an open's would, around the
    // colours of the canvases already given back.
    FileReport report;
    LoadPaletteFromPicture(file, &report, nullptr, app_.EntriesInUseBeside(static_cast<App::CanvasId>(k)));
    app_.session().ApplyMergedPalette();
    IndexedImage picture;
    if (!LoadPictureFile(file, picture, &report) || !picture.HasPixels()) {
      // A damaged file is skipped with one message; the others still come back.
      FileReport skipped;
      skipped.Add(file + " を復元できませんでした。", "復元", MessageKind::Warning);
      ShowFileReport(&app_.main(), app_.dialogs(), skipped);
      all = false;
      continue;
    }
    // The MAG fields it had come back with it; fields that cannot be read
    // leave the picture without them, as a picture from a BMP would be.
    std::vector<std::uint8_t> magBytes;
    if (ReadWholeFile(base + ".mag", magBytes, kMaxMagFieldBytes)) UnpackMagFields(magBytes, picture.mag);
    app_.RestoreCanvas(static_cast<App::CanvasId>(k), picture, name);
  }
  return all;
}

}  // namespace zudizar

// Work that survives a crash: every modified canvas is written, a little
// after it changed, to this instance's folder under the program folder
// (recovery/<pid>/), as an 8-bit BMP with its palette, a file with the
// name it belongs to (its bytes) and, for a picture with MAG fields, a file
// with those (PackMagFields). A clean quit removes the folder; the next start after
// an unclean end offers the pictures back. Each instance holds a lock on its
// folder, so two instances never take or remove each other's work.
#pragma once

#include <QObject>
#include <QTimer>
#include <array>
#include <cstddef>
#include <future>
#include <string>
#include <vector>

namespace zudizar {

class App;

class Recovery : public QObject {
 public:
  explicit Recovery(App& app);
  ~Recovery() override;

  // The folders an earlier instance left behind when it ended uncleanly: the
  // question, then each picture back on its canvas (Yes) or nothing (No);
  // either way the folders are removed.
  void OfferLeftovers();
  // The old bytes of files whose in-place save a kill cut short, which could
  // not be put back (their files had moved): one box naming them and where
  // they are, at every start while they are there.
  void TellOrphans();
  // Creates and locks this instance's folder and starts writing.
  void Start(int intervalMs);
  // Writes what changed since the last write (from copies, on a thread of its
  // own, so drawing never waits), removes what was saved since.
  void WriteChanged();
  // Waits for a write on its way (tests, and the end).
  void Wait();
  // A clean end: the folder goes.
  void Finish();
  // As a crash leaves it: the folder stays, the lock goes (tests).
  void Abandon();

  // recovery/<pid>/ as bytes, empty when none could be made.
  const std::string& Folder() const { return folder_; }

 private:
  bool Restore(const std::string& folder);
  // Makes and locks this instance's folder unless it has it; false when it
  // cannot (said once in the trace log).
  bool Prepare();
  void ReportWriteFailure(const std::string& what);

  App& app_;
  QTimer timer_;
  std::string folder_;                    // recovery/<pid>/, empty when none could be made
  int lock_ = -1;                         // the descriptor holding the folder's lock
  std::array<std::size_t, 3> written_{};  // what each canvas's files hold (0: nothing)
  bool failureTraced_ = false;
  // The canvases the running write is for, and whether each got to disk.
  std::future<std::vector<std::pair<int, bool>>> writing_;
  bool started_ = false;
};

}  // namespace zudizar

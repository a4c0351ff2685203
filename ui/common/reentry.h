// A handler that must not run inside itself: a nested call (a repaint or a
// mouse event delivered while the handler waits on a dialog or a progress
// caption) returns at once.
#pragma once

namespace zudizar {

class ReentryGuard {
 public:
  explicit ReentryGuard(bool& running) : running_(running), entered_(!running) { running_ = true; }
  ~ReentryGuard() {
    if (entered_) running_ = false;
  }
  ReentryGuard(const ReentryGuard&) = delete;
  ReentryGuard& operator=(const ReentryGuard&) = delete;
  bool Entered() const { return entered_; }

 private:
  bool& running_;
  bool entered_;
};

}  // namespace zudizar

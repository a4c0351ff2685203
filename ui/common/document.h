// One canvas's document: the picture, the file it was read from or saved to,
// and whether it changed since. The window that owns it changes it through
// its commands; other windows ask that window, never the document.
#pragma once

#include <QString>
#include <utility>

#include "core/indexed_image.h"

namespace zudizar {

class Document {
 public:
  const IndexedImage& Picture() const { return picture_; }
  IndexedImage& Picture() { return picture_; }
  // Takes a whole new picture (New, Open, an exchange); the name and the
  // modified flag are the caller's to set.
  void Replace(IndexedImage picture) { picture_ = std::move(picture); }

  const QString& FileName() const { return fileName_; }
  void SetFileName(const QString& name) { fileName_ = name; }

  bool Modified() const { return modified_; }
  void MarkModified() { modified_ = true; }
  void MarkSaved() { modified_ = false; }
  void SetModified(bool modified) { modified_ = modified; }

 private:
  IndexedImage picture_;
  QString fileName_;
  bool modified_ = false;
};

}  // namespace zudizar

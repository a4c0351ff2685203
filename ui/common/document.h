// One canvas's document: the picture, the file it belongs to, whether it
// changed since it was last saved, and its undo history. The window that owns
// it changes it through its commands; other windows ask that window, never
// the document.
//
// Every change is marked (Touch) and recorded as a step (Commit); a whole new
// picture (New, Open, an exchange) is one step too, with its name and the
// palette entries it changed, so it can be undone like any other.
//
// The picture's MAG fields (IndexedImage::mag) travel in the history as the
// file name does: each step that changes the name or the fields keeps both
// before and after, so undoing an open brings back the earlier picture's
// fields, and editing them is a step of its own.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/history.h"
#include "core/indexed_image.h"

namespace zudizar {

// A picture on its way from one canvas to another (the exchange): the
// picture, its file name and whether it has unsaved changes.
struct CanvasContent {
  IndexedImage picture;
  std::string name;  // bytes, as the file system holds it
  bool modified = false;
};

class Document {
 public:
  explicit Document(HistoryBudget& budget) : history_(budget) {}

  const IndexedImage& Picture() const { return picture_; }
  IndexedImage& Picture() { return picture_; }

  // The canvas's first picture: no history, nothing to save.
  void Start(IndexedImage picture, const std::string& name) {
    picture_ = std::move(picture);
    fileName_ = name;
    history_.Reset(picture_, Encoded(name, picture_.mag));
    clean_ = {history_.Position()};
  }
  // A whole new picture as one step, with the name it belongs to and the
  // palette entries its arrival changed. Unsaved, until the caller says.
  void Replace(IndexedImage picture, const std::string& name, const std::vector<PaletteChange>& palette = {}) {
    if (history_.Pending()) history_.Record(picture_);  // what was drawn before is a step of its own
    picture_ = std::move(picture);
    fileName_ = name;
    history_.TouchAll();
    history_.Record(picture_, palette, Encoded(name, picture_.mag));
  }
  // New MAG fields for the picture, as one step (nothing when they are the same).
  bool SetMagFields(const MagFields& fields) {
    if (fields == picture_.mag) return false;
    if (history_.Pending()) history_.Record(picture_);
    picture_.mag = fields;
    return history_.Record(picture_, {}, Encoded(fileName_, picture_.mag));
  }
  // Drops the picture at the end (no step).
  void Close() {
    picture_ = {};
    history_.Reset(picture_, {});
  }

  // The picture changed within `rect`; Commit makes the marked changes a step,
  // with the palette entries the command set (a paste from the clipboard).
  void Touch(const Rect& rect) { history_.Touch(rect); }
  void TouchAll() { history_.TouchAll(); }
  bool Commit(const std::vector<PaletteChange>& palette = {}) { return history_.Record(picture_, palette); }
  // Brings the marked changes in from `source`, where they were drawn.
  bool CommitFrom(const IndexedImage& source) { return history_.RecordFrom(source, picture_); }
  // The canvas changed the picture after a move (colours mapped): not a step.
  void Adopt(const Rect& rect) { history_.Adopt(picture_, rect); }

  bool CanUndo() const { return history_.CanUndo(); }
  bool CanRedo() const { return history_.CanRedo(); }
  HistoryMove Undo() { return Follow(history_.Undo(picture_)); }
  HistoryMove Redo() { return Follow(history_.Redo(picture_)); }
  const History& history() const { return history_; }

  // The file's name as bytes (ShownName shows it).
  const std::string& FileName() const { return fileName_; }
  // A save under another name: the picture now belongs there (no step).
  void SetFileName(const std::string& name) {
    fileName_ = name;
    history_.SetName(Encoded(name, picture_.mag));
  }

  // Unsaved changes: something not yet recorded, or a recorded state that
  // is not one the files hold. Undo back to the saved state is unmodified.
  bool Modified() const {
    return history_.Pending() || std::find(clean_.begin(), clean_.end(), history_.Position()) == clean_.end();
  }
  void MarkModified() { SetModified(true); }
  // The picture as it is now is the one in its file.
  void MarkSaved() {
    history_.Record(picture_);
    clean_ = {history_.Position()};
  }
  // Carries a flag with a picture (the exchange, a recovered picture).
  void SetModified(bool modified) {
    const std::uint64_t here = history_.Position();
    std::erase(clean_, here);
    if (!modified) clean_.push_back(here);
  }

 private:
  // The name, and after a zero byte (which no file name holds) the fields
  // when the picture has them.
  static std::string Encoded(const std::string& name, const MagFields& mag) {
    std::string text = name;
    if (!mag.present) return text;
    text += '\0';
    for (const std::string* field : {&mag.machine, &mag.user, &mag.comment, &mag.gap}) {
      const auto size = static_cast<std::uint32_t>(field->size());
      for (int shift = 0; shift < 32; shift += 8) text += static_cast<char>((size >> shift) & 0xFF);
      text += *field;
    }
    text += static_cast<char>(mag.machineCode);
    text += static_cast<char>(mag.machineFlags);
    return text;
  }
  static MagFields DecodedFields(const std::string& text) {
    MagFields mag;
    std::size_t at = text.find('\0');
    if (at == std::string::npos) return mag;
    ++at;
    for (std::string* field : {&mag.machine, &mag.user, &mag.comment, &mag.gap}) {
      if (text.size() - at < 4) return {};
      std::uint32_t size = 0;
      for (int i = 0; i < 4; ++i)
        size |= static_cast<std::uint32_t>(static_cast<unsigned char>(text[at + i])) << (8 * i);
      at += 4;
      if (text.size() - at < size) return {};
      field->assign(text, at, size);
      at += size;
    }
    if (text.size() - at < 2) return {};
    mag.machineCode = static_cast<std::uint8_t>(text[at]);
    mag.machineFlags = static_cast<std::uint8_t>(text[at + 1]);
    mag.present = true;
    return mag;
  }
  HistoryMove Follow(HistoryMove move) {
    if (move.renamed) fileName_ = move.name.substr(0, move.name.find('\0'));
    // Steps that hold whole pictures bring back their pixels, not their fields.
    if (move.moved) picture_.mag = DecodedFields(history_.Name());
    return move;
  }

  IndexedImage picture_;
  std::string fileName_;
  History history_;
  // The recorded states that equal a file (more than one after an open:
  // undoing it returns to the saved picture before).
  std::vector<std::uint64_t> clean_;
};

}  // namespace zudizar

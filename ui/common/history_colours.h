// What an undo or redo does to the shared palette. A step that changed
// palette entries (an open, a New with colours) wants them back as they were;
// an entry another canvas uses now keeps its colour, so that no other canvas
// changes colour, and the pixels that wanted the old colour take the nearest
// colour of the table instead.
#pragma once

class QWidget;

#include "core/entry_mask.h"
#include "core/history.h"
#include "core/indexed_image.h"

namespace zudizar {

class CanvasView;
class Dialogs;
class Document;
class Session;

// Sets the entries `move` wants that `inUseBeside` leaves free and maps the
// pixels of `picture` that index a refused entry to the nearest colour of the
// table. True when any pixel was mapped (the picture is no longer exactly the
// step's: the caller tells the history and the user).
bool FollowMoveColours(Session& session, const HistoryMove& move, const EntryMask& inUseBeside, IndexedImage& picture);

// Follows a move on a canvas shown in a canvas view: the colours (as above),
// then the view: the changed rectangle, or all of it when `overlay` (the view
// held something of a mode's) or colours were mapped; a picture of another
// size is shown afresh. Returns whether colours were mapped.
bool FollowMoveOnCanvas(Session& session, Document& document, CanvasView& view, const HistoryMove& move,
                        const EntryMask& inUseBeside, bool overlay);

// The caption note of a move whose colours were mapped.
extern const char* const kColoursMappedNote;

}  // namespace zudizar

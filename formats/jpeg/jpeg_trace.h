// The decoder's trace records: numbers and texts in one table. Every format
// error the decoder notices is logged with one of these and decoding goes on.
#pragma once

#include <functional>
#include <string>

namespace zudizar::jpeg {

enum class Trace : int {
  kMarkerPosition = 9600,
  kTem = 9602,
  kNotBaseline = 9604,
  kPrecision = 9605,
  kWidthTooLarge = 9606,
  kHeightTooLarge = 9607,
  kComponentCount = 9608,
  kHorizontalFactor = 9610,
  kVerticalFactor = 9611,
  kUndefinedQuantTable = 9612,
  kHuffmanTableNumber = 9613,
  kDhtLength = 9614,
  kSosLength = 9615,
  kScanComponentCount = 9617,
  kUndefinedComponent = 9618,
  kUndefinedDcTable = 9619,
  kUndefinedAcTable = 9620,
  kTooManyBlocks = 9621,
  kUnsupportedBlockCount = 9622,
  kDqtLength = 9623,
  kTooManyQuantTables = 9624,
  kQuantTableNumber = 9625,
  kDriLength = 9626,
  kRestartMarker = 9627,
  kMarkerInData = 9628,
};

// The stored text of a record, before any number is appended.
const char* TraceText(Trace trace);

// Two upper-case hexadecimal digits, as the records show table and component numbers.
std::string Hex2(int value);

// Where the decoder sends its records; by default the program's trace log.
using TraceSink = std::function<void(int number, const std::string& text)>;

// Sends one record: the table text, then `suffix` (a number or two hex digits).
void Report(const TraceSink& sink, Trace trace, const std::string& suffix = {});

}  // namespace zudizar::jpeg

#include "formats/jpeg/jpeg_decoder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "base/trace.h"
#include "formats/jpeg/jpeg_huffman.h"
#include "formats/jpeg/jpeg_idct.h"
#include "formats/jpeg/jpeg_markers.h"
#include "formats/jpeg/jpeg_tables.h"

namespace zudizar::jpeg {
namespace {

// Stands in for a table the scan names but no DHT defined: no code matches,
// so every symbol uses 16 bits and decodes as 0.
const HuffmanTable& MissingTable() {
  static const HuffmanTable table = [] {
    HuffmanTable t;
    const std::uint8_t counts[16] = {};
    t.Build(0xFF, counts, nullptr, 0);
    return t;
  }();
  return table;
}

constexpr std::int16_t kZeroQuant[64] = {};

// Where the blocks of an MCU go, by block count.
struct Layout {
  bool valid = false;
  bool grey = false;
  int width = 8, height = 8;
  int luminanceCount = 0;
  int ox[4] = {}, oy[4] = {};
  int hShift = 0, vShift = 0;
  int cb = 0, cr = 0;
};

Layout LayoutFor(int blockCount) {
  Layout l;
  switch (blockCount) {
    case 1: l = {true, true, 8, 8, 1, {0}, {0}, 0, 0, 0, 0}; break;
    case 3: l = {true, false, 8, 8, 1, {0}, {0}, 0, 0, 1, 2}; break;
    case 4:  // always two luminance blocks side by side
      l = {true, false, 16, 8, 2, {0, 8}, {0, 0}, 1, 0, 2, 3};
      break;
    case 6: l = {true, false, 16, 16, 4, {0, 8, 0, 8}, {0, 0, 8, 8}, 1, 1, 4, 5}; break;
    default: break;
  }
  return l;
}

class ScanDecoder {
 public:
  ScanDecoder(DecoderState& state, ByteSource& source, PixelSink& sink, ProgressSink* progress, const TraceSink& trace,
              const ScanSetup& scan)
      : state_(state),
        source_(source),
        sink_(sink),
        progress_(progress),
        trace_(trace),
        scan_(scan),
        reader_(source.Data(), source.Size()),
        layout_(LayoutFor(scan.blockCount)),
        recorder_([this](int number, const std::string& text) {
          Send(trace_, number, text);
          if (recording_) records_.push_back({point_, number, text});
        }) {
    for (int b = 0; b < scan.blockCount; ++b) {
      const McuBlock& block = scan.blocks[b];
      tables_[b] = {block.dcTable >= 0 ? &state.huffman[block.dcTable] : &MissingTable(),
                    block.acTable >= 0 ? &state.huffman[block.acTable] : &MissingTable(),
                    block.quantTable >= 0 ? state.quant[block.quantTable].values.data() : kZeroQuant,
                    &state.slots[block.slot].predictor};
    }
  }

  // Sets aside up to `bytes` for the preview pass to keep the coefficients
  // it decodes, so that the full pass need not decode them again.
  void AllowStore(std::int64_t bytes) {
    const std::int64_t worst = std::int64_t{kStoredBlockBytes} * scan_.blockCount;
    if (bytes < worst) return;
    // Left uninitialised: only the pages written become resident.
    store_.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(bytes)]);
    if (store_) storeEnd_ = store_.get() + bytes - worst;
  }

  // Runs one pass; returns the read cursor after it.
  //
  // With a store the preview pass keeps each MCU's coefficients and the trace
  // records it sends, by where in the walk they came; the full pass reads
  // the MCUs back and sends the same records at the same places. When the
  // store fills up the preview pass keeps the reader as it is at the next
  // MCU, and the full pass walks the data on from there.
  template <bool kPreview>
  std::size_t RunPass() {
    const int width = state_.width;
    const int height = state_.height;
    const int mcusPerRow = (width / 8 + scan_.hMax - 1) / scan_.hMax;
    const int mcuRows = (height / 8 + scan_.vMax - 1) / scan_.vMax;
    ClearPredictors();
    reader_.Start(scan_.dataStart);
    const int interval = state_.restartInterval;
    int countdown = interval;
    std::int64_t mcu = 0;
    bool storing = kPreview && store_ != nullptr;
    bool fromStore = !kPreview && store_ != nullptr && storedMcus_ > 0;
    std::uint8_t* write = store_.get();
    const std::uint8_t* read = store_.get();
    recording_ = storing;
    active_ = storing ? &recorder_ : &trace_;
    for (int row = 0; row < mcuRows; ++row) {
      for (int column = 0; column < mcusPerRow; ++column, ++mcu) {
        if (kPreview && storing && write > storeEnd_) {
          Stop(mcu);
          storing = false;
        }
        if (!kPreview && fromStore && mcu == storedMcus_) {
          Resume();
          fromStore = false;
        }
        point_ = 2 * mcu;
        if (interval > 0) {
          if (countdown == 0) {
            if (fromStore)
              Replay();
            else
              Restart();
            countdown = interval;
          }
          --countdown;
        }
        point_ = 2 * mcu + 1;
        if (fromStore) {
          std::memset(coefficients_, 0, sizeof(coefficients_[0]) * scan_.blockCount);
          LoadStoredBlocks(tables_, scan_.blockCount, coefficients_, lastIndex_, &read);
          Replay();
        } else {
          if (kPreview && storing) {
            DecodeBlocks<BlockOutput::kStore>(reader_, tables_, scan_.blockCount, coefficients_, lastIndex_, &write);
          } else if (kPreview) {
            DecodeBlocks<BlockOutput::kDc>(reader_, tables_, scan_.blockCount, coefficients_, lastIndex_);
          } else {
            std::memset(coefficients_, 0, sizeof(coefficients_[0]) * scan_.blockCount);
            DecodeBlocks<BlockOutput::kBlocks>(reader_, tables_, scan_.blockCount, coefficients_, lastIndex_);
          }
          reader_.ReportTakenMarkers(*active_);
        }
        if (!layout_.valid) continue;
        const int x = column * layout_.width;
        const int y = row * layout_.height;
        if (x >= state_.frameWidth || y >= state_.frameHeight) continue;
        if (kPreview)
          OutputPreview(x, y);
        else
          OutputFull(x, y);
      }
      if (kPreview && !previewAreas_.empty()) {
        sink_.PreviewBlocks(previewAreas_, previewColours_);
        previewAreas_.clear();
        previewColours_.clear();
      }
      const int percent = mcuRows > 1 ? row * 100 / (mcuRows - 1) : 100;
      ReportProgress(progress_, percent, kPreview ? 0 : 1);
    }
    point_ = 2 * mcu;
    if (kPreview && storing) storedMcus_ = mcu;
    if (fromStore) {
      Replay();
      return storedCursor_;
    }
    const std::size_t cursor = reader_.Cursor();
    reader_.ReportTakenMarkers(*active_);
    if (kPreview) storedCursor_ = cursor;
    return cursor;
  }

 private:
  void ClearPredictors() {
    for (auto& slot : state_.slots) slot.predictor = 0;
  }

  void Restart() {
    const std::size_t cursor = reader_.Cursor();
    reader_.ReportTakenMarkers(*active_);
    source_.Seek(cursor);
    const int first = source_.Byte();
    const int second = source_.Byte();
    if (first != 0xFF || second < 0xD0 || second > 0xD7) Report(*active_, Trace::kRestartMarker);
    reader_.Start(source_.Cursor());
    ClearPredictors();
  }

  // The store is full before MCU `mcu`: what the full pass needs to walk on
  // from there.
  void Stop(std::int64_t mcu) {
    storedMcus_ = mcu;
    resumeReader_ = reader_;
    for (std::size_t i = 0; i < state_.slots.size(); ++i) resumePredictors_[i] = state_.slots[i].predictor;
    recording_ = false;
  }

  void Resume() {
    reader_ = resumeReader_;
    for (std::size_t i = 0; i < state_.slots.size(); ++i) state_.slots[i].predictor = resumePredictors_[i];
    active_ = &trace_;
  }

  // Sends the preview pass's records made at the current place again.
  void Replay() {
    while (replayed_ < records_.size() && records_[replayed_].point == point_) {
      const Record& r = records_[replayed_++];
      Send(trace_, r.number, r.text);
    }
  }

  static void Send(const TraceSink& trace, int number, const std::string& text) {
    if (trace)
      trace(number, text);
    else
      TraceRecord(number, text);
  }

  void OutputPreview(int x0, int y0) {
    for (int j = 0; j < layout_.luminanceCount; ++j) {
      const int x = x0 + layout_.ox[j];
      const int y = y0 + layout_.oy[j];
      if (x >= state_.frameWidth || y >= state_.frameHeight) continue;
      const Rgb colour =
          layout_.grey ? PreviewGrey(coefficients_[j][0])
                       : PreviewColour(coefficients_[j][0], coefficients_[layout_.cb][0], coefficients_[layout_.cr][0]);
      previewAreas_.push_back({x, y, std::min(8, state_.frameWidth - x), std::min(8, state_.frameHeight - y)});
      previewColours_.push_back(colour);
    }
  }

  void Transform(int b) {
    if (lastIndex_[b] != 0) {
      InverseDctTransposed(coefficients_[b], lastIndex_[b]);
    } else {
      const std::int16_t value = InverseDctOfDc(coefficients_[b][0]);
      std::fill(coefficients_[b], coefficients_[b] + 64, value);
    }
  }

  // Two blocks: together when both need the whole transform, which costs
  // less than two apart.
  void TransformTwo(int a, int b) {
    if (lastIndex_[a] != 0 && lastIndex_[b] != 0)
      InverseDctTransposedPair(coefficients_[a], lastIndex_[a], coefficients_[b], lastIndex_[b]);
    else
      Transform(a), Transform(b);
  }

  void OutputFull(int x0, int y0) {
    if (!layout_.grey) {
      if (lastIndex_[layout_.cb] == 0 && lastIndex_[layout_.cr] == 0) {
        PrepareFlatChroma(InverseDctOfDc(coefficients_[layout_.cb][0]), InverseDctOfDc(coefficients_[layout_.cr][0]),
                          chroma_);
      } else {
        TransformTwo(layout_.cb, layout_.cr);
        PrepareChroma(coefficients_[layout_.cb], coefficients_[layout_.cr], chroma_);
      }
    }
    // Luminance blocks past the picture's edge are transformed too (only at
    // the right and bottom edges), so that pairs stay pairs; their pixels are
    // not handed on.
    if (layout_.luminanceCount == 1) {
      Transform(0);
    } else {
      for (int j = 0; j < layout_.luminanceCount; j += 2) TransformTwo(j, j + 1);
    }
    for (int j = 0; j < layout_.luminanceCount; ++j) {
      const int x = x0 + layout_.ox[j];
      const int y = y0 + layout_.oy[j];
      if (x >= state_.frameWidth || y >= state_.frameHeight) continue;
      if (layout_.grey)
        ConvertGreyBlock(coefficients_[j], pixels_);
      else
        ConvertBlock(coefficients_[j], chroma_, layout_.ox[j], layout_.oy[j], layout_.hShift, layout_.vShift, pixels_);
      sink_.Block(x, y, std::min(8, state_.frameWidth - x), std::min(8, state_.frameHeight - y), pixels_);
    }
  }

  DecoderState& state_;
  ByteSource& source_;
  PixelSink& sink_;
  ProgressSink* progress_;
  const TraceSink& trace_;
  const ScanSetup& scan_;
  BitReader reader_;
  Layout layout_;
  // The coefficient store: MCUs [0, storedMcus_) of the preview pass, and
  // where its walk ended when it kept them all.
  std::unique_ptr<std::uint8_t[]> store_;
  const std::uint8_t* storeEnd_ = nullptr;  // an MCU starting past it may not fit
  std::int64_t storedMcus_ = 0;
  std::size_t storedCursor_ = 0;
  BitReader resumeReader_{nullptr, 0};
  std::uint32_t resumePredictors_[kComponentSlots] = {};
  // Trace records by place: 2 m before MCU m (its restart), 2 m + 1 after it.
  struct Record {
    std::int64_t point;
    int number;
    std::string text;
  };
  std::vector<Record> records_;
  std::size_t replayed_ = 0;
  std::int64_t point_ = 0;
  bool recording_ = false;
  TraceSink recorder_;
  const TraceSink* active_ = &trace_;
  BlockTables tables_[kMaxMcuBlocks] = {};
  // The preview blocks of the current MCU row: handed over together, so
  // that their colour look-ups, each a likely cache miss, overlap.
  std::vector<PreviewArea> previewAreas_;
  std::vector<Rgb> previewColours_;
  std::uint8_t lastIndex_[kMaxMcuBlocks] = {};
  alignas(32) std::int16_t coefficients_[kMaxMcuBlocks][64] = {};
  alignas(32) ChromaTerms chroma_{};
  alignas(32) BlockPixels pixels_{};
};

// The preview pass keeps the coefficients in half as many bytes again as
// the picture's indices take, up to a fixed cap; a scan that needs more
// walks the data again for the rest. The index size alone barely holds a
// quality-90 photo, and noisier ones lost the store part way.
std::int64_t StoreBytes(const DecodeOptions& options, int width, int height) {
  if (options.coefficientStoreBytes >= 0) return options.coefficientStoreBytes;
  constexpr std::int64_t kCap = std::int64_t{64} << 20;
  const std::int64_t indices = std::int64_t{width} * height;
  return std::min<std::int64_t>(kCap, indices + indices / 2);
}

bool IsFrameMarker(int code) {
  return (code >= 0xC0 && code <= 0xC3) || (code >= 0xC5 && code <= 0xCB) || (code >= 0xCD && code <= 0xCF);
}

}  // namespace

void DecodePadded(std::span<const std::uint8_t> padded, PixelSink& sink, ProgressSink* progress,
                  const DecodeOptions& options) {
  const TraceSink& trace = options.trace;
  ByteSource source(padded.data(), padded.size());
  const std::size_t fileEnd = padded.size() >= kTailBytes ? padded.size() - kTailBytes : 0;
  DecoderState state;
  state.huffman.reserve(kHuffmanSlots);
  HeaderParser parser(source, state, trace);
  parser.SkipToStartOfImage();
  while (!source.AtEnd()) {
    const int first = source.Byte();
    if (first != 0xFF) Report(trace, Trace::kMarkerPosition, std::to_string(first));
    const int code = source.Byte();
    if (code == 0x01) {
      Report(trace, Trace::kTem, {});
    } else if (IsFrameMarker(code)) {
      if (code != 0xC0) Report(trace, Trace::kNotBaseline);
      parser.ReadFrame();
    } else if (code == 0xC4) {
      parser.ReadHuffmanTables();
    } else if (code == 0xDB) {
      parser.ReadQuantTables();
    } else if (code == 0xDD) {
      parser.ReadRestartInterval();
    } else if (code == 0xDA) {
      const ScanSetup scan = parser.ReadScanHeader();
      const int width = state.frameWidth;
      const int height = state.frameHeight;
      // A frame that cannot become a picture ends decoding.
      if (!ImageSizeAllowed(width, height) || static_cast<std::int64_t>(width) * height > options.maxPixels) return;
      // Only the MCU rows the data can hold are made: a few bytes never
      // cost a whole picture of zeros.
      const std::int64_t mcusPerRow = (state.width / 8 + scan.hMax - 1) / scan.hMax;
      const std::int64_t mcuRows = (state.height / 8 + scan.vMax - 1) / scan.vMax;
      const std::int64_t dataBytes = scan.dataStart < fileEnd ? static_cast<std::int64_t>(fileEnd - scan.dataStart) : 0;
      bool cut = false;
      if (mcusPerRow > 0 && dataBytes < LeastScanBytes(mcusPerRow * mcuRows)) {
        const std::int64_t rows = std::max<std::int64_t>(1, (dataBytes * 8 + mcusPerRow - 1) / mcusPerRow);
        const int kept = static_cast<int>(std::min<std::int64_t>(height, rows * 8 * scan.vMax));
        state.frameHeight = kept;
        state.height = (kept + 7) / 8 * 8;
        cut = true;
      }
      if (!sink.StartImage(width, state.frameHeight)) return;
      ScanDecoder decoder(state, source, sink, progress, trace, scan);
      decoder.AllowStore(StoreBytes(options, state.width, state.height));
      decoder.RunPass<true>();
      const std::size_t after = decoder.RunPass<false>();
      if (cut || after > fileEnd) sink.DataEnded();
      source.Seek(after);
    } else if (code >= 0xD0 && code <= 0xD8) {
      // RSTn and SOI carry no segment.
    } else if (code == 0xD9) {
      return;
    } else {
      parser.SkipSegment();
    }
  }
}

void Decode(std::span<const std::uint8_t> bytes, PixelSink& sink, ProgressSink* progress,
            const DecodeOptions& options) {
  std::vector<std::uint8_t> padded(bytes.size() + kTailBytes, 0);
  if (!bytes.empty()) std::memcpy(padded.data(), bytes.data(), bytes.size());
  DecodePadded(padded, sink, progress, options);
}

}  // namespace zudizar::jpeg

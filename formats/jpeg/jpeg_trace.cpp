#include "formats/jpeg/jpeg_trace.h"

#include "base/trace.h"

namespace zudizar::jpeg {

const char* TraceText(Trace trace) {
  switch (trace) {
    case Trace::kMarkerPosition: return "書式異常(JPEGﾏｰｶｰ位置）";
    case Trace::kTem: return "TEM";
    case Trace::kNotBaseline: return "非Baseline DCT(未ｻﾎﾟｰﾄ)";
    case Trace::kPrecision: return "SOFO:標本精度が8ﾋﾞｯﾄ以外";
    case Trace::kWidthTooLarge: return "画像横ｻｲｽﾞが大きすぎる(≦";
    case Trace::kHeightTooLarge: return "画像縦ｻｲｽﾞが大きすぎる(≦";
    case Trace::kComponentCount: return "未ｻﾎﾟｰﾄ画像成分数";
    case Trace::kHorizontalFactor: return "SOFO:処理不能水平標本数";
    case Trace::kVerticalFactor: return "SOFO:処理不能垂直標本数 ";
    case Trace::kUndefinedQuantTable: return "未定義量子化表番号 ";
    case Trace::kHuffmanTableNumber: return "DHT:Huffman表番号異常";
    case Trace::kDhtLength: return "DHT:ﾌﾞﾛｯｸ長異常";
    case Trace::kSosLength: return "SOS:ﾌﾞﾛｯｸ長異常";
    case Trace::kScanComponentCount: return "SOS:画像成分数異常";
    case Trace::kUndefinedComponent: return "SOS:未定義画像成分番号 ";
    case Trace::kUndefinedDcTable: return "SOS:未定義DC-Huffman表番号";
    case Trace::kUndefinedAcTable: return "SOS:未定義AC-Huffman表番号";
    case Trace::kTooManyBlocks: return "SOS:ｽｷｬﾝ成分数が10を超える";
    case Trace::kUnsupportedBlockCount: return "未ｻﾎﾟｰﾄなｽｷｬﾝ成分数";
    case Trace::kDqtLength: return "DQT:ﾌﾞﾛｯｸ長の異常";
    case Trace::kTooManyQuantTables: return "DQT:量子化表が5以上ある";
    case Trace::kQuantTableNumber: return "DQT:量子化表番号が4以上";
    case Trace::kDriLength: return "DRI:ﾌﾞﾛｯｸ長異常";
    case Trace::kRestartMarker: return "RST処理構造異常";
    case Trace::kMarkerInData: return "MarkerError";
  }
  return "";
}

std::string Hex2(int value) {
  static const char kDigits[] = "0123456789ABCDEF";
  return {kDigits[(value >> 4) & 15], kDigits[value & 15]};
}

void Report(const TraceSink& sink, Trace trace, const std::string& suffix) {
  std::string text = TraceText(trace);
  text += suffix;
  if (sink)
    sink(static_cast<int>(trace), text);
  else
    TraceRecord(static_cast<int>(trace), text);
}

}  // namespace zudizar::jpeg

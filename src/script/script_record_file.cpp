// The script record: one layer's operation list as a stored block, alone in an effect file
// or inside a layer record.
//
// Head: version byte, byte-order mark, a 255-byte description, the first 255 bytes of the
// target file's name field, the preview flag and two caller values, a 67600-byte preview,
// the picture's width, height and colour model, and the operation count (at 68128). Then
// each operation: its 56-byte head, its 2396-byte selection extension (version 2) and its
// effect's own blocks (script/script_blocks.h). Everything little-endian.
//
// The record is built whole in memory and written with one positioned write, so a record
// that cannot be built (an effect without a codec) writes nothing. Saving writes parameters
// in the session's preview units without touching the operations: each operation's values
// are scaled for its blocks and then given back exactly as they were. Reading builds a new
// chain; only a whole, valid record replaces the caller's list and count.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

#include "app/core/session_state.h"
#include "app/file_access.h"
#include "engines/records/session_defaults.h"
#include "operations/effects.h"
#include "platform/toolbox/api/ui_services.h"
#include "script/blur_spread.h"
#include "script/layers.h"
#include "script/script_blocks.h"
#include "script/script_file.h"
#include "script/script_record_file.h"
#include "script/wind_reach.h"

using plat::bytes::Reader;
using plat::bytes::Writer;

namespace {

constexpr int16_t kBadVersionAlert = 16127;

// The preview block's zeros, written when the caller gives none.
int16_t ClampToShort(float v) {
  const float t = std::trunc(v);
  if (!(t > -32768.0f)) return t < 0.0f ? INT16_MIN : 0;
  return t >= 32767.0f ? INT16_MAX : static_cast<int16_t>(t);
}

int32_t ClampToLong(float v) {
  const float t = std::trunc(v);
  if (!(t > -2147483648.0f)) return t < 0.0f ? INT32_MIN : 0;
  return t >= 2147483647.0f ? INT32_MAX : static_cast<int32_t>(t);
}

bool In(EffectCode e, std::initializer_list<EffectCode> list) {
  return std::find(list.begin(), list.end(), e) != list.end();
}

// Scales the size-dependent parameters of one operation; a is the rounding addend of the
// 16-bit parameters (the path record's values always use 0.5).
void ScaleOprn(Oprn* op, float sx, float sy, float a, int16_t scaleFlag) {
  const EffectCode e = op->Effect;
  auto scale = [a](int16_t& field, float s) { field = ClampToShort(s * field + a); };
  if (scaleFlag == 1 && In(e, {35, 36, 51})) {
    scale(op->Param2, sx);
    scale(op->Param3, sy);
  }
  if (In(e, {7, 8, 11, 12, 19, 20, 25, 27, 52, 53, 56, 90, 91})) scale(op->Param1, sx);
  if (In(e, {7, 8, 19, 20, 25, 44, 53, 56, 90, 91})) scale(op->Param2, sy);
  if (e == 28 && op->Path3D != nullptr)
    for (int k = 0; k < 8; ++k)
      op->Path3D->rects[k] =
          ClampToLong((k % 2 == 0 ? sx : sy) * static_cast<float>(op->Path3D->rects[k]) + 0.5f);
}

float Ratio(int32_t num, int32_t den) {
  return den > 0 ? static_cast<float>(num) / static_cast<float>(den) : 1.0f;
}

// The spread (variance, in squared samples) of the blur of every radius it takes, measured
// on a step edge: the pyramid blur's spread does not grow with its radius (7 spreads twice as
// wide as 8, 11 about as wide as 36), so a radius scaled as a length lands on another step of it.
constexpr int32_t kMaxBlurRadius = 199;  // the blur holds its radius there
using BlurSpreadTable = std::array<double, kMaxBlurRadius + 1>;

// Measures every radius (an entry that cannot be measured is negative); false when a blur could
// not be had (its work planes come from the session's registry, which may be short of memory at
// that moment).
bool MeasureBlurSpreads(BlurSpreadTable* out) {
  // Wide enough for the widest spread (some 700 samples across at 199) to stay clear of the
  // ends; two rows, the least the pyramid halves.
  constexpr int32_t kWidth = 8192, kRows = 2;
  std::vector<uint8_t> plane(static_cast<size_t>(kWidth) * kRows);
  for (int32_t r = 0; r <= kMaxBlurRadius; ++r) {
    for (int32_t y = 0; y < kRows; ++y)
      for (int32_t x = 0; x < kWidth; ++x) plane[static_cast<size_t>(y) * kWidth + x] = x < kWidth / 2 ? 0 : 255;
    if (Effects::Blur(0, 255, plane.data(), nullptr, kWidth, kRows, 0, 0, kWidth - 1, kRows - 1,
                      static_cast<int16_t>(r), 1) != 0)
      return false;
    double sum = 0.0, first = 0.0, second = 0.0;
    for (int32_t x = 1; x < kWidth; ++x) {
      const double d = static_cast<double>(plane[x]) - plane[x - 1];
      sum += d;
      first += d * x;
      second += d * x * x;
    }
    // An edge that does not rise says nothing of the spread: the entry stays out of the search.
    (*out)[r] = sum > 0.0 ? second / sum - (first / sum) * (first / sum) : -1.0;
  }
  return true;
}

// The table, measured once on the first query that can measure it whole; null while none
// could. A query that finds memory short keeps nothing of it, so the next one measures again:
// a blur that failed once must not stand for that radius's spread for the life of the process.
const BlurSpreadTable* BlurSpreads() {
  static std::mutex lock;
  static BlurSpreadTable table{};
  static bool measured = false;
  // The window's thread and the preview worker both read fitted scripts.
  const std::lock_guard<std::mutex> hold(lock);
  if (!measured) measured = MeasureBlurSpreads(&table);
  return measured ? &table : nullptr;
}

// The radius whose blur, on planes `scale` times the picture's size (smaller or larger),
// spreads as the blur of `radius` on the picture does once the picture is scaled as much; -1
// when the spreads could not be measured. A spread wider than the blur's widest takes the
// widest: the blur holds its radius at its largest, and so does the render of the picture.
int32_t FittedBlurRadius(int32_t radius, float scale) {
  const BlurSpreadTable* spreads = BlurSpreads();
  if (spreads == nullptr) return -1;
  const BlurSpreadTable& spread = *spreads;
  radius = std::clamp(radius, 0, kMaxBlurRadius);
  if (spread[radius] < 0.0) return -1;
  const double want = spread[radius] * static_cast<double>(scale) * scale;
  int32_t best = -1;
  for (int32_t r = 0; r <= kMaxBlurRadius; ++r)
    if (spread[r] >= 0.0 && (best < 0 || std::fabs(spread[r] - want) < std::fabs(spread[best] - want))) best = r;
  return best;
}

// A length in the picture's pixels at the preview's scale, at least 1 where it was.
int16_t ScaledLength(int16_t v, float scale) {
  if (v <= 0) return v;
  return static_cast<int16_t>(std::clamp(static_cast<int32_t>(v * scale + 0.5f), 1, int32_t{INT16_MAX}));
}

// A signed length at the preview's scale, its size at least 1 where it was.
int16_t ScaledSignedLength(int16_t v, float scale) {
  if (v >= 0) return ScaledLength(v, scale);
  const auto size = static_cast<int16_t>(std::min<int32_t>(-int32_t{v}, INT16_MAX));
  return static_cast<int16_t>(-ScaledLength(size, scale));
}

// An offset at the preview's scale, to the nearest sample.
int16_t ScaledOffset(int16_t v, float scale) {
  return static_cast<int16_t>(std::clamp(static_cast<int32_t>(std::lround(v * static_cast<double>(scale))),
                                         int32_t{INT16_MIN}, int32_t{INT16_MAX}));
}

// Lengths a render of the whole picture takes in its pixels that neither the reader nor the
// render scales, drawn at a fitted preview's scale (viewX, viewY: the planes' samples per
// picture pixel, below 1 on planes smaller than the picture and above 1 on the supersampled
// planes of a picture less than three times the view); `stored` is Param1 as the record held
// it and fullX the reader's factor for the whole picture. A length of 0 stays 0 at any scale
// (a disc of 0 grows nothing, one of 1 a pixel). The render reads the same record as before.
void PreviewLengths(Oprn* op, int16_t stored, float fullX, float viewX, float viewY) {
  switch (op->Effect) {
    case 11: {  // blur: the radius of the same spread (else the radius the reader scaled)
      const int32_t radius = FittedBlurRadius(ClampToShort(stored * fullX + 0.5f), viewX);
      if (radius >= 0) op->Param1 = static_cast<int16_t>(radius);
      break;
    }
    case 32:  // wind: the length that carries the planes as far as the picture's, scaled
      op->Param1 = FittedWindLength(op->Param1, op->Param3, viewX);
      break;
    case 33: {  // shadow: the blur of the same spread, and the shadow's offset
      const int32_t radius = FittedBlurRadius(op->Param1, viewX);
      if (radius >= 0) op->Param1 = static_cast<int16_t>(radius);
      op->Param2 = ScaledOffset(op->Param2, viewX);
      op->Param3 = ScaledOffset(op->Param3, viewY);
      break;
    }
    case 34:  // growing and shrinking the bright shapes: the disc's radius (a negative
    case 47:  // one shrinks the dark shapes)
    case 48:
      op->Param1 = ScaledSignedLength(op->Param1, viewX);
      break;
    case 84:   // motion blur: the streak's length
    case 122:  // film grain: drawn a sample at a time, and each view pixel of the result
               // scaled down is the mean of 1 / scale^2 of them, whose grain is as many times
               // fainter as the scale is below 1: the preview's amount at that scale
      op->Param1 = ScaledLength(op->Param1, viewX);
      break;
    case 120:  // mosaic: the blocks' width and height
      op->Param1 = ScaledLength(op->Param1, viewX);
      op->Param2 = ScaledLength(op->Param2, viewY);
      break;
    default:
      break;
  }
}

// The scale factors of saving: the session's preview size over the script's area.
void SaveFactors(const ScriptFile& s, float* sx, float* sy) {
  *sx = Ratio(SessionPhotoWidth(), s.areaWidth);
  *sy = Ratio(SessionPhotoHeight(), s.areaHeight);
}

// The values that scaling changes, to put them back exactly.
struct ScaledValues {
  int16_t p1, p2, p3;
  int32_t rects[8];
};

ScaledValues Keep(const Oprn* op) {
  ScaledValues v{op->Param1, op->Param2, op->Param3, {}};
  if (op->Path3D != nullptr) std::copy(op->Path3D->rects, op->Path3D->rects + 8, v.rects);
  return v;
}

void Restore(Oprn* op, const ScaledValues& v) {
  op->Param1 = v.p1;
  op->Param2 = v.p2;
  op->Param3 = v.p3;
  if (op->Path3D != nullptr) std::copy(v.rects, v.rects + 8, op->Path3D->rects);
}

// --- The operation's head ---------------------------------------------------------------

void WriteOprnHead(Writer& w, const Oprn& op) {
  w.i16(op.Effect);
  w.i8(op.Act);
  w.i8(op.FromChannel);
  w.i8(op.ToChannel);
  w.i8(op.IntExt);
  w.i8(op.MChannel);
  w.u8(0);
  for (int16_t p : {op.Param1, op.Param2, op.Param3, op.Param4, op.Param5}) w.i16(p);
  w.u8(op.Mode);
  w.u8(op.Opa);
  w.i16(op.Param99);
  w.zeros(2 + 8 * 4);  // reserved bytes, the pointer words and the word between them
}

void ReadOprnHead(Reader& r, Oprn* op) {
  op->Effect = r.i16();
  op->Act = r.i8();
  op->FromChannel = r.i8();
  op->ToChannel = r.i8();
  op->IntExt = r.i8();
  op->MChannel = r.i8();
  r.skip(1);
  for (int16_t* p : {&op->Param1, &op->Param2, &op->Param3, &op->Param4, &op->Param5})
    *p = r.i16();
  const uint8_t mode = r.u8();
  op->Mode = mode > 11 ? 0 : mode;
  op->Opa = r.u8();
  op->Param99 = r.i16();
  r.skip(2 + 8 * 4);
}

// --- Whole record -------------------------------------------------------------------------

void PutBytes(Writer& w, const void* data, size_t size, size_t field) {
  if (data != nullptr)
    w.raw(data, std::min(size, field));
  else
    w.zeros(std::min(size, field));
  if (size < field) w.zeros(field - size);
}

// One operation's blocks; -1 when its effect has blocks but no codec, or a record is
// refused.
int32_t WriteOprn(ScriptFile& s, Writer& w, Oprn* op, uint8_t version, float sx, float sy,
                  int16_t scaleFlag) {
  const ScriptBlockCodec* codec = nullptr;
  if (ScriptBlockCodecFor(op->Effect, &codec, nullptr) != 0) return -1;
  if (version == 2 && op->SelOprnExt == nullptr) {
    // An operation saved without an extension keeps the default one it is given.
    op->SelOprnExt = NewRecord<OprnExt>();
    if (op->SelOprnExt == nullptr) return -1;
    InitOprnExt(op->SelOprnExt);
  }
  const ScaledValues kept = Keep(op);
  ScaleOprn(op, sx, sy, 0.95f, scaleFlag);
  WriteOprnHead(w, *op);
  if (version == 2) {
    vmkrec::StoreVisitor v;
    VisitRecord(v, *op->SelOprnExt);
    w.raw(v.data().data(), v.size());
  }
  const int32_t result = codec != nullptr ? codec->write(s, *op, w) : 0;
  Restore(op, kept);
  return result;
}

}  // namespace

namespace scriptrecord {

int32_t BuildScriptRecord(ScriptFile& s, int16_t count, Oprn* first, const fichier& target,
                          const char* preview, int16_t value1, int16_t value2, const char* text,
                          int16_t scaleFlag, std::vector<uint8_t>* out) {
  Writer w;
  const uint8_t version = s.version;
  w.u8(version);
  w.u8(0);  // our converted blocks are little-endian
  PutBytes(w, text, kScriptTextSize, kScriptTextSize);
  w.raw(target.name, kScriptTextSize);
  w.i16(preview != nullptr ? 1 : 0);
  w.i16(value1);
  w.i16(value2);
  PutBytes(w, preview, kScriptPreviewSize, kScriptPreviewSize);
  w.i32(s.width);
  w.i32(s.height);
  w.i16(s.colourModel);
  const size_t countAt = w.size();
  w.i16(0);
  float sx = 1.0f, sy = 1.0f;
  SaveFactors(s, &sx, &sy);
  int16_t written = 0;
  for (Oprn* op = first; op != nullptr && written < count; op = op->NextOprn, ++written)
    if (WriteOprn(s, w, op, version, sx, sy, scaleFlag) != 0) return -1;
  std::vector<uint8_t> bytes = w.take();
  // The count says how many operations the record holds, not how many were asked for.
  plat::bytes::storeLE16(bytes.data() + countAt, static_cast<uint16_t>(written));
  *out = std::move(bytes);
  return 0;
}

int32_t ParseScriptRecord(ScriptFile& s, const uint8_t* data, size_t size, int16_t quiet,
                          ParsedScript* parsed) {
  Reader r(data, size);
  const auto version = static_cast<int8_t>(r.u8());
  if (!r.ok()) return -1;
  if (version <= 0) {
    if (quiet == 0) {
      plat::ui::AlertRequest alert;
      alert.alertId = kBadVersionAlert;
      plat::ui::Alert(alert);
    }
    return -1;
  }
  const uint8_t mark = r.u8();
  r.skip(2 * kScriptTextSize + 6 + kScriptPreviewSize);
  parsed->width = r.i32();
  parsed->height = r.i32();
  r.i16();  // colour model: the reading script keeps its own
  const int16_t count = r.i16();
  if (!r.ok() || count < 0 || static_cast<size_t>(count) * kOprnHeadSize > r.remaining())
    return -1;
  Oprn* last = nullptr;
  for (int16_t k = 0; k < count; ++k) {
    auto* op = new (std::nothrow) Oprn;
    if (op == nullptr) return -1;
    InitOprn(op);
    // Linked first, so that the chain frees it on any failure below.
    (last == nullptr ? parsed->first : last->NextOprn) = op;
    last = op;
    ReadOprnHead(r, op);
    if (!r.ok()) return -1;
    if (version == 2) {
      op->SelOprnExt = NewRecord<OprnExt>();
      if (op->SelOprnExt == nullptr ||
          !scriptblock::LoadBlock(r, mark, scriptblock::Storage::Converted, OprnExt::kBlockSize,
                                  *op->SelOprnExt, scriptblock::WholeRecord{}))
        return -1;
    }
    const ScriptBlockCodec* codec = nullptr;
    if (ScriptBlockCodecFor(op->Effect, &codec, nullptr) != 0) return -1;
    if (codec != nullptr && codec->read(s, *op, r, mark) != 0) return -1;
    if (!r.ok()) return -1;
    parsed->count = static_cast<int16_t>(k + 1);
  }
  parsed->used = r.pos();
  return 0;
}

}  // namespace scriptrecord

using scriptrecord::kScriptPreviewSize;
using scriptrecord::kScriptTextSize;

void ScriptFile::CreateParamsForSave(Oprn* first, int16_t scaleFlag) {
  float sx = 1.0f, sy = 1.0f;
  SaveFactors(*this, &sx, &sy);
  for (Oprn* op = first; op != nullptr; op = op->NextOprn) ScaleOprn(op, sx, sy, 0.95f, scaleFlag);
}

void ScriptFile::UpdateOprnParams(Oprn* first, int32_t w, int32_t h, float fx, float fy,
                                  int16_t scaleFlag) {
  const float sx = Ratio(areaWidth, w) * fx;
  const float sy = Ratio(areaHeight, h) * fy;
  // A render of the whole picture reads into an area of the picture's size.
  const float fullX = Ratio(width, w) * fx;
  const float viewX = Ratio(areaWidth, width), viewY = Ratio(areaHeight, height);
  // Planes larger than the picture need their lengths as much as smaller ones: a fitted
  // preview supersamples a picture under three times its view on planes up to twice the
  // picture's size each way, where lengths left in the picture's pixels draw too short. At
  // the picture's own size (OK's render, a preview at 1:1) the record is read as it is.
  const bool fitted = fittedPreview && (viewX != 1.0f || viewY != 1.0f);
  for (Oprn* op = first; op != nullptr; op = op->NextOprn) {
    const ScaledValues stored = Keep(op);
    ScaleOprn(op, sx, sy, 0.5f, scaleFlag);
    if (fitted) PreviewLengths(op, stored.p1, fullX, viewX, viewY);
  }
}

int32_t ScriptFile::SaveScriptAtPos(int16_t open, int32_t* pos, int16_t count, Oprn* first,
                                    File_kern* file, const char* preview, int16_t value1,
                                    int16_t value2, const char* text, int16_t scaleFlag) {
  if (pos == nullptr || file == nullptr || *pos < 0) return -1;
  std::vector<uint8_t> bytes;
  if (scriptrecord::BuildScriptRecord(*this, count, first, file->file, preview, value1, value2,
                                      text, scaleFlag, &bytes) != 0)
    return -1;
  if (bytes.size() > static_cast<size_t>(INT32_MAX - *pos)) return -1;
  if (open != 1 && file->S_open(0) != 0) return -1;
  int32_t result = file->S_write(bytes.data(), *pos, static_cast<int32_t>(bytes.size()));
  if (open != 1 && file->S_close() != 0) result = -1;
  if (result != 0) return -1;
  *pos += static_cast<int32_t>(bytes.size());
  return 0;
}

int32_t ScriptFile::SaveScript(int16_t count, Oprn* first, File_kern* file, const char* preview,
                               int16_t value1, int16_t value2, const char* text,
                               int16_t scaleFlag) {
  if (file == nullptr) return -1;
  std::vector<uint8_t> bytes;
  if (scriptrecord::BuildScriptRecord(*this, count, first, file->file, preview, value1, value2,
                                      text, scaleFlag, &bytes) != 0)
    return -1;
  // A file of its own is replaced whole: a failed write leaves the old one as it was, and a
  // shorter record leaves no tail of a longer one behind.
  if (file->S_open(3) != 0) return -1;
  int32_t result = file->S_write(bytes.data(), 0, static_cast<int32_t>(bytes.size()));
  if (file->S_close() != 0) result = -1;
  return result == 0 ? 0 : -1;
}

namespace {

// Reads bytes [from, to) of an open file (to -1: its end).
bool ReadSpan(File_kern* file, int32_t from, int32_t to, std::vector<uint8_t>* out) {
  int32_t eof = 0;
  if (file->S_getEOF(&eof) != 0 || from < 0 || from > eof) return false;
  const int32_t end = to < 0 ? eof : std::min(to, eof);
  if (end < from) return false;
  out->assign(static_cast<size_t>(end - from), 0);
  return out->empty() || file->S_read(out->data(), from, end - from) == 0;
}

}  // namespace

namespace scriptrecord {

int32_t RecallScriptSpan(ScriptFile& s, int32_t* pos, int32_t end, int16_t quiet, int16_t* count,
                         Oprn** first, File_kern* file, int16_t mode, char* preview,
                         int16_t* value1, int16_t* value2, char* name, char* text, float fx,
                         float fy, int16_t scaleFlag) {
  if (pos == nullptr || file == nullptr) return -1;
  if (file->S_open(0) != 0) return -1;
  std::vector<uint8_t> bytes;
  const bool read = ReadSpan(file, *pos, end, &bytes);
  file->S_close();
  if (!read) return -1;
  if (mode == 1 || mode == 2) {
    Reader r(bytes);
    r.skip(2);
    const uint8_t* head = r.cursor();
    r.skip(2 * kScriptTextSize);
    int16_t flag = 0, v1 = 0, v2 = 0;
    if (mode == 1) {
      flag = r.i16();
      v1 = r.i16();
      v2 = r.i16();
      if (flag != 0) r.skip(kScriptPreviewSize);
    }
    if (!r.ok()) return -1;
    if (text != nullptr) std::memcpy(text, head, kScriptTextSize);
    if (name != nullptr) std::memcpy(name, head + kScriptTextSize, kScriptTextSize);
    if (mode == 1) {
      if (value1 != nullptr) *value1 = v1;
      if (value2 != nullptr) *value2 = v2;
      if (preview != nullptr) {
        if (flag != 0)
          std::memcpy(preview, head + 2 * kScriptTextSize + 6, kScriptPreviewSize);
        else
          std::memset(preview, 0, kScriptPreviewSize);
      }
    }
    return 0;
  }
  if (count == nullptr || first == nullptr) return -1;
  ParsedScript parsed;
  if (ParseScriptRecord(s, bytes.data(), bytes.size(), quiet, &parsed) != 0) {
    DeleteOprnChain(parsed.first);
    return -1;
  }
  if (text != nullptr) std::memcpy(text, bytes.data() + 2, kScriptTextSize);
  if (name != nullptr) std::memcpy(name, bytes.data() + 2 + kScriptTextSize, kScriptTextSize);
  DeleteOprnChain(*first);
  *first = parsed.first;
  *count = parsed.count;
  s.UpdateOprnParams(parsed.first, parsed.width, parsed.height, fx, fy, scaleFlag);
  *pos += static_cast<int32_t>(parsed.used);
  return 0;
}

int16_t LargestBlurAmount(const ScriptFile& s, int16_t upTo) {
  float sx = 1.0f, sy = 1.0f;
  SaveFactors(s, &sx, &sy);
  // The render reads the saved record into an area of the picture's size.
  const float rx = Ratio(SessionPhotoWidth(), s.width);
  for (int16_t amount = 1; amount < upTo; ++amount) {
    const int16_t saved = ClampToShort(sx * amount + 0.95f);
    if (ClampToShort(rx * saved + 0.5f) >= kMaxBlurRadius) return amount;
  }
  return upTo;
}

}  // namespace scriptrecord

int32_t ScriptFile::RecallScriptAtPos(int32_t* pos, int16_t quiet, int16_t* count, Oprn** first,
                                      File_kern* file, int16_t mode, char* preview,
                                      int16_t* value1, int16_t* value2, char* name, char* text,
                                      float fx, float fy, int16_t scaleFlag) {
  return scriptrecord::RecallScriptSpan(*this, pos, -1, quiet, count, first, file, mode, preview,
                                        value1, value2, name, text, fx, fy, scaleFlag);
}

int32_t ScriptFile::RecallScript(int16_t quiet, int16_t* count, Oprn** first, File_kern* file,
                                 int16_t mode, char* preview, int16_t* value1, int16_t* value2,
                                 char* name, char* text, float fx, float fy, int16_t scaleFlag) {
  int32_t pos = 0;
  return RecallScriptAtPos(&pos, quiet, count, first, file, mode, preview, value1, value2, name,
                           text, fx, fy, scaleFlag);
}

double PyramidBlurSpread(int32_t radius) {
  const BlurSpreadTable* spreads = BlurSpreads();
  return spreads != nullptr ? (*spreads)[std::clamp(radius, 0, kMaxBlurRadius)] : -1.0;
}

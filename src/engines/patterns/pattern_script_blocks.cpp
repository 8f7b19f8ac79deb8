// How the pattern and generator families' records travel in a stored script record: which
// form of each record, how long its block is, and what reading does after it.
//
// Several blocks are longer than their record's field list (the frame flags, the lens
// blur, the strokes, the backdrop, the fractal): the records were stored as whole memory
// blocks that carried more than the fields. Those bytes are zeros on file and skipped.
#include "engines/patterns/pattern_script_blocks.h"

#include "engines/patterns/backdrop_compo_records.h"
#include "engines/patterns/border_record.h"
#include "engines/patterns/cast_shadow_record.h"
#include "engines/patterns/cookie_cutter_record.h"
#include "engines/patterns/extrusion_record.h"
#include "engines/patterns/fractal_record.h"
#include "engines/patterns/image_combination_record.h"
#include "engines/patterns/lens_flare_gradient_records.h"
#include "engines/patterns/painter_strokes_record.h"
#include "engines/patterns/shape_record.h"
#include "engines/patterns/texture_record.h"
#include "engines/patterns/weave_plaid_record.h"
#include "script/script_blocks.h"

using plat::bytes::Reader;
using plat::bytes::Writer;
using scriptblock::RecordCodec;
using scriptblock::Storage;

namespace {

constexpr int16_t kPlaidKind = 2, kSupVigKind = 4, kFramKind = 7, kTextuKind = 10,
                  kShadoKind = 11, kCookiKind = 12, kStrokKind = 13, kLBlurKind = 14,
                  kXTrudeKind = 16, kCombImaKind = 17, kBDropKind = 19, kFractKind = 20,
                  kBordKind = 24, kShapeKind = 26, kCompoKind = 27;

constexpr size_t kFramBlock = 17964;
constexpr size_t kStrokBlock = 59536;
constexpr size_t kLBlurBlock = 4700;
constexpr size_t kBDropBlock = 847676;
constexpr size_t kFractBlock = 781580;

// --- Plaid: after reading, a record from before the second weave takes the first one. -------

int32_t ReadPlaid(ScriptFile&, Oprn& op, Reader& in, uint8_t mark) {
  auto* r = static_cast<PlaidPar*>(scriptblock::NewCarried(op, kPlaidKind));
  if (r == nullptr) return -1;
  if (!scriptblock::LoadBlock(in, mark, Storage::Converted, 0, *r, scriptblock::WholeRecord{}))
    return -1;
  if (r->weave2.version <= 1) Copy_WeaveInfo(&r->weave1, &r->weave2, 0);
  return 0;
}

// --- Frame flags of effect 61: the operation's file record, then the record. ----------------

int32_t WriteFrame(const ScriptFile& script, Oprn& op, Writer& out) {
  if (scriptblock::WriteOprnFile(op, out) != 0) return -1;
  return RecordCodec<FramPar, kFramKind, kFramBlock, Storage::Converted>::Write(script, op, out);
}

int32_t ReadFrame(ScriptFile& script, Oprn& op, Reader& in, uint8_t mark) {
  if (scriptblock::ReadOprnFile(op, in, mark) != 0) return -1;
  return RecordCodec<FramPar, kFramKind, kFramBlock, Storage::Converted>::Read(script, op, in, mark);
}

// --- Texture: travels as its file form. --------------------------------------------------

struct TextureForm {
  template <class V>
  void operator()(V& v, TextuPar& r) const {
    // Only the writer sees a record here: it stores the file form made from it.
    TextuParFile file;
    TextuPar_to_TextuParFile(0, 0, &r, &file);
    VisitRecord(v, file);
  }
};

int32_t ReadTexture(ScriptFile&, Oprn& op, Reader& in, uint8_t mark) {
  vmkrec::ScratchRecord<TextuParFile> file;
  if (!file.valid()) return -1;
  if (!scriptblock::LoadBlock(in, mark, Storage::Converted, 0, *file, scriptblock::WholeRecord{}))
    return -1;
  auto* r = static_cast<TextuPar*>(scriptblock::NewCarried(op, kTextuKind));
  if (r == nullptr) return -1;
  TextuPar_to_TextuParFile(1, 0, r, file.get());
  return 0;
}

// --- Extrusion: the record twice in a row; the second copy is what stays. ------------------

using XTrudeCodec = RecordCodec<XTrudePar, kXTrudeKind, 0, Storage::HostOrder>;

int32_t WriteXTrude(const ScriptFile& script, Oprn& op, Writer& out) {
  if (XTrudeCodec::Write(script, op, out) != 0) return -1;
  return XTrudeCodec::Write(script, op, out);
}

int32_t ReadXTrude(ScriptFile& script, Oprn& op, Reader& in, uint8_t mark) {
  if (XTrudeCodec::Read(script, op, in, mark) != 0) return -1;
  return XTrudeCodec::Read(script, op, in, mark);
}

// --- Image combination: its file references stay length-prefixed here. ----------------------

struct CombImaForm {
  template <class V>
  void operator()(V& v, CombImaPar& r) const {
    VisitRecord(v, r.head);
    v.reserved(4096);
    for (fichier& f : r.images) v.fic(f);
    for (fichier& f : r.textures) v.fic(f);
    for (CombImaInfo& info : r.infos) VisitRecord(v, info);
  }
};

// --- Border: the head, then each layer in use with its tiles before its files. --------------

struct BorderForm {
  template <class V>
  void operator()(V& v, BordPar& r) const {
    int32_t n = VisitBordHead(v, r.head);
    if (n < 0 || n > kBordLayers) {
      v.fail();
      n = 0;
    }
    v.reserved(1024);
    for (int32_t i = 0; i < n; ++i) {
      BordLay& layer = r.layers[i];
      VisitRecord(v, layer.info);
      v.reserved(1024);
      for (BordTile& t : layer.tiles) VisitRecord(v, t);
      for (fichier& f : layer.files) v.ficCStrings(f);
      for (LutVign& ramp : layer.ramps) VisitRecord(v, ramp);
    }
  }
};

// --- Composition: only the part after the record's first two words. -------------------------

struct CompoForm {
  template <class V>
  void operator()(V& v, CompoPar& r) const {
    VisitRecord(v, r.info);
    v.reserved(CompoPar::kStoredSize - 24);
  }
};

template <class C>
ScriptBlockCodec CodecOf() {
  return C::Codec();
}

}  // namespace

void RegisterPatternScriptBlocks() {
  using scriptblock::RegisterCodecs;
  RegisterCodecs({40, 42, 43, 72},
                 {RecordCodec<PlaidPar, kPlaidKind, 0, Storage::Converted>::Write, ReadPlaid});
  RegisterCodecs({49}, CodecOf<RecordCodec<SupVigPar, kSupVigKind, 0, Storage::HostOrder>>());
  RegisterCodecs({61}, {WriteFrame, ReadFrame});
  RegisterCodecs({77}, {RecordCodec<TextuPar, kTextuKind, 0, Storage::Converted, TextureForm>::Write,
                        ReadTexture});
  RegisterCodecs({80}, CodecOf<RecordCodec<ShadoPar, kShadoKind, 0, Storage::HostOrder>>());
  RegisterCodecs({81}, CodecOf<RecordCodec<CookiCutPar, kCookiKind, 0, Storage::HostOrder>>());
  RegisterCodecs({82}, CodecOf<RecordCodec<StrokPar, kStrokKind, kStrokBlock, Storage::HostOrder>>());
  RegisterCodecs({85}, CodecOf<RecordCodec<LBlurPar, kLBlurKind, kLBlurBlock, Storage::HostOrder>>());
  RegisterCodecs({90}, {WriteXTrude, ReadXTrude});
  RegisterCodecs({92},
                 CodecOf<RecordCodec<CombImaPar, kCombImaKind, 0, Storage::Converted, CombImaForm>>());
  RegisterCodecs({94}, CodecOf<RecordCodec<BDropPar, kBDropKind, kBDropBlock, Storage::HostOrder>>());
  RegisterCodecs({100}, CodecOf<RecordCodec<FractPar, kFractKind, kFractBlock, Storage::Converted>>());
  RegisterCodecs({106}, CodecOf<RecordCodec<BordPar, kBordKind, 0, Storage::Converted, BorderForm>>());
  RegisterCodecs({109, 110}, CodecOf<RecordCodec<ShapePar, kShapeKind, 0, Storage::Converted>>());
  RegisterCodecs({111}, CodecOf<RecordCodec<CompoPar, kCompoKind, 0, Storage::Converted, CompoForm>>());
}

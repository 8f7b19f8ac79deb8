#include "fake_record_kinds.h"

#include "script/operation.h"

namespace {

void MaskDefaults(FakeMaskPar* r, const DefaultSizes& s) {
  r->width = s.width;
  r->height = s.height;
  r->resolution = s.resolution;
  r->value = 7;
  if (r->mask == nullptr) r->mask = static_cast<uint8_t*>(NewRecordBlock(64));
}

void CopyMask(const FakeMaskPar* s, FakeMaskPar* d) {
  d->width = s->width;
  d->height = s->height;
  d->resolution = s->resolution;
  d->value = s->value;
}

void ReleaseMask(FakeMaskPar* r) {
  DeleteRecordBlock(r->mask);
  r->mask = nullptr;
}

void SwapMask(FakeMaskPar* r, int16_t, int16_t) { r->value = -r->value; }

void PlainDefaults(FakePar* r, const DefaultSizes& s) {
  r->previewWidth = s.previewWidth;
  r->previewHeight = s.previewHeight;
  r->value = 3;
}

void PlainAccessDefaults(FakePar* r, const DefaultSizes& s) {
  PlainDefaults(r, s);
  r->value = 4;
}

void CopyPlain(const FakePar* s, FakePar* d) { *d = *s; }

}  // namespace

void RegisterFakeKinds() {
  RegisterScriptRecords();
  RecordKind mask = WithSwap<FakeMaskPar, SwapMask>(
      RecordKindOf<FakeMaskPar, MaskDefaults, CopyMask>(kFakeMaskKind));
  mask.release = ReleaseOf<FakeMaskPar, ReleaseMask>();
  RegisterRecordKind(mask);
  RecordKind plain = RecordKindOf<FakePar, PlainDefaults, CopyPlain>(kFakeKind);
  plain.accessDefaults = InitOf<FakePar, PlainAccessDefaults>();
  RegisterRecordKind(plain);
}

// The registry hands out its entries read-only; only this test seam changes one, and puts
// it back.
RefusedKind::RefusedKind(int16_t kind)
    : entry_(const_cast<RecordKind*>(FindRecordKind(kind))), size_(entry_->blockSize) {
  entry_->blockSize = size_t{1} << 40;
}

RefusedKind::~RefusedKind() { entry_->blockSize = size_; }

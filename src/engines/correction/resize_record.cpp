// Stored layout of the content-aware resize record, written field by field.
#include "engines/correction/resize_record.h"

namespace {

using plat::bytes::Order;

// The 56 words in stored order, as pointers into the record; words 46 and 47
// are null (stored as 0, never read back).
template <typename Rec, typename Word>
void wordsOf(Rec& r, Word* (&w)[kYoxelParWords]) {
  Word* head[] = {&r.byteOrderFlag,   &r.recordVersion, &r.imageWidth,   &r.imageHeight,
                  &r.imageResolution, &r.overlayOn,     &r.overlayIndex, &r.overlayOpacity,
                  &r.word8,           &r.resizeMethod};
  int k = 0;
  for (Word* p : head) w[k++] = p;
  for (auto& v : r.sourceQuad) w[k++] = &v;
  for (auto& v : r.targetQuad) w[k++] = &v;
  for (auto& v : r.middleQuad) w[k++] = &v;
  Word* mid[] = {&r.noiseAmount, &r.sharpenAmount, &r.fillMode,  &r.fillRed,
                 &r.fillGreen,   &r.fillBlue,      &r.twoStage,  &r.energySpread,
                 &r.contrast,    &r.edgeKernel,    &r.maskWidth, &r.maskHeight};
  for (Word* p : mid) w[k++] = p;
  w[k++] = nullptr;
  w[k++] = nullptr;
  w[k++] = &r.protectWeight;
  w[k++] = &r.removeWeight;
  for (auto& v : r.dialogSettings) w[k++] = &v;
  w[k++] = &r.flipMode;
}

}  // namespace

void WriteYoxelParBlock(const YoxelPar& rec, plat::bytes::Writer& out) {
  const int32_t* w[kYoxelParWords];
  wordsOf(rec, w);
  out.i32(out.order() == Order::Little ? 1 : 0);
  for (int k = 1; k < kYoxelParWords; ++k) out.i32(w[k] != nullptr ? *w[k] : 0);
  out.zeros(kYoxelParStoredSize - kYoxelParWords * 4);
}

int32_t ReadYoxelParBlock(plat::bytes::Reader& in, YoxelPar& rec) {
  if (in.remaining() < static_cast<size_t>(kYoxelParStoredSize)) return -1;
  const Order saved = in.order();
  // A zero first word marks a block stored in big-endian order; a zero
  // reads the same in either order.
  const int32_t flag = in.i32();
  in.setOrder(flag == 0 ? Order::Big : Order::Little);
  int32_t* w[kYoxelParWords];
  wordsOf(rec, w);
  for (int k = 1; k < kYoxelParWords; ++k) {
    const int32_t v = in.i32();
    if (w[k] != nullptr) *w[k] = v;
  }
  in.skip(kYoxelParStoredSize - kYoxelParWords * 4);
  in.setOrder(saved);
  rec.byteOrderFlag = plat::bytes::hostOrder() == Order::Little ? 1 : 0;
  return 0;
}

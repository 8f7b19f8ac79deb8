#include "dialogs/correction/colour_correction_dialog.h"

#include "views/image_box.h"

namespace {

void Init(void* r, const RecordContext& c) {
  Init_ColCorPar(static_cast<ColCorPar*>(r), c.width, c.height, c.resolution, c.effect, 0, 0);
}
void Copy(const void* s, void* d) {
  Copy_ColCorPar(static_cast<const ColCorPar*>(s), static_cast<ColCorPar*>(d), 0, 0, 0);
}
int16_t File(int16_t mode, FSSpec spec, void* r, int16_t effect) {
  return Do_AColCor_file(mode, spec, static_cast<ColCorPar*>(r), effect);
}
void ToView(VMKimabox* view, void* r, int16_t mode, int16_t level) {
  view->SetColCorPar(static_cast<ColCorPar*>(r), mode, level);
}
int32_t* Words(void* r) { return static_cast<ColCorPar*>(r)->w; }

}  // namespace

const EffectRecordOps kColCorRecordOps = {
    {static_cast<int32_t>(sizeof(ColCorPar)), Init, Copy, File}, ToView, Words,
    kCCWidth, kCCHeight,
    5, 6, 7,        // overlay on, index, opacity
    9, 13, 11, 15,  // region left, top, right, bottom
};

void ColCorDialog::GetColCorPar(ColCorPar* out) {
  if (edit != nullptr && out != nullptr) Copy_ColCorPar(editRecord(), out, 0, 0, 0);
}

void ColCorDialog::SetColCorPar(ColCorPar* in) {
  if (edit != nullptr && in != nullptr) Copy_ColCorPar(in, editRecord(), 0, 0, 0);
}

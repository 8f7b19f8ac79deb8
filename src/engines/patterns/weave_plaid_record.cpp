#include "engines/patterns/weave_plaid_record.h"

#include <cstring>
#include <memory>

#include "engines/records/preset_file.h"
#include "platform/random/random.h"

namespace {

constexpr vmkrec::PresetFormat kWeaveFile{FourCC("hWea"), "Load a New Weave...",
                                          vmkrec::PresetLayout::RecordOnly, 0, false};
constexpr vmkrec::PresetFormat kPlaidFile{FourCC("hPld"), "Load a New Plaid...",
                                          vmkrec::PresetLayout::RecordOnly, 0, true};

bool UsableSize(int32_t n) { return n >= 1 && n <= kWeaveSide; }

using Palette = uint8_t[5][kPlaidColours];

void CopyPalette(const Palette& from, Palette& to) { std::memcpy(to, from, sizeof(Palette)); }

// The palette's colours are shifted exactly as a ramp's are: through a ramp whose first
// sixteen entries hold them.
void AdjustPalette(Palette& p, int16_t hue, int16_t saturation, int16_t lightness) {
  auto ramp = std::make_unique<LutVign>();
  for (int c = 0; c < 3; ++c) std::memcpy(ramp->colour[c], p[c], kPlaidColours);
  HSLadjust_LutVign(ramp.get(), hue, saturation, lightness);
  for (int c = 0; c < 3; ++c) std::memcpy(p[c], ramp->colour[c], kPlaidColours);
}

void RandomPalette(Palette& p) {
  for (int i = 0; i < kPlaidColours; ++i)
    for (int c = 0; c < 3; ++c) p[c][i] = static_cast<uint8_t>(plat::Random() % 255);
}

// A stored formula may come without its terminator; it then ends with its field.
void CopyFormula(const char* from, char* to) {
  const size_t n = strnlen(from, kFormulaSize - 1);
  std::memmove(to, from, n);
  std::memset(to + n, 0, kFormulaSize - n);
}

}  // namespace

void Init_WeaveInfo(WeaveInfo* w, int16_t columns, int16_t rows) {
  if (w == nullptr) return;
  w->byteOrder = static_cast<uint8_t>(HostOrderFlag());
  w->version = 2;
  w->word2 = 1;
  w->columns = columns;
  w->rows = rows;
  w->word8 = 100;
  for (int r = 0; r < kWeaveSide; ++r)
    for (int c = 0; c < kWeaveSide; ++c) w->cells[r][c] = r % 2 == 0 && c % 2 == 0 ? 1 : 0;
}

void Init_WWInfo(WWInfo* s) {
  if (s == nullptr) return;
  s->byteOrder = HostOrderFlag();
  s->word4 = 3;
  s->selected = 0;
  s->stripCount = 1;
  s->cumulative = 1;
  for (int i = 0; i < kFreeStrips; ++i) {
    s->stripOn[i] = 1;
    s->stripWidth[i] = 10;
    s->stripColour[i] = 0;
  }
}

void Init_PlaidPar(PlaidPar* r, int16_t keepFiles) {
  if (r == nullptr) return;
  r->byteOrder = static_cast<uint8_t>(HostOrderFlag());
  r->version = 3;
  r->threadSource = 0;
  r->head4 = 0;
  r->lineMode = 2;
  r->sameWeave = 1;
  r->rowsWoven = 1;
  r->colsWoven = 1;
  r->head14 = 0;
  r->freeMode = 0;
  r->rowAngle = 0;
  r->colAngle = 0;
  r->threadHeight = 1;
  r->threadWidth = 1;
  r->rowRepeats = 3;
  r->colRepeats = 3;
  if (keepFiles == 0) {
    Init_FicStruct(&r->file1);
    Init_FicStruct(&r->file2);
  }
  Init_LutVign(0, &r->ramp1, 0, 0, 0, 0);
  Init_LutVign(0, &r->ramp2, 0, 0, 0, 0);
  r->shade1 = 70;
  r->shade2 = 70;
  for (int i = 0; i < kPlaidColours; ++i) {
    const auto up = static_cast<uint8_t>(17 * i);
    const auto down = static_cast<uint8_t>(255 - 17 * i);
    r->paletteA[0][i] = r->paletteA[1][i] = r->paletteA[2][i] = up;
    r->paletteB[0][i] = r->paletteB[1][i] = r->paletteB[2][i] = down;
    r->paletteA[3][i] = r->paletteB[3][i] = 0;
    r->paletteA[4][i] = r->paletteB[4][i] = 100;
  }
  std::memset(r->formula1, 0, kFormulaSize);
  std::memset(r->formula2, 0, kFormulaSize);
  Init_WeaveInfo(&r->weave1, 8, 8);
  Init_WeaveInfo(&r->weave2, 8, 8);
  Init_WWInfo(&r->free1);
  Init_WWInfo(&r->free2);
}

void Copy_WWInfo(const WWInfo* source, WWInfo* destination) {
  if (source == nullptr || destination == nullptr || source == destination) return;
  *destination = *source;
}

void Copy_WeaveInfo(const WeaveInfo* source, WeaveInfo* destination, int16_t how) {
  if (source == nullptr || destination == nullptr) return;
  // The patterns may be one record; the source is read from a copy taken first.
  auto keep = std::make_unique<WeaveInfo>(*source);
  const WeaveInfo& s = *keep;
  WeaveInfo& d = *destination;
  d.byteOrder = s.byteOrder;
  d.version = s.version;
  d.word2 = s.word2;
  d.word8 = s.word8;
  // Sizes come from files and dialogs; a size outside 1..128 would index past the cells,
  // so such a copy changes no cell.
  switch (how) {
    case 0:
      d.columns = s.columns;
      d.rows = s.rows;
      std::memcpy(d.cells, s.cells, sizeof d.cells);
      break;
    case 1:
    case 2: {
      if (!UsableSize(s.rows) || !UsableSize(s.columns)) break;
      const uint8_t target = how == 1 ? 1 : 0;
      for (int r = 0; r < kWeaveSide; ++r)
        for (int c = 0; c < kWeaveSide; ++c)
          if (d.cells[r][c] == target) d.cells[r][c] = s.cells[r % s.rows][c % s.columns];
      break;
    }
    case 3: {
      if (!UsableSize(s.rows) || !UsableSize(s.columns) || !UsableSize(d.rows) ||
          !UsableSize(d.columns))
        break;
      const int32_t dRows = d.rows, dColumns = d.columns;
      for (int r = 0; r < s.rows; ++r)
        for (int c = 0; c < s.columns; ++c)
          d.cells[r][c] = s.cells[r * dRows / s.rows][c * dColumns / s.columns];
      d.columns = s.columns;
      d.rows = s.rows;
      break;
    }
    case 4:
      d.columns = s.columns;
      d.rows = s.rows;
      if (!UsableSize(s.columns)) break;
      for (int r = 0; r < kWeaveSide; ++r)
        for (int c = 0; c < s.columns; ++c) d.cells[r][c] = s.cells[r][s.columns - 1 - c];
      break;
    case 5:
      d.columns = s.columns;
      d.rows = s.rows;
      if (!UsableSize(s.rows)) break;
      for (int r = 0; r < s.rows; ++r)
        std::memcpy(d.cells[r], s.cells[s.rows - 1 - r], kWeaveSide);
      break;
    case 6:
      for (int r = 0; r < kWeaveSide; ++r)
        for (int c = 0; c < kWeaveSide; ++c) d.cells[r][c] = s.cells[c][r];
      d.columns = s.rows;
      d.rows = s.columns;
      break;
    default:
      break;
  }
}

void Copy_ColPlaidPar(int16_t how, PlaidPar* source, PlaidPar* destination) {
  if (source == nullptr || destination == nullptr) return;
  switch (how) {
    case 0:
      if (source == destination) break;
      CopyPalette(source->paletteA, destination->paletteA);
      CopyPalette(source->paletteB, destination->paletteB);
      break;
    case 1:
      if (source != destination) CopyPalette(source->paletteA, destination->paletteA);
      break;
    case 2:
      if (source != destination) CopyPalette(source->paletteB, destination->paletteB);
      break;
    case 3: CopyPalette(source->paletteA, destination->paletteB); break;
    case 4: CopyPalette(source->paletteB, destination->paletteA); break;
    case 5: {
      Palette held;
      CopyPalette(destination->paletteB, held);
      CopyPalette(source->paletteA, destination->paletteB);
      CopyPalette(held, source->paletteA);
      break;
    }
    default: break;
  }
}

void Copy_PlaidPar(const PlaidPar* s, PlaidPar* d) {
  if (s == nullptr || d == nullptr || s == d) return;
  d->byteOrder = s->byteOrder;
  d->version = s->version;
  d->threadSource = s->threadSource;
  d->head4 = s->head4;
  d->lineMode = s->lineMode;
  d->sameWeave = s->sameWeave;
  d->rowsWoven = s->rowsWoven;
  d->colsWoven = s->colsWoven;
  d->head14 = s->head14;
  d->freeMode = s->freeMode;
  d->rowAngle = s->rowAngle;
  d->colAngle = s->colAngle;
  d->threadHeight = s->threadHeight;
  d->threadWidth = s->threadWidth;
  d->rowRepeats = s->rowRepeats;
  d->colRepeats = s->colRepeats;
  Copy_FicStruct(&s->file1, &d->file1);
  Copy_FicStruct(&s->file2, &d->file2);
  Copy_WeaveInfo(&s->weave1, &d->weave1, 0);
  Copy_WeaveInfo(&s->weave2, &d->weave2, 0);
  Copy_LutVign(&s->ramp1, &d->ramp1);
  Copy_LutVign(&s->ramp2, &d->ramp2);
  d->shade1 = s->shade1;
  d->shade2 = s->shade2;
  CopyFormula(s->formula1, d->formula1);
  CopyFormula(s->formula2, d->formula2);
  CopyPalette(s->paletteA, d->paletteA);
  CopyPalette(s->paletteB, d->paletteB);
  Copy_WWInfo(&s->free1, &d->free1);
  Copy_WWInfo(&s->free2, &d->free2);
}

void AdjHSV_ColPlaidPar(PlaidPar* r, int16_t h1, int16_t s1, int16_t l1, int16_t h2,
                        int16_t s2, int16_t l2) {
  if (r == nullptr) return;
  AdjustPalette(r->paletteB, h1, s1, l1);
  AdjustPalette(r->paletteA, h2, s2, l2);
}

void Rand_ColPlaidPar(PlaidPar* r, int16_t which) {
  if (r == nullptr) return;
  if (which == 1 || which == 3) RandomPalette(r->paletteB);
  if (which == 2 || which == 3) RandomPalette(r->paletteA);
}

void SwapWeaveInfo(WeaveInfo* weave, int16_t direction, int16_t force) {
  if (weave != nullptr) vmkrec::SwapRecord(*weave, direction, force);
}

void SwapWWInfo(WWInfo* strips, int16_t direction, int16_t force) {
  if (strips != nullptr) vmkrec::SwapRecord(*strips, direction, force);
}

void SwapPlaidInfo1(PlaidPar* record, int16_t direction, int16_t force) {
  if (record == nullptr) return;
  vmkrec::SwapVisitor v(direction, force);
  VisitPlaidHead(v, *record);
}

void SwapPlaidInfo2(PlaidPar* record, int16_t direction, int16_t force) {
  if (record == nullptr) return;
  vmkrec::SwapVisitor v(direction, force);
  VisitPlaidBody(v, *record, false);
}

void SwapPlaidPar(PlaidPar* record, int16_t direction, int16_t force) {
  SwapPlaidInfo1(record, direction, force);
  SwapPlaidInfo2(record, direction, force);
}

int16_t Do_AWeaveInfo_file(int16_t mode, FSSpec spec, WeaveInfo* weave) {
  return vmkrec::DoPresetFile(
      mode, spec, weave, kWeaveFile,
      [](const WeaveInfo* s, WeaveInfo* d) { Copy_WeaveInfo(s, d, 0); }, vmkrec::TakeWhole<WeaveInfo>);
}

int16_t Do_APlaidPar_file(int16_t mode, FSSpec spec, PlaidPar* record) {
  return vmkrec::DoPresetFileForm<PlaidParFile>(
      mode, spec, record, kPlaidFile,
      [](const PlaidPar& r, PlaidParFile* form) { Copy_PlaidPar(&r, &form->plaid); },
      [](const PlaidParFile& form, PlaidPar* r) {
        Copy_PlaidPar(&form.plaid, r);
        // The copy leaves out the weaves' words 10 and 12; the file holds them.
        r->weave1.word10 = form.plaid.weave1.word10;
        r->weave1.word12 = form.plaid.weave1.word12;
        r->weave2.word10 = form.plaid.weave2.word10;
        r->weave2.word12 = form.plaid.weave2.word12;
        // A file from before the second weave holds nothing usable there.
        if (r->weave2.version <= 1) Copy_WeaveInfo(&r->weave1, &r->weave2, 0);
      });
}

// The editor's values: the slider layout of the current operation, the
// number fields read back into it and the redraw of every control.
#include <algorithm>
#include <cstdio>
#include <string>

#include "app/core/colour_spaces.h"
#include "app/core/pascal_strings.h"
#include "app/ui/dialog_items.h"
#include "dialogs/editor/tune_effect.h"
#include "dialogs/editor/tune_effect_ids.h"
#include "dialogs/editor/tune_effect_tables.h"
#include "dialogs/frame/effect_registry.h"
#include "engines/correction/colour_correction.h"
#include "engines/patterns/weave_plaid_record.h"
#include "host/session/document.h"
#include "platform/files/file_types.h"
#include "platform/resources/resource_file.h"
#include "platform/toolbox/api/ui_services.h"
#include "script/script_file.h"
#include "script/script_record_file.h"
#include "views/colour_box.h"
#include "views/image_box.h"

namespace tb = plat::tb;
using namespace tuneeff;

namespace {

// The colour-range record's first colour (the colour matched) and second
// colour (the colour put in): entry 0 of three of its 32-entry arrays each.
constexpr int32_t kRangeFirst[3] = {44, 76, 108};
constexpr int32_t kRangeSecond[3] = {812, 844, 876};
// Where the document keeps the sample colour of the HSL preview (code 18)
// and its adjusted copy, three 16-bit values each.
constexpr int kSampleWord = 0;
constexpr int kAdjustedWord = 3;

DialogRef ItemsOf(tb::ControlRef c) {
  return {c != nullptr ? tb::GetControlOwner(c) : nullptr, kSignature};
}

void SetNumber(tb::ControlRef c, int32_t v) {
  if (c != nullptr) PutDlgLong(ItemsOf(c), static_cast<int16_t>(tb::GetControlID(c).id), v);
}

int32_t Number(tb::ControlRef c) {
  int32_t v = 0;
  if (c != nullptr) GetDlgLong(ItemsOf(c), static_cast<int16_t>(tb::GetControlID(c).id), &v);
  return v;
}

void Show(tb::ControlRef c, bool on) { tb::SetControlVisibility(c, on); }

int16_t Param(const Oprn* op, int n) {
  if (op == nullptr) return 0;
  const int16_t p[5] = {op->Param1, op->Param2, op->Param3, op->Param4, op->Param5};
  return p[n];
}

}  // namespace

// A plaid's first colour is entry 0 of its first palette, its second colour
// entry 0 of the second; red, green and blue are the palettes' first rows.
void tuneeff::PlaidColour(const PlaidPar& plaid, int which, int16_t rgb[3]) {
  const auto& palette = which == 0 ? plaid.paletteA : plaid.paletteB;
  for (int c = 0; c < 3; ++c) rgb[c] = palette[c][0];
}

void tuneeff::SetPlaidColour(PlaidPar* plaid, int which, const int16_t rgb[3]) {
  auto& palette = which == 0 ? plaid->paletteA : plaid->paletteB;
  for (int c = 0; c < 3; ++c) palette[c][0] = static_cast<uint8_t>(rgb[c]);
}

void tuneeff::RangeColour(const ColCorPar& record, int which, int16_t rgb[3]) {
  const int32_t* words = which == 0 ? kRangeFirst : kRangeSecond;
  for (int c = 0; c < 3; ++c) rgb[c] = static_cast<int16_t>(record.w[words[c]]);
}

void tuneeff::SetRangeColour(ColCorPar* record, int which, const int16_t rgb[3]) {
  const int32_t* words = which == 0 ? kRangeFirst : kRangeSecond;
  for (int c = 0; c < 3; ++c) record->w[words[c]] = rgb[c];
}

void VMKtuneeff::InitSlider(short row, short shownFlag, short minimum, short maximum, short value,
                            const unsigned char* title) {
  if (row < 0 || row >= kSliderRows) return;
  sliderValue[row] = value;
  sliderMaximum[row] = maximum;
  sliderShown[row] = shownFlag;
  sliderMinimum[row] = minimum;
  pStrCopy(title, sliderTitle[row]);
  SetNumber(Ctl(kRowEdit[row]), value);
}

// The blur's amount is a length in the editor's picture, scaled to the photo's size when it
// renders, and the blur holds its radius at its largest: on a large photo the amounts beyond
// the one that reaches it would all render alike, so the row ends there.
int32_t VMKtuneeff::RowMaximum(int16_t code, int n, const SliderRow& row) const {
  if (code != 11 || n != 0 || script == nullptr) return row.maximum;
  return scriptrecord::LargestBlurAmount(*script, static_cast<int16_t>(row.maximum));
}

void VMKtuneeff::PrepareValues(tb::WindowRef) {
  const int16_t code = CurrentCode();
  const Oprn* op = script != nullptr ? script->GetOprn(stack, layer, currentOprn) : nullptr;
  uint8_t mode = 0, opa = 0;
  if (script != nullptr) {
    script->GetMode(stack, layer, currentOprn, &mode);
    script->GetOpa(stack, layer, currentOprn, &opa);
  }
  blendItem = static_cast<int16_t>(mode + 1);
  opacity = opa;
  showBlend = BlendShown(code) ? 1 : 0;
  showAdjust = AdjustShown(family, code) ? 1 : 0;
  showSource = SourceShown(code) ? 1 : 0;
  showSwatch[0] = showSwatch[1] = 0;
  std::fill(std::begin(sliderShown), std::end(sliderShown), 0);
  if (code == 18) destChannel = 2;
  const SliderLayout* layout = LayoutOf(code, destChannel == 2);
  if (layout != nullptr) {
    for (int n = 0; n < kSliderRows; ++n) {
      const SliderRow& row = layout->rows[n];
      if (!row.used()) continue;
      int16_t value = Param(op, n);
      int16_t title = row.title;
      const ValueTitles& t = row.byValue;
      if (t.high >= t.low) {
        if (value >= t.low && value <= t.high) {
          title = static_cast<int16_t>(t.first + value - t.low);
        } else {
          title = t.otherwise;
          if (t.zeroOutside) value = 0;
        }
      }
      Str255 text;
      SetPStr(text, row.text != nullptr ? std::string(row.text) : plat::res::GetIndString(kSliderTitles, title));
      InitSlider(static_cast<short>(n), 1, static_cast<short>(row.minimum), static_cast<short>(RowMaximum(code, n, row)),
                 value, text);
    }
    // The three colour rows show their colour in swatch 1.
    int16_t rgb[3] = {0, 0, 0};
    int found = 0;
    for (int n = 0; n < kSliderRows; ++n)
      if (layout->rows[n].rgb() && found < 3) rgb[found++] = Param(op, n);
    if (found == 3) {
      showSwatch[0] = 1;
      std::copy(rgb, rgb + 3, swatchColours[0]);
    }
  }
  LayoutSwatches(code);
}

// The swatches of the codes whose colours live in a record, and the HSL
// preview's sample colour.
void VMKtuneeff::LayoutSwatches(int16_t code) {
  if (script == nullptr) return;
  if (code == 40 || code == 43) {
    ScratchRecord<PlaidPar> plaid;
    if (!plaid) return;
    script->GetPlaidPar(stack, layer, currentOprn, plaid.get());
    PlaidColour(*plaid, 0, swatchColours[0]);
    PlaidColour(*plaid, 1, swatchColours[1]);
    showSwatch[0] = showSwatch[1] = 1;
  } else if (code == 86) {
    // Read and written back unchanged, so that the operation holds a record
    // (its defaults when it had none) for the swatches and the preview.
    ScratchRecord<ColCorPar> record;
    if (!record) return;
    script->GetColCorPar(stack, layer, currentOprn, record.get());
    if (script->GetOprn(stack, layer, currentOprn) != nullptr)
      script->SetColCorPar(stack, layer, currentOprn, record.get());
    if (destChannel == 2) {
      RangeColour(*record, 0, swatchColours[0]);
      RangeColour(*record, 1, swatchColours[1]);
      showSwatch[0] = showSwatch[1] = 1;
    } else if (sourceChannel == 2) {
      RangeColour(*record, 0, swatchColours[0]);
      showSwatch[0] = 1;
    }
  } else if (code == 91 && destChannel != 2) {
    int16_t p3 = 0;
    script->GetParam3(stack, layer, currentOprn, &p3);
    swatchColours[0][0] = swatchColours[0][1] = swatchColours[0][2] = p3;
    showSwatch[0] = 1;
  } else if (code == 18) {
    LayoutSampleColour();
  }
}

void VMKtuneeff::LayoutSampleColour() {
  if (document == nullptr) return;
  int16_t p[3] = {0, 0, 0};
  script->GetParam1(stack, layer, currentOprn, &p[0]);
  script->GetParam2(stack, layer, currentOprn, &p[1]);
  script->GetParam3(stack, layer, currentOprn, &p[2]);
  float c[3];
  for (int k = 0; k < 3; ++k)
    c[k] = static_cast<float>(static_cast<uint16_t>(document->sevenWords[kSampleWord + k]) >> 8) / 255.0f;
  RGBHSLadjust(&c[0], &c[1], &c[2], p[0], p[1], p[2]);
  for (int k = 0; k < 3; ++k)
    document->sevenWords[kAdjustedWord + k] = static_cast<int16_t>(static_cast<int32_t>(c[k] * 255.0f) << 8);
}

void VMKtuneeff::GetEditValue() {
  const bool exists = script != nullptr && script->GetOprn(stack, layer, currentOprn) != nullptr;
  opacity = static_cast<int16_t>(std::clamp(Number(Ctl(kOpacityEdit)), 0, 255));
  tb::SetControl32BitValue(Ctl(kOpacitySlider), opacity);
  if (exists) script->SetOpa(stack, layer, currentOprn, static_cast<int16_t>(opacity & 0xFF));
  // A row not in use keeps the value it read, but never writes its
  // parameter (a code with fewer rows keeps its other parameters).
  for (int n = 0; n < kSliderRows; ++n) {
    sliderValue[n] = std::clamp(Number(Ctl(kRowEdit[n])), sliderMinimum[n], std::max(sliderMinimum[n], sliderMaximum[n]));
    if (exists && sliderShown[n] == 1) SetParamOf(static_cast<int16_t>(n + 1), sliderValue[n]);
  }
}

// Param n (1 to 5) of the current operation, its low 16 bits.
void VMKtuneeff::SetParamOf(int16_t n, int32_t value) {
  const auto v = static_cast<int16_t>(value);
  switch (n) {
    case 1: script->SetParam1(stack, layer, currentOprn, v); break;
    case 2: script->SetParam2(stack, layer, currentOprn, v); break;
    case 3: script->SetParam3(stack, layer, currentOprn, v); break;
    case 4: script->SetParam4(stack, layer, currentOprn, v); break;
    case 5: script->SetParam5(stack, layer, currentOprn, v); break;
    default: break;
  }
}

int32_t VMKtuneeff::RowValue(const ValueRow& row) { return row.word == 0 ? opacity : sliderValue[row.word - 1]; }

// A slider's command: the value goes into the operation at once; the loop
// redraws when its next pass comes.
void VMKtuneeff::SetRowValue(const ValueRow& row, int32_t value) {
  const bool exists = script != nullptr && script->GetOprn(stack, layer, currentOprn) != nullptr;
  if (row.word == 0) {
    opacity = static_cast<int16_t>(std::clamp(value, 0, 255));
    if (exists) script->SetOpa(stack, layer, currentOprn, opacity);
    return;
  }
  sliderValue[row.word - 1] = value;
  if (exists) SetParamOf(static_cast<int16_t>(row.word), value);
}

void VMKtuneeff::DrawRGBPicker() {
  tb::SetControlText(Ctl(kRedText), " R " + std::to_string(pickedRed));
  tb::SetControlText(Ctl(kGreenText), " G " + std::to_string(pickedGreen));
  tb::SetControlText(Ctl(kBlueText), " B " + std::to_string(pickedBlue));
}

void VMKtuneeff::DrawWindowContent(tb::WindowRef w) {
  if (script == nullptr) return;
  (void)TakePick();
  int16_t act = 0, code = 0;
  script->GetAct(stack, layer, currentOprn, &act);
  tb::SetControl32BitValue(Ctl(kActiveCheck), act);
  tb::SetControl32BitValue(Ctl(kOperationPopup), currentOprn);
  script->GetEffect(stack, layer, currentOprn, &code);
  currentKindItem = code >= 0 && code < kMenuEntries ? codeToItem[code] : 0;
  tb::SetControl32BitValue(Ctl(kKindPopup), currentKindItem);
  script->GetFromChannel(stack, layer, currentOprn, &sourceChannel);
  script->GetToChannel(stack, layer, currentOprn, &destChannel);
  script->GetMChannel(stack, layer, currentOprn, &maskChannel);
  script->GetIntExt(stack, layer, currentOprn, &maskMode);
  sourceChannel = std::max<int16_t>(sourceChannel, 1);
  destChannel = std::max<int16_t>(destChannel, 1);
  maskChannel = std::max<int16_t>(maskChannel, 1);
  if (maskMode < 1) maskMode = 3;
  tb::SetControl32BitValue(Ctl(kSourcePopup), sourceChannel);
  tb::SetControl32BitValue(Ctl(kDestPopup), destChannel);
  tb::SetControl32BitValue(Ctl(kMaskChannelPopup), maskChannel);
  tb::SetControl32BitValue(Ctl(kMaskModePopup), maskMode);
  if (ImageTools()) {
    ShowThumbnails(w);
  } else if (w != nullptr) {
    const LayerFile* lf = script->GetStack(stack);
    const Laye* lay = lf != nullptr ? lf->GetLaye(layer) : nullptr;
    tb::SetWindowTitle(w, "Tune Effect - " + (lay != nullptr ? PStrString(lay->name) : std::string()));
  }
  PrepareValues(w);
  tb::SetControl32BitValue(Ctl(kPreviewCheck), previewOn);
  tb::SetControl32BitValue(Ctl(kChannelPopup), chanFlag);
  tb::SetControl32BitValue(Ctl(kAlwaysOne), 1);
  selectionItem = 1;
  if (ScratchRecord<OprnExt> ext; ext && script->GetSelOprnExt(stack, layer, currentOprn, ext.get()) == 1) {
    const int32_t entry = ext->head[5];
    if (entry >= 0 && entry < OprnExt::kEntries) selectionItem = static_cast<int16_t>(1 + ext->SelFlag[entry]);
  }
  tb::SetControl32BitValue(Ctl(kSelectionPopup), selectionItem);
  for (int32_t id : {kBlendLabel, kBlendPopup, kOpacityLabel, kOpacitySlider, kOpacityEdit}) Show(Ctl(id), showBlend == 1);
  if (showBlend == 1) {
    tb::SetControl32BitValue(Ctl(kBlendPopup), blendItem);
    tb::SetControl32BitValue(Ctl(kOpacitySlider), opacity);
    SetNumber(Ctl(kOpacityEdit), opacity);
  }
  ShowSwatches();
  Show(Ctl(kAdjustButton), showAdjust == 1);
  Show(Ctl(kSourceLabel), showSource == 1);
  Show(Ctl(kSourcePopup), showSource == 1);
  Show(Ctl(kMaskChannelLabel), showMask == 1);
  Show(Ctl(kMaskChannelPopup), showMask == 1);
  ShowRows();
  if (w != nullptr) tb::DrawControls(w);
  plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
}

void VMKtuneeff::ShowSwatches() {
  constexpr int32_t kIds[3] = {kSwatch1, kSwatch2, kSwatch3};
  for (int k = 0; k < 3; ++k) {
    Show(Ctl(kIds[k]), showSwatch[k] == 1);
    VMKcolbox* box = swatch(k);
    if (showSwatch[k] == 1 && box != nullptr) box->SetCol(swatchColours[k][0], swatchColours[k][1], swatchColours[k][2]);
  }
}

void VMKtuneeff::ShowRows() {
  for (int n = 0; n < kSliderRows; ++n) {
    const bool on = sliderShown[n] == 1;
    for (int32_t id : {kRowMinimum[n], kRowMaximum[n], kRowTitle[n], kRowSlider[n], kRowEdit[n]}) Show(Ctl(id), on);
    if (!on) continue;
    tb::ControlRef slider = Ctl(kRowSlider[n]);
    tb::SetControl32BitMinimum(slider, sliderMinimum[n]);
    tb::SetControl32BitMaximum(slider, sliderMaximum[n]);
    tb::SetControl32BitValue(slider, sliderValue[n]);
    SetNumber(Ctl(kRowEdit[n]), sliderValue[n]);
    tb::SetControlText(Ctl(kRowMinimum[n]), std::to_string(sliderMinimum[n]));
    tb::SetControlText(Ctl(kRowMaximum[n]), std::to_string(sliderMaximum[n]));
    tb::SetControlText(Ctl(kRowTitle[n]), PStrString(sliderTitle[n]));
  }
}

// The image-tools window's stored-effect strip: which entries the three
// slots show and which one is selected.
int16_t VMKtuneeff::FirstShown() const {
  int32_t first = firstVisible;
  if (first + slotCount > effectCount) first = effectCount - slotCount;
  return static_cast<int16_t>(std::max<int32_t>(first, 0));
}

void VMKtuneeff::ShowThumbnails(tb::WindowRef) {
  tb::SetControl32BitValue(Ctl(kImageToolsPopup), imaToolsValue + 1);
  tb::SetControl32BitValue(Ctl(kStoredPopup), firstVisible + 1);
  const int16_t first = FirstShown();
  for (int32_t k = 0; k < slotCount; ++k) {
    if (VMKimabox* box = thumbView(k)) box->SetSelMode(1, k == selectedSlot ? 1 : 0);
    Show(Ctl(kThumbView[k]), true);
    Show(Ctl(kThumbName[k]), true);
    const int32_t entry = first + k;
    const bool listed = effectFiles != nullptr && entry < effectCount && entry < kEffectFiles;
    tb::SetControlText(
        Ctl(kThumbName[k]),
        listed ? plat::files::DisplayName(PStrString(effectFiles[entry].name)) : std::string());
  }
  tb::SetControl32BitValue(Ctl(kThumbScroll), firstVisible);
  DrawRGBPicker();
}

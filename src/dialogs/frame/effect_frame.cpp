#include "dialogs/frame/effect_frame.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <utility>

#include "app/file_dialogs.h"
#include "app/keyboard.h"
#include "app/ui/dialog_items.h"
#include "app/ui/file_menus.h"
#include "dialogs/frame/fine_bitmap.h"
#include "engines/correction/resize_record.h"
#include "engines/records/param_record.h"
#include "host/session/app_object.h"
#include "paths/draw_par.h"
#include "platform/files/file_spec.h"
#include "platform/files/file_types.h"
#include "platform/toolbox/api/ui_services.h"
#include "script/document_data.h"
#include "script/ramp_bitmaps.h"
#include "views/image_box.h"

namespace tb = plat::tb;

namespace {

// The slider an arrow or page step has moved whose command has not come yet
// (the toolbox sends it once the step is in): a redraw in between shows the
// stepped value, not the record's older one, which the command would then
// read back and so lose the step. Only compared, never followed.
tb::ControlRef gSteppedSlider = nullptr;

VMKimabox* BoxOf(const char* key, const char* view) {
  if (gVMKapp == nullptr || key == nullptr || view == nullptr) return nullptr;
  const int index = FindCustomView(std::string("com.vellmarkstead.") + key + "." + view);
  return index >= 0 ? gVMKapp->ImageView(index) : nullptr;
}

// A number field as a dialog item: its window, signature and number.
DialogRef DialogOf(tb::ControlRef c) { return {tb::GetControlOwner(c), tb::GetControlID(c).signature}; }
int16_t ItemOf(tb::ControlRef c) { return static_cast<int16_t>(tb::GetControlID(c).id); }

// What a number field holds; text that does not begin with a number (an
// empty field, a lone '-') reads 0, and numbers beyond 32 bits are held at
// its ends.
int32_t FieldNumber(tb::ControlRef field) {
  int32_t v = 0;
  if (field != nullptr) GetDlgLong(DialogOf(field), ItemOf(field), &v);
  return v;
}

void ShowFieldNumber(tb::ControlRef field, int32_t value) {
  if (field != nullptr) PutDlgLong(DialogOf(field), ItemOf(field), value);
}

// The resource file's alert of a file that could not be written.
constexpr int16_t kFileAlert = 129;

bool IsUndoKey(int16_t charCode, uint32_t modifiers) {
  return (modifiers == cmdKey && charCode == 'z') || (modifiers == controlKey && charCode == 26);
}

}  // namespace

// ---- construction ----

EffectFrame::EffectFrame(const EffectFrameDesc& desc, int16_t* restor) : desc_(desc), restor_(restor) {
  if (const DocData* doc = CurrentDocData()) {
    context.width = doc->width;
    context.height = doc->height;
    context.resolution = doc->resolution;
  }
  context.effect = desc.effect;
  if (desc.record != nullptr && desc.record->size > 0) {
    edit = vmkrec::NewScratch(static_cast<size_t>(desc.record->size));
    backup = vmkrec::NewScratch(static_cast<size_t>(desc.record->size));
    ownsRecords_ = true;
  }
  if (desc.presetPopup >= 0) {
    // Blocks come zeroed: an empty list.
    presetList = static_cast<FSSpec*>(vmkrec::NewScratch(sizeof(FSSpec) * static_cast<size_t>(desc.presetRoom)));
  }
  // Undo straight after opening restores the backup: it holds the defaults,
  // never memory nobody filled.
  if (edit != nullptr && backup != nullptr) {
    InitRecord(edit);
    if (desc.record->copy != nullptr) desc.record->copy(edit, backup);
  }
  for (const FrameBox& box : desc.boxes) boxes_.push_back(BoxOf(desc.viewKey, box.name));
  if (desc.drawParams) {
    drawParams = static_cast<DrawPar*>(vmkrec::NewScratch(sizeof(DrawPar)));
    if (drawParams != nullptr) Init_DrawPar(drawParams);
  }
}

EffectFrame::~EffectFrame() {
  gSteppedSlider = nullptr;
  previews_->Stop();
  // A record the dialog brought itself (a size of 0) is the dialog's to free.
  if (ownsRecords_) {
    vmkrec::DeleteScratch(edit);
    vmkrec::DeleteScratch(backup);
  }
  vmkrec::DeleteScratch(presetList);
  vmkrec::DeleteScratch(drawParams);
  // A dialog that never ran has no timer to touch.
  if (loopTimerUPP) {
    tb::SetEventLoopTimerNextFireTime(loopTimer, tb::kEventDurationForever);
    tb::RemoveEventLoopTimer(loopTimer);
    loopTimerUPP = nullptr;
  }
}

void EffectFrame::InitRecord(void* record) {
  if (desc_.record->init != nullptr) desc_.record->init(record, context);
}

void EffectFrame::BackRest(int16_t n) {
  if (edit == nullptr || backup == nullptr || desc_.record->copy == nullptr) return;
  if (n == 1) desc_.record->copy(edit, backup);
  if (n == 0) desc_.record->copy(backup, edit);
}

int16_t EffectFrame::RecordFile(int16_t mode, FSSpec spec, void* record) {
  if (record == nullptr || desc_.record == nullptr || desc_.record->file == nullptr) return -1;
  return desc_.record->file(mode, spec, record, desc_.effect);
}

tb::ControlRef EffectFrame::Ctl(int32_t id) const { return Ctl(desc_.signature, id); }

tb::ControlRef EffectFrame::Ctl(OSType signature, int32_t id) const {
  if (id < 0) return nullptr;
  const size_t first = desc_.lookup.size();
  if (signature == desc_.signature) {
    for (size_t i = 0; i < first && i < controls.size(); ++i)
      if (desc_.lookup[i] == id) return controls[i];
  }
  if (signature == desc_.otherSignature) {
    for (size_t i = 0; i < desc_.otherLookup.size() && first + i < controls.size(); ++i)
      if (desc_.otherLookup[i] == id) return controls[first + i];
  }
  return nullptr;
}

void EffectFrame::PushTick(double seconds) {
  if (loopTimer != nullptr && seconds > 0.0) tb::SetEventLoopTimerNextFireTime(loopTimer, seconds);
}

void EffectFrame::StalePreviews() {
  for (size_t i = 0; i < boxes_.size(); ++i)
    if (boxes_[i] != nullptr && desc_.boxes[i].followsValues) boxes_[i]->StalePreview();
}

// ---- values ----

int32_t EffectFrame::ClampToStorage(ValueRow::Storage storage, int32_t v) {
  switch (storage) {
    case ValueRow::kInt16:
      return std::clamp<int32_t>(v, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max());
    case ValueRow::kUInt8: return std::clamp<int32_t>(v, 0, 255);
    default: return v;
  }
}

int32_t EffectFrame::RowValue(const ValueRow& row) {
  if (edit == nullptr) return 0;
  const auto* base = static_cast<const uint8_t*>(edit);
  switch (row.storage) {
    case ValueRow::kWord: {
      int32_t v;
      std::memcpy(&v, base + 4 * static_cast<size_t>(row.word), sizeof v);
      return v;
    }
    case ValueRow::kInt32: {
      int32_t v;
      std::memcpy(&v, base + row.word, sizeof v);
      return v;
    }
    case ValueRow::kInt16: {
      int16_t v;
      std::memcpy(&v, base + row.word, sizeof v);
      return v;
    }
    case ValueRow::kUInt8: return base[row.word];
    case ValueRow::kFloat: {
      float f;
      std::memcpy(&f, base + row.word, sizeof f);
      // A stored float beyond the 32-bit range (or not a number) shows at
      // the range's end (0), never as an undefined conversion.
      if (!(f == f)) return 0;
      if (f >= 2147483648.0f) return std::numeric_limits<int32_t>::max();
      if (f < -2147483648.0f) return std::numeric_limits<int32_t>::min();
      return static_cast<int32_t>(f);
    }
  }
  return 0;
}

void EffectFrame::SetRowValue(const ValueRow& row, int32_t value) {
  if (edit == nullptr) return;
  auto* base = static_cast<uint8_t*>(edit);
  const int32_t v = ClampToStorage(row.storage, value);
  switch (row.storage) {
    case ValueRow::kWord: std::memcpy(base + 4 * static_cast<size_t>(row.word), &v, sizeof v); break;
    case ValueRow::kInt32: std::memcpy(base + row.word, &v, sizeof v); break;
    case ValueRow::kInt16: {
      const auto s = static_cast<int16_t>(v);
      std::memcpy(base + row.word, &s, sizeof s);
      break;
    }
    case ValueRow::kUInt8: base[row.word] = static_cast<uint8_t>(v); break;
    case ValueRow::kFloat: {
      const auto f = static_cast<float>(v);
      std::memcpy(base + row.word, &f, sizeof f);
      break;
    }
  }
}

void EffectFrame::TakeSliders(uint8_t group) {
  for (const ValueRow& row : rows_)
    if (row.group == group && row.kind == ValueRow::kSlider && Ctl(row.control) != nullptr)
      SetRowValue(row, tb::GetControl32BitValue(Ctl(row.control)));
}

int32_t EffectFrame::FieldValue(tb::ControlRef field) { return FieldNumber(field); }

void EffectFrame::GetEditValue() {
  for (const ValueRow& row : rows_) {
    tb::ControlRef field = Shown(row) ? Ctl(row.edit) : nullptr;
    if (field != nullptr) SetRowValue(row, std::clamp(FieldNumber(field), row.minimum, row.maximum));
  }
}

void EffectFrame::ShowValues() {
  // Rows of other pages go first, less the controls the shown page also
  // uses: hiding one of those even for a moment would take the keyboard
  // focus from it at every redraw.
  std::vector<int32_t> shownIds;
  for (const ValueRow& row : rows_)
    if (Shown(row)) shownIds.insert(shownIds.end(), {row.control, row.edit, row.label});
  for (const ValueRow& row : rows_)
    if (!Shown(row))
      for (int32_t id : {row.control, row.edit, row.label})
        if (std::find(shownIds.begin(), shownIds.end(), id) == shownIds.end())
          tb::SetControlVisibility(Ctl(id), false);
  for (const ValueRow& row : rows_) {
    if (!Shown(row)) continue;
    if (row.page != 0) {
      for (int32_t id : {row.control, row.edit, row.label}) tb::SetControlVisibility(Ctl(id), true);
      if (row.title != nullptr) tb::SetControlText(Ctl(row.label), row.title);
      tb::SetControl32BitMinimum(Ctl(row.control), row.minimum);
      tb::SetControl32BitMaximum(Ctl(row.control), row.maximum);
    }
    if (Ctl(row.control) != nullptr && Ctl(row.control) == gSteppedSlider) continue;
    const int32_t v = RowValue(row);
    tb::SetControl32BitValue(Ctl(row.control), v);
    ShowFieldNumber(Ctl(row.edit), v);
  }
}

void EffectFrame::DrawWindowContent(tb::WindowRef window) {
  (void)TakePick();
  DrawOwnContent(window);
  ShowValues();
  if (tb::ControlRef presets = Ctl(desc_.presetPopup))
    tb::SetControlVisibility(presets, tb::CountMenuItems(presets) > 0);
  tb::DrawControls(window);
  plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
}

// ---- the static bodies ----

bool EffectFrame::FilterNumKey(int16_t charCode, uint32_t modifiers) {
  bool pass = false;
  if (OwnKey(charCode, modifiers, &pass)) return pass;
  if (charCode == 'z' && modifiers == cmdKey) {
    if (restor_ != nullptr) *restor_ = 1;
    return false;
  }
  return (charCode >= '0' && charCode <= '9') || charCode == '-' || charCode == ' ' || charCode == 8;
}

// The control keeps its value within its own range, so a step past an end
// stays at the end and the text still follows. A page is ten steps.
int32_t EffectFrame::StepValue(tb::ControlRef control, int16_t part, int32_t step) {
  int32_t v = tb::GetControl32BitValue(control);
  switch (part) {
    case tb::kControlUpButtonPart: v -= step; break;
    case tb::kControlDownButtonPart: v += step; break;
    case tb::kControlPageUpPart: v -= 10 * step; break;
    case tb::kControlPageDownPart: v += 10 * step; break;
    default: break;
  }
  tb::SetControl32BitValue(control, v);
  return tb::GetControl32BitValue(control);
}

void EffectFrame::StepSlider(tb::ControlRef slider, int16_t part, int32_t step) {
  const int32_t v = StepValue(slider, part, step);
  if (part == tb::kControlUpButtonPart || part == tb::kControlDownButtonPart || part == tb::kControlPageUpPart ||
      part == tb::kControlPageDownPart)
    gSteppedSlider = slider;
  if (auto field = static_cast<tb::ControlRef>(tb::GetControlReference(slider))) ShowFieldNumber(field, v);
}

// Little arrows count the other way round: up is more.
void EffectFrame::StepArrows(tb::ControlRef arrows, int16_t part) {
  int32_t v = tb::GetControl32BitValue(arrows);
  if (part == tb::kControlUpButtonPart) v += 1;
  if (part == tb::kControlDownButtonPart) v -= 1;
  tb::SetControl32BitValue(arrows, v);
  if (auto field = static_cast<tb::ControlRef>(tb::GetControlReference(arrows)))
    ShowFieldNumber(field, tb::GetControl32BitValue(arrows));
}

void EffectFrame::ShowRampBar(VMKimabox* box, tb::ControlRef view, const LutVign* ramp, int32_t hue,
                              int32_t saturation, int32_t value) {
  if (box == nullptr || view == nullptr || ramp == nullptr) return;
  const Rect bounds = tb::GetControlBounds(view);
  const int32_t w = bounds.right - bounds.left, h = bounds.bottom - bounds.top;
  if (w <= 0 || h <= 0) return;
  const auto to16 = [](int32_t v) { return static_cast<int16_t>(ClampToStorage(ValueRow::kInt16, v)); };
  ShowFineBitmap(box, w, h, [&](int32_t scale, const Rect& r, uint8_t* bar) {
    build_BufBarAt(scale, &r, bar, ramp, to16(hue), to16(saturation), to16(value));
    return true;
  });
}

int32_t EffectFrame::ClickedBox() const {
  int32_t clicked = -1;
  for (size_t k = 0; k < boxes_.size(); ++k) {
    VMKimabox* box = boxes_[k];
    if (box != nullptr && box->CheckSetRefresh(0) == 1 && box->GetSel() == 1) clicked = static_cast<int32_t>(k);
  }
  return clicked;
}

void EffectFrame::FillPopup(tb::ControlRef popup, MenuRef menu) {
  if (popup == nullptr) return;
  tb::DeleteMenuItems(popup);
  const int32_t n = plat::ui::CountMenuItems(menu);
  for (int32_t i = 1; i <= n; ++i) tb::AppendMenuItemText(popup, plat::ui::GetMenuItemText(menu, i));
  tb::SetControl32BitMinimum(popup, 1);
  tb::SetControl32BitMaximum(popup, n);
}

// ---- presets ----

void EffectFrame::LoadPresetMenus() {
  tb::ControlRef popup = Ctl(desc_.presetPopup);
  if (popup == nullptr || presetList == nullptr) return;
  tb::DeleteMenuItems(popup);
  int32_t count = 0;
  if (gappData != nullptr) {
    const int32_t limit = std::min(desc_.presetLimit, desc_.presetRoom);
    InstallMenuFromFileType(popup, &gappData->folder, &desc_.presetType, limit, &count, presetList, 0);
  }
  tb::SetControl32BitMinimum(popup, 1);
  tb::SetControl32BitMaximum(popup, count);
}

// Entry k of the list belongs to item k + 1. A stale menu or an empty list
// may name an entry that is not there: nothing is loaded then. A preset that
// cannot be read leaves the record as the read left it; the dialog goes on.
void EffectFrame::ReadPreset(int32_t entry) {
  if (presetList == nullptr || entry < 0 || entry >= desc_.presetRoom ||
      entry >= tb::CountMenuItems(Ctl(desc_.presetPopup)))
    return;
  (void)RecordFile(2, presetList[entry], edit);
}

std::string EffectFrame::PresetFolder() const {
  tb::ControlRef popup = Ctl(desc_.presetPopup);
  if (presetList != nullptr && presetList[0].name[0] != 0 && popup != nullptr && tb::CountMenuItems(popup) > 0) {
    const std::string first = plat::files::SpecToPosix(presetList[0]);
    const size_t slash = first.rfind('/');
    if (slash != std::string::npos && slash > 0) return first.substr(0, slash);
  }
  return std::string();
}

int16_t EffectFrame::SavePreset(const std::function<int16_t()>& write) { return SavePreset(write, PresetFolder()); }

int16_t EffectFrame::SavePreset(const std::function<int16_t()>& write, const std::string& folder) {
  SaveDialogScope scope(folder, shownPreset_);
  const int16_t answer = write();
  // Cancelled, nothing is said; a file that was chosen and is not there as
  // asked must not pass for saved.
  if (answer != 0 && !scope.chosen().empty()) {
    plat::ui::AlertRequest alert;
    alert.alertId = kFileAlert;
    alert.params = {"The preset could not be saved as \"" + scope.chosen() + "\".",
                    scope.replacing() ? "The file was left as it was." : "No file was made."};
    plat::ui::Alert(alert);
  }
  return answer;
}

void EffectFrame::ReadPresetKeeping(int32_t entry, void (*keep)(const void* from, void* to)) {
  if (edit == nullptr || keep == nullptr || TestKeyModif(optionKey) != 1) {
    EffectFrame::ReadPreset(entry);
    return;
  }
  void* before = vmkrec::NewScratch(static_cast<size_t>(desc_.record->size));
  if (before == nullptr) return;
  desc_.record->copy(edit, before);
  EffectFrame::ReadPreset(entry);
  keep(before, edit);
  vmkrec::DeleteScratch(before);
}

EffectFrame::PreviewStep EffectFrame::PreviewMenuStep(uint32_t kind, bool* open,
                                                      const std::function<void(int16_t)>& backRest) {
  switch (kind) {
    case tb::kEventMenuOpening:
    case tb::kEventMenuTargetItem:
      // The first highlighted item may come before the opening: what it
      // replaces is kept before it is previewed, not the previewed item at
      // the opening (which the closing, or an undo after a pick, would then
      // bring back).
      if (!*open) {
        *open = true;
        backRest(1);
      }
      return kind == tb::kEventMenuTargetItem ? PreviewStep::kShowItem : PreviewStep::kNone;
    case tb::kEventMenuClosed:
      // A menu that never opened has nothing kept to put back.
      if (!*open) return PreviewStep::kNone;
      *open = false;
      backRest(0);
      return PreviewStep::kPutBack;
    default: return PreviewStep::kNone;
  }
}

void EffectFrame::HoverItem(int32_t item, tb::WindowRef window) {
  if (item < 1 || item > tb::CountMenuItems(Ctl(HoverPopup()))) return;
  ReadPreset(item - 1);
  DrawWindowContent(window);
  refresh() = 1;
  Loop(loopTimer, window);
}

// ---- the picture in a preview box ----

PictureFit EffectFrame::PlacePicture(VMKimabox* box, std::initializer_list<VMKimabox*> followers) {
  PictureFit f;
  if (box == nullptr) return f;
  // The record is the box's to copy; the scratch one goes back at once.
  if (auto* yoxel = static_cast<YoxelPar*>(vmkrec::NewScratch(sizeof(YoxelPar)))) {
    Init_YoxelPar(yoxel, context.width, context.height, context.resolution, 0, 5);
    box->SetYoxelPar(yoxel, 0, previewSource);
    for (VMKimabox* other : followers)
      if (other != nullptr) other->SetYoxelPar(yoxel, 0, previewSource);
    vmkrec::DeleteScratch(yoxel);
  }
  f.left = box->GetRectOrix();
  f.top = box->GetRectOriy();
  f.width = box->GetRectSizx();
  f.height = box->GetRectSizy();
  const int64_t w = context.width, h = context.height;
  // A document with no extent fits nothing. A picture one pixel across is
  // still shown one pixel across, however long its other side: its
  // narrow side must not round to nothing.
  if (w > h) {
    f.fittedWidth = f.width;
    f.fittedHeight = static_cast<int32_t>(std::max<int64_t>(f.height * h / w, f.height > 0 ? 1 : 0));
  } else if (h > 0) {
    f.fittedHeight = f.height;
    f.fittedWidth = static_cast<int32_t>(std::max<int64_t>(w * f.width / h, f.width > 0 && w > 0 ? 1 : 0));
  }
  if (drawParams != nullptr) {
    drawParams->viewOffsetX = static_cast<float>(f.left) + static_cast<float>(f.width - f.fittedWidth) * 0.5f;
    drawParams->viewOffsetY = static_cast<float>(f.top) + static_cast<float>(f.height - f.fittedHeight) * 0.5f;
    drawParams->originX = 0.0f;
    drawParams->originY = 0.0f;
    drawParams->scaleX = 1.0f;
    drawParams->scaleY = 1.0f;
    drawParams->limit = {static_cast<int16_t>(f.top), static_cast<int16_t>(f.left),
                         static_cast<int16_t>(f.top + f.height), static_cast<int16_t>(f.left + f.width)};
    box->SetDrw(drawParams);
    for (VMKimabox* other : followers)
      if (other != nullptr) other->SetDrw(drawParams);
  }
  return f;
}

// ---- running the window ----

bool EffectFrame::ReadyToRun() const {
  if (desc_.record != nullptr && desc_.record->size > 0 && (edit == nullptr || backup == nullptr)) return false;
  if (desc_.presetPopup >= 0 && presetList == nullptr) return false;
  return std::none_of(boxes_.begin(), boxes_.end(), [](VMKimabox* b) { return b == nullptr; });
}

// The name is made before the flag is looked at, so that 'ok  ' always
// has a valid file to write.
void EffectFrame::SetUpTempFile() {
  if (desc_.tempFile == nullptr) return;
  if (!MakersFolderItem(desc_.tempFile, &tempFile)) return;
  // A missing file leaves the record as the owner handed it in.
  if (flag != 1) (void)RecordFile(2, SpecOf(tempFile), edit);
}

void EffectFrame::FindControls(tb::WindowRef window) {
  controls.assign(desc_.lookup.size() + desc_.otherLookup.size(), nullptr);
  size_t k = 0;
  for (int32_t id : desc_.lookup) tb::GetControlByID(window, {desc_.signature, id}, &controls[k++]);
  for (int32_t id : desc_.otherLookup) tb::GetControlByID(window, {desc_.otherSignature, id}, &controls[k++]);
}

void EffectFrame::PrepareBoxesAndMenus(tb::WindowRef window) {
  OpenViews(window);
  LoadPresetMenus();
  LoadOwnMenus();
}

void EffectFrame::InstallControls(const FrameProcs& procs, tb::WindowRef window) {
  for (const ValueRow& row : rows_) {
    tb::ControlRef field = Ctl(row.edit);
    tb::SetKeyFilter(field, procs.keys);
    tb::ControlRef c = Ctl(row.control);
    if (c == nullptr) continue;
    tb::SetControlReference(c, field);
    tb::SetControlAction(c, row.kind == ValueRow::kArrows ? procs.arrows : procs.slider);
  }
  InstallOwnControls(procs, window);
}

void EffectFrame::InstallTimer(const FrameProcs& procs, tb::WindowRef window) {
  if (desc_.loopInterval <= 0.0) return;
  // A second run of the same dialog replaces the timer of the first, which
  // still names the first window.
  if (loopTimerUPP) tb::RemoveEventLoopTimer(loopTimer);
  loopTimerUPP = procs.loop;
  tb::InstallEventLoopTimer(tb::kEventDurationForever, desc_.loopInterval, loopTimerUPP, window, &loopTimer);
  tb::SetEventLoopTimerNextFireTime(loopTimer, 0.0);
}

int16_t EffectFrame::Run(const FrameProcs& procs, int16_t runFlag) {
  plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
  flag = runFlag;
  previewSource = flag == 1 ? 2 : 3;
  hoverOpen_ = false;
  // Without its records or its boxes the dialog has nothing to show: it
  // answers as if the window could not be made.
  if (!ReadyToRun()) return 0;
  SetUpTempFile();
  tb::WindowRef window = nullptr;
  if (tb::CreateWindowFromNib(WindowName(), &window) != noErr || window == nullptr) return 0;
  if (desc_.resizable) tb::SetWindowResizable(window, true);
  FindControls(window);
  // From here on every preview of the dialog's boxes runs on its worker.
  for (VMKimabox* box : boxes_) box->SetPreviewRunner(previews_.get());
  PrepareBoxesAndMenus(window);
  // The close box is left to the toolbox, which presses the window's Cancel
  // (the dialog's own cancel path, its closing question included) or sends
  // 'clos', which ends it as cancel.
  std::vector<tb::EventTypeSpec> events(desc_.events.begin(), desc_.events.end());
  tb::InstallWindowEventHandler(window, procs.window, events, window);
  InstallTimer(procs, window);
  InstallControls(procs, window);
  BeforeShow(window);
  if (tb::ControlRef focus = Ctl(desc_.focusEdit)) tb::SetKeyboardFocus(window, focus);
  DrawWindowContent(window);
  tb::ShowWindow(window);
  result = 0;
  if (desc_.refreshAtOpen) refresh() = 1;
  tb::RunAppModalLoopForWindow(window);
  // The timer outlives the window until the owner destroys the dialog; it
  // sleeps from here on, so no tick reaches a window that is gone.
  tb::SetEventLoopTimerNextFireTime(loopTimer, tb::kEventDurationForever);
  // Closing stops what still renders; the boxes render at once again for
  // whoever shows them next.
  previews_->Stop();
  for (VMKimabox* box : boxes_) box->SetPreviewRunner(nullptr);
  tb::HideWindow(window);
  tb::DisposeWindow(window);
  controls.assign(controls.size(), nullptr);
  return result;
}

// ---- the loop ----

void EffectFrame::Loop(tb::EventLoopTimerRef, void* data) {
  auto window = static_cast<tb::WindowRef>(data);
  bool changed = TickRequests(window);
  if (desc_.undoTick && restor_ != nullptr && *restor_ == 1) {
    BackRest(0);
    *restor_ = 0;
    // The number fields still show what was undone: reading them now would
    // undo the undo. They get the restored values below instead.
    refresh() = 0;
    ShowPreview();
    changed = true;
  }
  if (desc_.pollBeforeRefresh && PollTick(window)) changed = true;
  if (refresh() == 1) {
    GetEditValue();
    ShowPreview();
    refresh() = desc_.refreshAfterRead;
    changed = true;
  }
  if (rampEditor != nullptr && rampEditor->CheckSetPreview(0) == 1) {
    if (edit != nullptr && desc_.record->ramp != nullptr) rampEditor->GetLutVign(desc_.record->ramp(edit));
    ShowPreview();
    changed = true;
  }
  if (!desc_.pollBeforeRefresh && PollTick(window)) changed = true;
  if (changed) DrawWindowContent(window);
}

// ---- OK's render ----

bool EffectFrame::RenderOk(tb::WindowRef window) {
  if (!okRender_) return true;
  // The window's loop sleeps meanwhile, so that no tick starts a preview beside the render.
  tb::SetEventLoopTimerNextFireTime(loopTimer, tb::kEventDurationForever);
  OkRenderRuns(true);
  okRendering_ = true;
  cancelHeld_ = false;
  const bool applied = okRender_();
  okRendering_ = false;
  if (applied) return true;
  // Not applied, and the user has been told why: the window stays as the user left it.
  OkRenderRuns(false);
  tb::SetEventLoopTimerNextFireTime(loopTimer, 0.0);
  DrawWindowContent(window);
  if (std::exchange(cancelHeld_, false)) {
    result = 0;
    tb::QuitAppModalLoopForWindow(window);
  }
  return false;
}

void EffectFrame::OkRenderRuns(bool running) {
  if (running) {
    previews_->Stop();
    return;
  }
  StalePreviews();
  refresh() = 1;
}

// ---- commands ----

void EffectFrame::RowCommand(const ValueRow& row, tb::ControlRef source, tb::WindowRef window) {
  BackRest(1);
  if (row.kind == ValueRow::kSlider) {
    SetRowValue(row, tb::GetControl32BitValue(source));
    PushTick(desc_.sliderPush);
    StalePreviews();
    refresh() = 1;
    return;
  }
  // Little arrows have already written their field: it is read at once.
  GetEditValue();
  StalePreviews();
  refresh() = 1;
  DrawWindowContent(window);
}

void EffectFrame::AfterLoad(tb::WindowRef window) {
  AfterRecordLoad();
  DrawWindowContent(window);
  StalePreviews();
  refresh() = 1;
}

bool EffectFrame::CommonCommand(uint32_t command, tb::WindowRef window) {
  switch (command) {
    case FourCC("ok  "):
      // A value typed since the last tick counts: the fields are read before
      // the result is set and the settings are kept.
      GetEditValue();
      if (desc_.tempFile != nullptr && tempFile.name[0] != 0) (void)RecordFile(3, SpecOf(tempFile), edit);
      if (!RenderOk(window)) return true;
      result = 1;
      tb::QuitAppModalLoopForWindow(window);
      return true;
    case FourCC("canc"):
    case FourCC("clos"):
      result = 0;
      tb::QuitAppModalLoopForWindow(window);
      return true;
    case FourCC("Bres"):
      BackRest(1);
      if (edit != nullptr) InitRecord(edit);
      AfterLoad(window);
      return true;
    case FourCC("Bloa"):
      BackRest(1);
      // A file the user cannot or does not choose leaves the record as it is.
      if (presetList != nullptr) (void)RecordFile(0, presetList[0], edit);
      AfterLoad(window);
      return true;
    case FourCC("Plib"):
      BackRest(1);
      ReadPreset(tb::GetControl32BitValue(Ctl(desc_.presetPopup)) - 1);
      AfterLoad(window);
      return true;
    case FourCC("Bsav"):
      BackRest(1);
      if (presetList != nullptr) (void)SavePreset([&] { return RecordFile(1, presetList[0], edit); });
      // The new file belongs in the popup at once.
      LoadPresetMenus();
      DrawWindowContent(window);
      return true;
    default: return false;
  }
}

OSStatus EffectFrame::CommandProcess(tb::EventHandlerCallRef, tb::EventRef event, void* data) {
  auto window = static_cast<tb::WindowRef>(data);
  if (event->eventClass != tb::kEventClassCommand || event->kind != tb::kEventCommandProcess) return noErr;
  const uint32_t cmd = event->command;
  tb::ControlRef source = event->control;
  (void)TakePick();
  // Whoever serves the command, the file its dialogs took is seen here.
  FileChoiceWatch files;
  Dispatch(cmd, source, window);
  NotePreset(cmd, files.chosen());
  return noErr;
}

void EffectFrame::Dispatch(uint32_t cmd, tb::ControlRef source, tb::WindowRef window) {
  if (OwnCommand(cmd, source, window) || FamilyCommand(cmd, source, window)) return;
  for (const ValueRow& row : rows_) {
    if (row.command == cmd && Shown(row)) {
      RowCommand(row, source, window);
      return;
    }
  }
  CommonCommand(cmd, window);
}

// The preset in front of the user, the name Save... offers: the one chosen
// in the popup, or the file Load... read or Save... wrote.
void EffectFrame::NotePreset(uint32_t cmd, const std::string& chosenFile) {
  if (cmd == FourCC("Plib")) {
    tb::ControlRef popup = Ctl(desc_.presetPopup);
    if (popup != nullptr) shownPreset_ = tb::GetMenuItemText(popup, tb::GetControl32BitValue(popup));
  } else if ((cmd == FourCC("Bloa") || cmd == FourCC("Bsav")) && !chosenFile.empty()) {
    shownPreset_ = plat::files::DisplayName(std::filesystem::path(chosenFile).filename().string());
  }
}

// ---- events ----

OSStatus EffectFrame::MenuEvent(tb::EventRef event, tb::WindowRef window) {
  tb::ControlRef hovered = Ctl(HoverPopup());
  if (hovered == nullptr || event->control != hovered) return tb::eventNotHandledErr;
  switch (PreviewMenuStep(event->kind, &hoverOpen_, [this](int16_t n) { HoverBackRest(n); })) {
    case PreviewStep::kShowItem: HoverItem(event->menuItem, window); break;
    case PreviewStep::kPutBack:
      DrawWindowContent(window);
      refresh() = 1;
      break;
    default: break;
  }
  return tb::eventNotHandledErr;
}

OSStatus EffectFrame::WindowClassEvent(tb::EventRef event, tb::WindowRef window) {
  switch (event->kind) {
    case tb::kEventWindowResizeCompleted:
    case tb::kEventWindowZoomed:
      PrepareWindowForDisplay();
      refresh() = 1;
      break;
    case tb::kEventWindowDrawContent:
      DrawWindowContent(window);
      tb::DrawControls(window);
      return noErr;
    default: break;
  }
  return tb::eventNotHandledErr;
}

OSStatus EffectFrame::WindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* data) {
  auto window = static_cast<tb::WindowRef>(data);
  OSStatus status = tb::eventNotHandledErr;
  if (okRendering_ && event->eventClass == tb::kEventClassCommand) {
    // A click that reached the window while OK's render runs (before its progress window
    // shows) is not acted on beside it: a Cancel is carried out once the render has failed
    // (had it succeeded the window closes anyway), anything else is dropped.
    if (event->kind == tb::kEventCommandProcess &&
        (event->command == FourCC("canc") || event->command == FourCC("clos")))
      cancelHeld_ = true;
    return noErr;
  }
  if (OwnEvent(event, window, &status)) return status;
  switch (event->eventClass) {
    case tb::kEventClassCommand:
      // The stepped slider's command has come: from here the record holds
      // what the slider shows, whoever handles the command.
      if (event->control != nullptr && event->control == gSteppedSlider) gSteppedSlider = nullptr;
      if (event->kind == tb::kEventCommandProcess) CommandProcess(call, event, data);
      break;
    case tb::kEventClassMouse:
      if (event->kind == tb::kEventMouseMoved) plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
      break;
    case tb::kEventClassTextInput:
      if (event->kind != tb::kEventTextInputFilterText) break;
      StalePreviews();
      refresh() = 1;
      PushTick(desc_.typingPush);
      break;
    case tb::kEventClassKeyboard:
      if (event->kind == tb::kEventRawKeyDown && IsUndoKey(event->charCode, event->modifiers)) {
        if (restor_ != nullptr) *restor_ = 1;
        return noErr;
      }
      break;
    case tb::kEventClassMenu: return MenuEvent(event, window);
    case tb::kEventClassWindow: return WindowClassEvent(event, window);
    default: break;
  }
  return tb::eventNotHandledErr;
}

#include "dialogs/correction/effect_dialog.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>

#include "app/core/percent.h"
#include "app/core/text_helpers.h"
#include "app/ui/dialog_items.h"
#include "app/ui/file_menus.h"
#include "dialogs/frame/zoom_pan.h"
#include "engines/records/param_record.h"
#include "host/session/app_object.h"
#include "platform/toolbox/api/ui_services.h"
#include "script/document_data.h"
#include "views/image_box.h"

namespace tb = plat::tb;

namespace {

constexpr int32_t kWhole = 100000;
constexpr int32_t kOneToOne = 10000;

// The window-event types every colour-correction dialog registers, in order.
constexpr tb::EventTypeSpec kEvents[] = {
    {tb::kEventClassCommand, tb::kEventCommandProcess},
    {tb::kEventClassMouse, tb::kEventMouseMoved},
    {tb::kEventClassTextInput, tb::kEventTextInputFilterText},
    {tb::kEventClassKeyboard, tb::kEventRawKeyDown},
    {tb::kEventClassMenu, tb::kEventMenuOpening},
    {tb::kEventClassMenu, tb::kEventMenuTargetItem},
    {tb::kEventClassMenu, tb::kEventMenuClosed},
    {tb::kEventClassWindow, tb::kEventWindowResizeCompleted},
    {tb::kEventClassWindow, tb::kEventWindowZoomed},
    {tb::kEventClassControl, tb::kEventControlTrack},
    {tb::kEventClassWindow, tb::kEventWindowDrawContent},
    // The close box answers as cancel: a modal window must not stay open
    // with no way out but its buttons.
    {tb::kEventClassWindow, tb::kEventWindowClickCloseRgn}};

// The main view follows the values; the navigator keeps showing the whole
// picture, so a value change leaves its render alone.
constexpr FrameBox kBoxes[] = {{"HIima", true}, {"HIpan", false}};

// The frame's part of a colour-correction description. These dialogs only
// raise the undo request (none reads it), list at most 255 presets, and
// preview once the loop starts.
EffectFrameDesc FrameDescOf(const EffectDialogDesc& d) {
  EffectFrameDesc f;
  f.window = d.window;
  f.signature = d.signature;
  f.lookup = d.lookup;
  f.viewKey = d.viewKey;
  f.boxes = kBoxes;
  f.effect = d.effect;
  f.presetType = d.presetType;
  f.record = &d.record->frame;
  f.presetPopup = d.ids.presetPopup;
  f.presetRoom = d.presetRoom;
  f.presetLimit = 255;
  f.events = d.events.empty() ? std::span<const tb::EventTypeSpec>(kEvents) : d.events;
  f.loopInterval = d.loopInterval;
  f.typingPush = d.typingPush;
  f.sliderPush = d.sliderPush;
  f.focusEdit = d.ids.focusEdit;
  f.tempFile = d.tempFile;
  f.undoTick = false;
  f.refreshAtOpen = d.refreshAtOpen;
  f.resizable = true;
  return f;
}

std::string Format(const char* format, long value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string FormatInt(const char* format, int value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// An image of no width or height still fits somewhere: it counts as 1.
int32_t AtLeastOne(int32_t v) { return v > 0 ? v : 1; }

// The 1:1 view shows `pixels` picture pixels across.
int32_t OneToOneSide(int32_t pixels, int32_t size) {
  return static_cast<int32_t>(std::min<int64_t>(int64_t{pixels} * kWhole / AtLeastOne(size), kWhole));
}

// A number field as a dialog item: its window, signature and number.
DialogRef DialogOf(tb::ControlRef c) { return {tb::GetControlOwner(c), tb::GetControlID(c).signature}; }
int16_t ItemOf(tb::ControlRef c) { return static_cast<int16_t>(tb::GetControlID(c).id); }

// What a number field holds; text that does not begin with a number (an
// empty field, a lone '-') reads 0.
int32_t FieldNumber(tb::ControlRef field) {
  int32_t v = 0;
  if (field != nullptr) GetDlgLong(DialogOf(field), ItemOf(field), &v);
  return v;
}

void ShowFieldNumber(tb::ControlRef field, int32_t value) {
  if (field != nullptr) PutDlgLong(DialogOf(field), ItemOf(field), value);
}

}  // namespace

// ---- construction ----

EffectDialog::EffectDialog(const EffectDialogDesc& desc, int16_t* restor)
    : EffectFrame(FrameDescOf(desc), restor), desc_(desc) {
  const EffectRecordOps& ops = *desc.record;
  imageWidth = context.width;
  imageHeight = context.height;
  imageResolution = context.resolution;
  if (desc.drawingParameters) drawPar = static_cast<DrawPar*>(vmkrec::NewScratch(sizeof(DrawPar)));
  if (drawPar != nullptr) {
    new (drawPar) DrawPar{};
    Init_DrawPar(drawPar);
  }
  if (edit != nullptr && backup != nullptr) {
    const int32_t* w = ops.words(edit);
    SetOneToOne(w[ops.width], w[ops.height]);
  }
  SetNavZoom(10000);
  main_ = Box(0);
  nav_ = Box(1);
}

void EffectDialog::SetOneToOne(int32_t width, int32_t height) {
  oneToOne[2] = OneToOneSide(desc_.fitPixels, width);
  oneToOne[3] = desc_.squareOneToOne ? oneToOne[2] : OneToOneSide(desc_.fitPixels, height);
}

EffectDialog::~EffectDialog() {
  previews().Stop();
  vmkrec::DeleteScratch(drawPar);
}

bool EffectDialog::ReadyToRun() const {
  return (drawPar != nullptr || !desc_.drawingParameters) && EffectFrame::ReadyToRun();
}

void EffectDialog::ToView(VMKimabox* view, int16_t previewMode) {
  if (view != nullptr) desc_.record->toView(view, edit, previewMode, displayWord);
}

// ---- running the window ----

void EffectDialog::OpenBoxes() {
  const EffectRecordOps& ops = *desc_.record;
  const int32_t* w = ops.words(edit);
  nav_->InitBuf(desc_.bufMode);
  nav_->SetBufParam(0, 0, 0, 0, NavigatorFrames(), 0, 1, 0, 0, 0, 0, 0, 0);
  if (desc_.navPanFirst) nav_->SetBufSSPan(pan[0], pan[1], pan[2], pan[3], 100, 0, desc_.navPanTag);
  ToView(nav_, 2);
  if (!desc_.navPanFirst) nav_->SetBufSSPan(pan[0], pan[1], pan[2], pan[3], 100, 0, desc_.navPanTag);
  main_->InitBuf(desc_.bufMode);
  main_->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
  PanToMain();
  main_->SetOveLay(Overlay(kOverlayOn), Overlay(kOverlayIndex), Overlay(kOverlayOpacity));
  if (desc_.mainPreviewAtOpen) ToView(main_, 0);
  main_->SetBufSSPan(w[ops.regionLeft], w[ops.regionTop], w[ops.regionRight], w[ops.regionBottom], 100, 0, 1);
}

// The overlay section is reset before the presets are listed, and the
// boxes open on the reset record.
void EffectDialog::PrepareBoxesAndMenus(tb::WindowRef) {
  LoadLayPhoMenus();
  LoadPresetMenus();
  OpenBoxes();
  PrepareWindowForDisplay();
}

void EffectDialog::InstallOwnControls(const FrameProcs& procs, tb::WindowRef window) {
  if (tb::ControlRef field = Ctl(desc_.ids.opacityEdit)) {
    tb::SetKeyFilter(field, procs.keys);
    if (tb::ControlRef slider = Ctl(desc_.ids.opacitySlider)) {
      tb::SetControlReference(slider, field);
      tb::SetControlAction(slider, procs.slider);
    }
  }
  if (tb::ControlRef zoom = Ctl(desc_.ids.zoomSlider)) {
    tb::SetControlReference(zoom, window);
    tb::SetControlAction(zoom, procs.pan);
  }
}

// A scale of 100 over the whole pan shows the whole picture only up to
// 50,000 pixels across (the half size is 2.5e9 / width); wider pictures
// open on their centre. Kept: nothing that large reaches a dialog.
void EffectDialog::BeforeShow(tb::WindowRef window) {
  SetPanZoom(window, 100);
  curIndex = midIndex;
  curZoom = zoomTable[midIndex];
  // The first 1:1 shows the picture's corner, the view's size of it.
  PanAtZoom(oneToOne, 0.0, 0.0, kOneToOne, ViewWidth(), ViewHeight(), RecordWidth(), RecordHeight());
}

// ---- fields ----

void EffectDialog::GetEditValue() {
  EffectFrame::GetEditValue();
  if (tb::ControlRef field = Ctl(desc_.ids.opacityEdit)) {
    const int32_t v = std::clamp(FieldNumber(field), 0, 100);
    SetOverlay(kOverlayOpacity, static_cast<int32_t>(PercentFieldTo255(Overlay(kOverlayOpacity), v)));
  }
}

bool EffectDialog::OwnKey(int16_t charCode, uint32_t modifiers, bool* pass) {
  if (desc_.keyExtra != NumKeyExtra::kCmdSTogglesPreview) return false;
  if (charCode == 's' && modifiers == cmdKey) {
    refresh() = 1;
    mode() = mode() == 0 ? 1 : 0;
    *pass = false;
    return true;
  }
  // Cmd-Z here is an ordinary blocked letter: no undo request.
  if (charCode == 'z' && modifiers == cmdKey) {
    *pass = false;
    return true;
  }
  return false;
}

// ---- showing the state ----

void EffectDialog::ShowFitControls() {
  const bool fit = fitFlag == 1;
  tb::SetControl32BitValue(Ctl(desc_.ids.fitIndicator), fit ? 1 : 0);
  tb::SetControl32BitValue(Ctl(desc_.ids.zoomIndicator), fit ? 0 : 1);
  for (int32_t id : {desc_.ids.zoomSlider, desc_.ids.zoomOut, desc_.ids.zoomIn})
    tb::SetControlVisibility(Ctl(id), !fit);
}

void EffectDialog::ShowOverlay() {
  const EffectDialogIds& ids = desc_.ids;
  const int32_t on = Overlay(kOverlayOn);
  const int32_t index = Overlay(kOverlayIndex);
  const int32_t all[] = {ids.overlayGroup, ids.overlayCheck, ids.overlayPopup, ids.overlayMore[0],
                         ids.overlayMore[1], ids.opacitySlider, ids.opacityEdit};
  // Without an overlay every overlay control stays hidden, whatever the
  // check box and the popup would say.
  for (int32_t id : all) tb::SetControlVisibility(Ctl(id), index != 0);
  if (index == 0) return;
  tb::SetControl32BitValue(Ctl(ids.overlayCheck), on);
  tb::SetControl32BitValue(Ctl(ids.overlayPopup), index);
  ShowOpacity();
  for (int32_t id : {ids.overlayPopup, ids.overlayMore[0], ids.overlayMore[1], ids.opacitySlider, ids.opacityEdit}) {
    if (on == 0) tb::DisableControl(Ctl(id));
    else tb::EnableControl(Ctl(id));
  }
}

// The record holds 0..255, the slider and the field show percent.
void EffectDialog::ShowOpacity() {
  const int32_t percent = PercentOf255(Overlay(kOverlayOpacity));
  tb::SetControl32BitValue(Ctl(desc_.ids.opacitySlider), percent);
  ShowFieldNumber(Ctl(desc_.ids.opacityEdit), percent);
}

void EffectDialog::DrawRGBPicker() {
  static const char* const kTitles[3] = {" R %ld", " G %ld", " B %ld"};
  for (int k = 0; k < 3; ++k) tb::SetControlTitle(Ctl(desc_.ids.readout[k]), Format(kTitles[k], readout[k]));
  static const char* const kPlace[2] = {"X: %d", "Y: %d"};
  for (int k = 0; k < 2; ++k)
    if (tb::ControlRef c = Ctl(desc_.ids.readoutXY[k])) tb::SetControlText(c, FormatInt(kPlace[k], readout[3 + k]));
}

void EffectDialog::DrawWindowContent(tb::WindowRef window) {
  DrawOwnContent(window);
  ShowValues();
  if (desc_.modeWord >= 0) tb::SetControl32BitValue(Ctl(desc_.ids.modeRadio), ItemOfWord(Word(desc_.modeWord)));
  tb::SetControl32BitValue(Ctl(desc_.ids.previewRadio), mode() + 1);
  tb::ControlRef presets = Ctl(desc_.ids.presetPopup);
  const bool anyPreset = tb::CountMenuItems(presets) > 0;
  tb::SetControlVisibility(presets, anyPreset);
  tb::SetControlVisibility(Ctl(desc_.ids.presetCompanion), anyPreset);
  const int32_t shown = fitFlag == 1 ? FitZoom() : curZoom;
  char text[32];
  std::snprintf(text, sizeof text, "%3.0f%%", static_cast<double>(static_cast<float>(shown) / 100.0f));
  tb::SetControlText(Ctl(desc_.ids.zoomText), text);
  DrawRGBPicker();
  if (desc_.showsFitAndOverlay) {
    ShowFitControls();
    ShowOverlay();
  } else {
    // A dialog that leaves its overlay section as the window has it still
    // reads the opacity field and takes the slider's commands: without this
    // the slider stayed where the window put it while the field said
    // otherwise, and typing in the field never moved it.
    ShowOpacity();
  }
  tb::DrawControls(window);
  plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
}

// ---- zoom and pan ----

void EffectDialog::SetNavZoom(int32_t minimum) {
  FillZoomTable(zoomTable, minimum, &minIndex, &midIndex, &maxIndex);
}

int32_t EffectDialog::ZoomPosition(int32_t z) const {
  return ZoomSliderPosition(zoomTable, minIndex, midIndex, maxIndex, z);
}

int32_t EffectDialog::RecordWidth() const {
  const EffectRecordOps& ops = *desc_.record;
  return edit != nullptr ? ops.words(edit)[ops.width] : imageWidth;
}

int32_t EffectDialog::RecordHeight() const {
  const EffectRecordOps& ops = *desc_.record;
  return edit != nullptr ? ops.words(edit)[ops.height] : imageHeight;
}

int32_t EffectDialog::ViewWidth() const { return main_ != nullptr ? main_->state().viewWidth : 0; }
int32_t EffectDialog::ViewHeight() const { return main_ != nullptr ? main_->state().viewHeight : 0; }

// A picture larger than the view is fitted at the table's first entry; a
// smaller one is fitted into the view enlarged, and the text says that zoom.
int32_t EffectDialog::FitZoom() const {
  return FittedZoom(ViewWidth(), ViewHeight(), RecordWidth(), RecordHeight(), zoomTable[minIndex]);
}

// The main view shows the pan rectangle at the zoom the text says (the whole
// picture fitted at Fit).
void EffectDialog::PanToMain() {
  main_->SetPanBufCoord(pan[0], pan[1], pan[2], pan[3]);
  main_->SetShownZoom(fitFlag == 1 ? 0 : curZoom);
}

// The table starts at the zoom the whole picture fits the view at, and the
// part shown is the view's size at `zoom` about the middle of the part shown
// before, moved inside the picture. (The view's side of 500 pixels each way
// and a rectangle of the picture's shape, cut at the border, showed another
// zoom than the text said, with bands of the picture's shape.)
void EffectDialog::SetPanZoom(tb::WindowRef window, int32_t zoom) {
  const int32_t width = RecordWidth(), height = RecordHeight();
  SetNavZoom(FitScaleOf(ViewWidth(), ViewHeight(), width, height));
  PanAtZoom(pan, PanCentreOf(width, pan[0], pan[2]), PanCentreOf(height, pan[1], pan[3]), zoom, ViewWidth(),
            ViewHeight(), width, height);
  nav_->SetBufSSPan(pan[0], pan[1], pan[2], pan[3], 100, 0, desc_.navPanTag);
  nav_->CheckSetRefresh(1);
  PanToMain();
  if (desc_.zoomRendersMain) ToView(main_, 0);
  DrawWindowContent(window);
}

void EffectDialog::AdjustPanZoom(tb::WindowRef window, int16_t p) {
  const int32_t z = ZoomAtSliderPosition(zoomTable, minIndex, midIndex, maxIndex, p);
  LeaveFit(window);
  curZoom = z;
  // Beyond the last entry the index stays where it was.
  curIndex = ZoomIndexAbove(zoomTable, minIndex, maxIndex, z, curIndex);
  SetPanZoom(window, z);
}

void EffectDialog::ApplyIndex(tb::WindowRef window, int32_t index) {
  curIndex = index;
  curZoom = zoomTable[index];
  tb::SetControl32BitValue(Ctl(desc_.ids.zoomSlider), ZoomPosition(curZoom));
  SetPanZoom(window, curZoom);
}

// '+' and '-' step from the zoom shown; '+' at Fit leaves Fit for the first
// step above the fitted zoom, and below Fit there is nothing more to show.
void EffectDialog::ZoomStep(tb::WindowRef window, int direction) {
  const bool fit = fitFlag == 1;
  if (fit && direction < 0) return;
  const int32_t index = ZoomStepIndex(zoomTable, minIndex, maxIndex, fit ? FitZoom() : curZoom, direction);
  LeaveFit(window);
  ApplyIndex(window, index);
}

// A zoom control used at Fit shows the picture zoomed from then on, with the
// navigator's frame.
void EffectDialog::LeaveFit(tb::WindowRef window) {
  if (fitFlag != 1) return;
  fitFlag = 0;
  ResetNavigator(window, desc_.oneToOnePush);
}

// 1:1 is one picture pixel a view pixel about the middle of the 1:1
// rectangle: the part the navigator's frame was last left at, or the part 1:1
// showed last. (Taken as it was, a rectangle left by another zoom showed that
// zoom, not 1:1.)
void EffectDialog::OneToOne(tb::WindowRef window) {
  fitFlag = 0;
  curZoom = kOneToOne;
  curIndex = ZoomIndexAbove(zoomTable, minIndex, maxIndex, kOneToOne - 1, curIndex);
  const int32_t width = RecordWidth(), height = RecordHeight();
  PanAtZoom(pan, PanCentreOf(width, oneToOne[0], oneToOne[2]), PanCentreOf(height, oneToOne[1], oneToOne[3]),
            kOneToOne, ViewWidth(), ViewHeight(), width, height);
  std::copy(pan, pan + 4, oneToOne);
  tb::SetControl32BitValue(Ctl(desc_.ids.zoomSlider), ZoomPosition(curZoom));
  PanToMain();
  ResetNavigator(window, desc_.oneToOnePush);
}

// The frame as the user left it in the navigator: moved, the view follows it
// at the same zoom; resized, at the zoom that shows its part
// (NavigatorFrameZoom). Either way the part is the view's own shape, inside
// the picture, and the frame is put where the view is.
void EffectDialog::TakeNavigatorFrame() {
  int32_t frame[4] = {pan[0], pan[1], pan[2], pan[3]};
  nav_->GetBufSSPan(&frame[0], &frame[1], &frame[2], &frame[3], 0);
  const int32_t width = RecordWidth(), height = RecordHeight();
  const int32_t zoom = NavigatorFrameZoom(frame, pan, curZoom, ViewWidth(), ViewHeight(), width, height,
                                          zoomTable[minIndex], zoomTable[maxIndex]);
  if (zoom != curZoom) {
    curZoom = zoom;
    curIndex = ZoomIndexAbove(zoomTable, minIndex, maxIndex, curZoom, curIndex);
    tb::SetControl32BitValue(Ctl(desc_.ids.zoomSlider), ZoomPosition(curZoom));
  }
  PanAtZoom(pan, PanCentreOf(width, frame[0], frame[2]), PanCentreOf(height, frame[1], frame[3]), curZoom,
            ViewWidth(), ViewHeight(), width, height);
  nav_->SetBufSSPan(pan[0], pan[1], pan[2], pan[3], 100, 0, desc_.navPanTag);
}

void EffectDialog::ResetNavigator(tb::WindowRef window, double push) {
  nav_->SetBufParam(0, 0, 0, 0, NavigatorFrames(), 0, 1, 0, 0, 0, 0, 0, 0);
  nav_->SetBufSSPan(pan[0], pan[1], pan[2], pan[3], 100, 0, desc_.navPanTag);
  nav_->CheckSetRefresh(1);
  DrawWindowContent(window);
  PushTick(push);
  refresh() = 1;
}

void EffectDialog::PrepareWindowForDisplay() {
  main_->InitBufSize();
  // Away from Fit a view of a new size shows the same zoom about the middle
  // of the part it showed, in its new shape.
  if (fitFlag == 0) {
    const int32_t width = RecordWidth(), height = RecordHeight();
    SetNavZoom(FitScaleOf(ViewWidth(), ViewHeight(), width, height));
    PanAtZoom(pan, PanCentreOf(width, pan[0], pan[2]), PanCentreOf(height, pan[1], pan[3]), curZoom, ViewWidth(),
              ViewHeight(), width, height);
    std::copy(pan, pan + 4, oneToOne);
    nav_->SetBufSSPan(pan[0], pan[1], pan[2], pan[3], 100, 0, desc_.navPanTag);
    PanToMain();
  }
  ToView(main_, 0);
  viewSizeX = main_->GetRectSizx();
  viewSizeY = main_->GetRectSizy();
  viewOriginX = main_->GetRectOrix();
  viewOriginY = main_->GetRectOriy();
  // An empty image still has proportions of 1 x 1.
  const int32_t width = AtLeastOne(imageWidth);
  const int32_t height = AtLeastOne(imageHeight);
  int32_t dw = 0;
  int32_t dh = 0;
  if (width > height) {
    dw = viewSizeX;
    dh = height * viewSizeX / width;
    if (dh > viewSizeY) {
      dh = viewSizeY;
      dw = width * viewSizeY / height;
    }
  } else {
    dh = viewSizeY;
    dw = width * viewSizeY / height;
    if (dw > viewSizeX) {
      dw = viewSizeX;
      dh = height * viewSizeX / width;
    }
  }
  drawPar->viewOffsetX = static_cast<float>(viewOriginX) + static_cast<float>(viewSizeX - dw) * 0.5f;
  drawPar->viewOffsetY = static_cast<float>(viewOriginY) + static_cast<float>(viewSizeY - dh) * 0.5f;
  drawPar->originX = 0.0f;
  drawPar->originY = 0.0f;
  drawPar->scaleX = 1.0f;
  drawPar->scaleY = 1.0f;
  drawPar->limit = Rect{static_cast<int16_t>(viewOriginY), static_cast<int16_t>(viewOriginX),
                        static_cast<int16_t>(viewOriginY + viewSizeY),
                        static_cast<int16_t>(viewOriginX + viewSizeX)};
  main_->SetDrw(drawPar);
}

// ---- menus ----

void EffectDialog::LoadLayPhoMenus() {
  tb::ControlRef popup = Ctl(desc_.ids.overlayPopup);
  if (tb::CountMenuItems(popup) > 0) {
    // Only the first item goes: the nib's placeholder.
    std::vector<std::string> rest;
    for (int32_t i = 2; i <= tb::CountMenuItems(popup); ++i) rest.push_back(tb::GetMenuItemText(popup, i));
    tb::DeleteMenuItems(popup);
    for (const std::string& t : rest) tb::AppendMenuItemText(popup, t);
  }
  SetOverlay(kOverlayOpacity, 128);
  SetOverlay(kOverlayOn, 0);
  SetOverlay(kOverlayIndex, 0);
  if (Overlay(kOverlayIndex) == 0) tb::AppendMenuItemText(popup, "current");
  tb::SetControl32BitMinimum(popup, 1);
  tb::SetControl32BitMaximum(popup, Overlay(kOverlayIndex));
}

// ---- the loop ----

// The tick's preview: the region, pan and overlay of the record, then the
// record itself in the preview mode.
void EffectDialog::ShowPreview() {
  const EffectRecordOps& ops = *desc_.record;
  int32_t* w = ops.words(edit);
  main_->SetBufSSPan(w[ops.regionLeft], w[ops.regionTop], w[ops.regionRight], w[ops.regionBottom], 100, 0, 1);
  PanToMain();
  main_->SetOveLay(Overlay(kOverlayOn), Overlay(kOverlayIndex), Overlay(kOverlayOpacity));
  BeforeMainPreview();
  ToView(main_, MainPreviewMode());
}

// The navigator's rectangle and the main view's region, moved by the user.
bool EffectDialog::PollTick(tb::WindowRef) {
  bool changed = false;
  if (nav_->CheckSetRefresh(0) == 1) {
    if (fitFlag == 0) {
      TakeNavigatorFrame();
      std::copy(pan, pan + 4, oneToOne);
      PanToMain();
      ToView(main_, MainPreviewMode());
    } else {
      // At fit the view keeps showing the whole picture, so the frame dragged in the navigator
      // goes back to it: left where the user put it, the frame would show a region the view
      // does not (and could stand half outside the navigator).
      nav_->SetBufSSPan(pan[0], pan[1], pan[2], pan[3], 100, 0, desc_.navPanTag);
    }
    changed = true;
  }
  if (main_->CheckSetRefresh(0) == 1) {
    MainViewEdited();
    changed = true;
  }
  return changed;
}

void EffectDialog::MainViewEdited() {
  const EffectRecordOps& ops = *desc_.record;
  int32_t* w = ops.words(edit);
  main_->GetBufSSPan(&w[ops.regionLeft], &w[ops.regionTop], &w[ops.regionRight], &w[ops.regionBottom], 0);
  PanToMain();
  ToView(main_, MainPreviewMode());
}

int16_t EffectDialog::NavigatorFrames() const { return desc_.navFrameFollowsFit && fitFlag == 1 ? 0 : 1; }

int32_t EffectDialog::Overlay(OverlayPart part) {
  const EffectRecordOps& ops = *desc_.record;
  return Word(part == kOverlayOn ? ops.overlayOn : part == kOverlayIndex ? ops.overlayIndex : ops.overlayOpacity);
}

void EffectDialog::SetOverlay(OverlayPart part, int32_t value) {
  const EffectRecordOps& ops = *desc_.record;
  Word(part == kOverlayOn ? ops.overlayOn : part == kOverlayIndex ? ops.overlayIndex : ops.overlayOpacity) = value;
}

// ---- commands and events ----

// Reset, load and preset hand the new record to the main view without a
// preview; the next tick renders it.
void EffectDialog::AfterRecordLoad() { ToView(main_, -1); }

void EffectDialog::ChannelCommand(uint32_t command, tb::ControlRef source) {
  int16_t words[6] = {0, 0, 0, 0, 0, 0};
  main_->GetRGBmode(&words[0], &words[1], &words[2], &words[3], &words[4], &words[5]);
  const int k = command == FourCC("Cred") ? 0 : command == FourCC("Cgre") ? 1 : 2;
  const int16_t bit = static_cast<int16_t>(1 << k);
  words[k] = tb::GetControl32BitValue(source) != 0 ? bit : 0;
  main_->SetRGBmode(words[0], words[1], words[2], words[3], words[4], words[5]);
  nav_->CheckSetRefresh(1);
  refresh() = 1;
}

bool EffectDialog::FamilyCommand(uint32_t cmd, tb::ControlRef source, tb::WindowRef window) {
  switch (cmd) {
    case FourCC("Cred"):
    case FourCC("Cgre"):
    case FourCC("Cblu"): ChannelCommand(cmd, source); return true;
    case FourCC("Copa"):
      SetOverlay(kOverlayOn, tb::GetControl32BitValue(source));
      refresh() = 1;
      return true;
    case FourCC("Popa"):
      SetOverlay(kOverlayIndex, tb::GetControl32BitValue(Ctl(desc_.ids.overlayPopup)));
      refresh() = 1;
      return true;
    case FourCC("Sopa"):
      SetOverlay(kOverlayOpacity, static_cast<int32_t>(PercentFieldTo255(
                                      Overlay(kOverlayOpacity), tb::GetControl32BitValue(Ctl(desc_.ids.opacitySlider)))));
      refresh() = 1;
      return true;
    case FourCC("Span"): DrawWindowContent(window); return true;
    case FourCC("Bdiv"): ZoomStep(window, -1); return true;
    case FourCC("Bmul"): ZoomStep(window, 1); return true;
    case FourCC("Bfpa"):
      fitFlag = 1;
      pan[0] = pan[1] = 0;
      pan[2] = pan[3] = kWhole;
      PanToMain();
      ResetNavigator(window, desc_.fitPush);
      return true;
    case FourCC("Bsc1"): OneToOne(window); return true;
    case FourCC("Rprv"):
      mode() = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(desc_.ids.previewRadio)) - 1);
      main_->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
      refresh() = 1;
      return true;
    case FourCC("Rmod"):
      if (desc_.modeWord >= 0) {
        Word(desc_.modeWord) = tb::GetControl32BitValue(Ctl(desc_.ids.modeRadio)) - 1;
        refresh() = 1;
      }
      return true;
    default: return false;
  }
}

bool EffectDialog::ReadRGB(const Point& where) {
  tb::ControlRef view = Ctl(desc_.ids.mainView);
  if (view == nullptr) return false;
  const Rect frame = tb::GetControlBounds(view);
  if (where.h < frame.left || where.h >= frame.right || where.v < frame.top || where.v >= frame.bottom) return false;
  main_->GetRGBcolfromBuf(0, where.h - frame.left, where.v - frame.top, &readout[0], &readout[1], &readout[2],
                          &readout[3], &readout[4]);
  return true;
}

// The RGB readout under the mouse; the frame then sets the arrow cursor.
bool EffectDialog::OwnEvent(tb::EventRef event, tb::WindowRef window, OSStatus*) {
  if (event->eventClass == tb::kEventClassMouse && event->kind == tb::kEventMouseMoved && ReadRGB(event->mouse)) {
    if (desc_.mouseRedrawsAll) DrawWindowContent(window);
    else DrawRGBPicker();
    if (desc_.crossHair) DrawCrossHair(event->mouse);
  }
  return false;
}

// Drawn straight into the window over the main view; the view erases the
// last one before it draws the next. Leaving the view leaves the last one
// where it was (kept: the next draw of the view covers it).
void EffectDialog::DrawCrossHair(const Point& where) {
  tb::ControlRef view = Ctl(desc_.ids.mainView);
  const Rect b = tb::GetControlBounds(view);
  main_->DrawCrossShape(view, 1, where.h, where.v, b.left, b.right, b.top, b.bottom);
}

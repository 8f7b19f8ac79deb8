// The image box's life: construction with its defaults, destruction, the
// registration of its view class, its event handler, and the plain stores and
// loads of its settings.
#include "views/image_box.h"

#include "engines/correction/colour_correction.h"
#include "engines/correction/colour_matrix.h"
#include "engines/correction/grid_record.h"
#include "engines/correction/lens_correction.h"
#include "engines/correction/resize_record.h"
#include "engines/patterns/border_record.h"
#include "engines/patterns/cookie_cutter_record.h"
#include "engines/patterns/fractal_record.h"
#include "engines/patterns/image_combination_record.h"
#include "engines/patterns/shape_record.h"
#include "engines/patterns/weave_plaid_record.h"
#include "engines/tessellation/photo_repeat_record.h"
#include "engines/tessellation/tessellation_record.h"
#include "paths/path_list.h"
#include "views/box_memory.h"
#include "views/view_geometry.h"

using namespace plat::tb;
using vmkviews::GiveBack;

VMKimabox::VMKimabox() { InitBufParam(&param_); }

VMKimabox::~VMKimabox() {
  delete yoxel_;
  delete pathList_;
  GiveBack(rep_);
  GiveBack(tess_);
  GiveBack(fract_);
  GiveBack(bord_);
  GiveBack(shape_);
  GiveBack(grid_);
  GiveBack(colCor_);
  GiveBack(combIma_);
  GiveBack(cookiCut_);
  GiveBack(colMat_);
  GiveBack(plaid_);
  GiveBack(weave_);
  GiveBack(zondrac_);
  GiveBack(drawPar_);
  if (!classId_.empty()) UnregisterCustomViewClass(classId_);
}

YoxelPar* VMKimabox::yoxelRecord() const { return yoxel_ != nullptr ? yoxel_->par : nullptr; }

// ---- registration and events ----

std::string VMKimabox::GetHIimaViewClass(const std::string& classId, EventHandlerProc handler) {
  if (classId_.empty() && RegisterCustomViewClass(classId, std::move(handler), this) == noErr) {
    classId_ = classId;
  }
  return classId;
}

OSStatus VMKimabox::ImaBoxEventHandler(EventHandlerCallRef, EventRef event, void*) {
  ControlRef view = event->control;
  if (event->eventClass == kEventClassHIObject) {
    switch (event->kind) {
      case kEventHIObjectConstruct:
        state_.view = static_cast<ControlRef>(event->instance);
        SetCustomViewData(state_.view, &state_);
        return noErr;
      case kEventHIObjectInitialize:
        state_.viewWidth = static_cast<int32_t>(event->bounds.size.width);
        state_.viewHeight = static_cast<int32_t>(event->bounds.size.height);
        vmkviews::HalfSizes(event->bounds, &state_.halfWidth, &state_.halfHeight);
        if (view != nullptr) ShowControl(view);
        return eventNotHandledErr;
      case kEventHIObjectDestruct:
        return noErr;
      default:
        return eventNotHandledErr;
    }
  }
  if (event->eventClass == kEventClassMouse && event->kind == kEventMouseMoved) {
    ReadRGBcol(event, view);
    return eventNotHandledErr;
  }
  if (event->eventClass != kEventClassControl) return eventNotHandledErr;
  switch (event->kind) {
    case kEventControlDraw:
      DrawContent(event, view, event->context);
      return noErr;
    case kEventControlTrack:
      TrackMouse(event, view, event->context);
      return noErr;
    case kEventControlBoundsChanged:
      vmkviews::HalfSizes(event->bounds, &state_.halfWidth, &state_.halfHeight);
      return eventNotHandledErr;
    case kEventControlHitTest:
      event->part = vmkviews::ViewContains(view, event->viewPoint) ? kControlContentPart
                                                                   : kControlNoPart;
      return noErr;
    default:
      return eventNotHandledErr;
  }
}

VMKimaboxevent::~VMKimaboxevent() {
  if (!classId_.empty()) UnregisterCustomViewClass(classId_);
}

OSStatus VMKimaboxevent::ImaBoxEventHandler(EventHandlerCallRef call, EventRef event,
                                            void* userData) {
  if (box_ == nullptr) return eventNotHandledErr;
  return box_->ImaBoxEventHandler(call, event, userData);
}

// ---- view rectangle ----

int32_t VMKimabox::GetRectOrix() { return state_.viewLeft; }
int32_t VMKimabox::GetRectOriy() { return state_.viewTop; }
int32_t VMKimabox::GetRectSizx() { return state_.viewWidth; }
int32_t VMKimabox::GetRectSizy() { return state_.viewHeight; }
int32_t VMKimabox::GetEffWidth() { return state_.effWidth; }
int32_t VMKimabox::GetEffHeight() { return state_.effHeight; }

void VMKimabox::SetBounds(Rect* bounds) {
  if (state_.view != nullptr && bounds != nullptr) SetControlBounds(state_.view, *bounds);
}

void VMKimabox::GetBounds(Rect* bounds) {
  if (state_.view != nullptr && bounds != nullptr) *bounds = GetControlBounds(state_.view);
}

// ---- plain stores and loads ----

void VMKimabox::SetSelMode(int16_t selectable, int16_t selected) {
  selectable_ = selectable;
  selected_ = selected;
}

int16_t VMKimabox::GetSel() { return selected_; }

void VMKimabox::GetRGBcolSel(int16_t* r, int16_t* g, int16_t* b) {
  *r = selColour_[0];
  *g = selColour_[1];
  *b = selColour_[2];
}

void VMKimabox::SetVecMode(int16_t a, int16_t b, int16_t c) {
  state_.vecModeA = a;
  state_.vecModeB = b;
  state_.vecModeC = c;
}

void VMKimabox::SetPickmode(int16_t mode, int16_t sampleSize) {
  pickMode_ = mode;
  sampleSize_ = sampleSize;
}

void VMKimabox::SetRGBmode(int16_t red, int16_t green, int16_t blue, int16_t fourth,
                           int16_t maskA, int16_t maskB) {
  rgbMode_[0] = red;
  rgbMode_[1] = green;
  rgbMode_[2] = blue;
  rgbMode_[3] = fourth;
  rgbMode_[4] = maskA;
  rgbMode_[5] = maskB;
}

void VMKimabox::GetRGBmode(int16_t* red, int16_t* green, int16_t* blue, int16_t* fourth,
                           int16_t* maskA, int16_t* maskB) {
  *red = rgbMode_[0];
  *green = rgbMode_[1];
  *blue = rgbMode_[2];
  *fourth = rgbMode_[3];
  *maskA = rgbMode_[4];
  *maskB = rgbMode_[5];
}

void VMKimabox::SetPickCoord(int16_t on) { pickCoordOn_ = on; }

void VMKimabox::GetCoord(int32_t* x, int32_t* y) {
  *x = cursorX_;
  *y = cursorY_;
}

void VMKimabox::SetPickMinMax(int16_t on, int16_t scale) {
  pickMinMaxOn_ = on;
  pickScale_ = scale;
}

void VMKimabox::SetMinMax(int16_t minimum, int16_t maximum) {
  pickMin_ = minimum;
  pickMax_ = maximum;
}

void VMKimabox::GetMinMax(int16_t* minimum, int16_t* maximum) {
  *minimum = pickMin_;
  *maximum = pickMax_;
}

void VMKimabox::SetNewRowCol(int16_t a, int16_t b, int16_t c, int16_t d) {
  newRowCol_[0] = a;
  newRowCol_[1] = b;
  newRowCol_[2] = c;
  newRowCol_[3] = d;
}

void VMKimabox::SetZondracMode(int16_t mode) { param_.lensMode = mode; }
void VMKimabox::SetWWInfoMode(int16_t mode) { param_.stripeMode = mode; }
void VMKimabox::SetSpirMode(int16_t mode) { param_.spiroMode = mode; }
void VMKimabox::SetStarMode(int16_t mode) { param_.starMode = mode; }
void VMKimabox::SetPlaidMode(int16_t mode) { param_.plaidMode = mode; }
void VMKimabox::SetCookiMode(int16_t mode) { param_.cookieMode = mode; }

void VMKimabox::SetMskMod(int32_t mode) { state_.maskMode = mode; }

void VMKimabox::SetOveLay(int32_t a, int32_t b, int32_t c) {
  state_.overlay[0] = a;
  state_.overlay[1] = b;
  state_.overlay[2] = c;
}

int16_t VMKimabox::CheckSetRefresh(int16_t value) {
  const int16_t was = refresh_;
  refresh_ = value;
  return was;
}

// The weave-creation slots of the table are kept empty: that dialog edits
// its record through SetWeaveInfo.
void VMKimabox::SetCreaWeavPar(WeaveInfo*, int16_t, int16_t) {}
void VMKimabox::GetCreaWeavPar(WeaveInfo*) {}
void VMKimabox::PrepCreaWeavBuf(int16_t, int16_t) {}

// Split loads were never wired to a caller; the slot stays so the table
// keeps its order.
void VMKimabox::SetSplitBufRGB(int16_t, int32_t, int32_t, int32_t, int32_t, int16_t, int32_t,
                               int32_t, int32_t, int32_t, uint8_t*, uint8_t*, uint8_t*, uint8_t*,
                               uint8_t*, uint8_t*, uint8_t*, uint8_t*, int16_t, int16_t, int16_t,
                               int16_t) {}

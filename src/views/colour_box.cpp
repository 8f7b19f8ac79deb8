#include "views/colour_box.h"

#include "app/core/text_helpers.h"
#include "platform/toolbox/api/ui_services.h"
#include "views/view_geometry.h"

using namespace plat::draw;
using namespace plat::tb;

VMKcolbox::~VMKcolbox() {
  if (!classId_.empty()) UnregisterCustomViewClass(classId_);
}

void VMKcolbox::SetBufParam(int16_t a, int16_t b, int16_t c, int16_t d) {
  display_[0] = a;
  display_[1] = b;
  display_[2] = c;
  display_[3] = d;
}

void VMKcolbox::SetCol(int16_t r, int16_t g, int16_t b) {
  colour_[1] = r;
  colour_[2] = g;
  colour_[3] = b;
  colour_[4] = 255;
}

void VMKcolbox::GetCol(int16_t* r, int16_t* g, int16_t* b) {
  *r = static_cast<int16_t>(colour_[1]);
  *g = static_cast<int16_t>(colour_[2]);
  *b = static_cast<int16_t>(colour_[3]);
}

void VMKcolbox::SetSelMode(int16_t selectable, int16_t selected) {
  selectable_ = selectable;
  selected_ = selected;
}

int16_t VMKcolbox::GetSel() { return selected_; }

void VMKcolbox::SetPickMode(int16_t on, int16_t b, int16_t c) {
  pick_[0] = on;
  pick_[1] = b;
  pick_[2] = c;
}

void VMKcolbox::SetRGBmode(int16_t red, int16_t green, int16_t blue) {
  rgbMode_[0] = red;
  rgbMode_[1] = green;
  rgbMode_[2] = blue;
}

void VMKcolbox::GetRGBmode(int16_t* red, int16_t* green, int16_t* blue) {
  *red = rgbMode_[0];
  *green = rgbMode_[1];
  *blue = rgbMode_[2];
}

int16_t VMKcolbox::CheckSetRefresh(int16_t value) {
  const int16_t was = refresh_;
  refresh_ = value;
  return was;
}

std::string VMKcolbox::GetHIcolViewClass(const std::string& classId, EventHandlerProc handler) {
  if (classId_.empty() && RegisterCustomViewClass(classId, std::move(handler), this) == noErr) {
    classId_ = classId;
  }
  return classId;
}

// As the image box's handler, except that a click and a mouse move both
// leave the event to the standard handling after acting on it.
OSStatus VMKcolbox::ColBoxEventHandler(EventHandlerCallRef, EventRef event, void*) {
  ControlRef view = event->control;
  if (event->eventClass == kEventClassHIObject) {
    switch (event->kind) {
      case kEventHIObjectConstruct:
        view_ = static_cast<ControlRef>(event->instance);
        SetCustomViewData(view_, this);
        return noErr;
      case kEventHIObjectInitialize:
        vmkviews::HalfSizes(event->bounds, &halfWidth_, &halfHeight_);
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
      TrackMouse(event, view);
      return eventNotHandledErr;
    case kEventControlBoundsChanged:
      vmkviews::HalfSizes(event->bounds, &halfWidth_, &halfHeight_);
      return eventNotHandledErr;
    case kEventControlHitTest:
      event->part = vmkviews::ViewContains(view, event->viewPoint) ? kControlContentPart
                                                                   : kControlNoPart;
      return noErr;
    default:
      return eventNotHandledErr;
  }
}

void VMKcolbox::ReadRGBcol(EventRef, ControlRef) {
  RGBColor c{static_cast<uint16_t>(colour_[1] << 8), static_cast<uint16_t>(colour_[2] << 8),
             static_cast<uint16_t>(colour_[3] << 8)};
  if (!plat::ui::AskColor("Choose a color:", &c)) return;
  colour_[1] = c.red >> 8;
  colour_[2] = c.green >> 8;
  colour_[3] = c.blue >> 8;
}

void VMKcolbox::TrackMouse(EventRef event, ControlRef view) {
  if (pick_[0] == 1) ReadRGBcol(event, view);
  if (view != nullptr) SetControlNeedsDisplay(view);
  refresh_ = 1;
  if (selectable_ == 1) selected_ = 1;
}

void VMKcolbox::DrawContent(EventRef, ControlRef view, const Context& context) {
  Port* port = context.port;
  if (port == nullptr && view != nullptr) port = GetWindowPort(GetControlOwner(view));
  if (port == nullptr) return;
  Port* previous = GetPort();
  SetPort(port);
  Rect r;
  ConvertCGRecttoRect(vmkviews::LocalBounds(view), &r);
  r.left = static_cast<int16_t>(r.left + context.originH);
  r.right = static_cast<int16_t>(r.right + context.originH);
  r.top = static_cast<int16_t>(r.top + context.originV);
  r.bottom = static_cast<int16_t>(r.bottom + context.originV);
  if (display_[3] == 1) {
    RGBForeColor(RGBColor{static_cast<uint16_t>(colour_[1] << 8), static_cast<uint16_t>(colour_[2] << 8),
                          static_cast<uint16_t>(colour_[3] << 8)});
    PaintRect(r);
    RGBForeColor(RGBColor{0, 0, 0});
    FrameRect(r);
    if (selectable_ == 1 && selected_ == 1) {
      RGBForeColor(RGBColor{65535, 0, 0});
      FrameRect(r);
    }
  } else {
    RGBForeColor(RGBColor{60000, 60000, 60000});
    PaintRect(r);
  }
  SetPort(previous);
}

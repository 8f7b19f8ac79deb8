// The colour box: a small swatch view that shows one RGB colour, frames
// itself in red when selected and asks the user for a colour when clicked.
// Dialogs reach it only through its nine virtual operations; its view is a
// toolbox custom view whose class handler forwards to ColBoxEventHandler.
//
// Colours are 0 to 255 per component; the picker works in 16 bits, the
// components shifted left 8 bits on the way in and right on the way out.
#pragma once

#include <cstdint>
#include <string>

#include "platform/draw/port.h"
#include "platform/toolbox/toolbox.h"
#include "platform/types/mac_types.h"

class VMKcolbox final {
 public:
  VMKcolbox() = default;
  // Destroyed through its own type only; unregisters its class.
  ~VMKcolbox();
  VMKcolbox(const VMKcolbox&) = delete;
  VMKcolbox& operator=(const VMKcolbox&) = delete;

  // ---- virtual operations, in slot order ----
  virtual void SetBufParam(int16_t a, int16_t b, int16_t c, int16_t d);
  virtual void SetCol(int16_t r, int16_t g, int16_t b);
  virtual void GetCol(int16_t* r, int16_t* g, int16_t* b);
  virtual void SetSelMode(int16_t selectable, int16_t selected);
  virtual int16_t GetSel();
  virtual void SetPickMode(int16_t on, int16_t b, int16_t c);
  virtual void SetRGBmode(int16_t red, int16_t green, int16_t blue);
  virtual void GetRGBmode(int16_t* red, int16_t* green, int16_t* blue);
  virtual int16_t CheckSetRefresh(int16_t value);

  // Registers the view class once; later calls register nothing. Returns the
  // class identifier.
  std::string GetHIcolViewClass(const std::string& classId, plat::tb::EventHandlerProc handler);
  OSStatus ColBoxEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                              void* userData);
  // Asks for a colour ("Choose a color:"); a cancel keeps the colour.
  void ReadRGBcol(plat::tb::EventRef event, plat::tb::ControlRef view);
  void DrawContent(plat::tb::EventRef event, plat::tb::ControlRef view,
                   const plat::draw::Context& context);
  void TrackMouse(plat::tb::EventRef event, plat::tb::ControlRef view);

  plat::tb::ControlRef view() const { return view_; }
  float halfWidth() const { return halfWidth_; }
  float halfHeight() const { return halfHeight_; }
  bool classRegistered() const { return !classId_.empty(); }

 private:
  // State block: the view and half its bounds' size.
  plat::tb::ControlRef view_ = nullptr;
  float halfWidth_ = 0.0f;
  float halfHeight_ = 0.0f;
  std::string classId_;
  int32_t colour_[5] = {0, 0, 0, 0, 0};  // values 1 to 3: red, green, blue; 4: 255
  int16_t refresh_ = 0;
  int16_t display_[4] = {0, 0, 0, 0};  // d = 1 shows the colour
  int16_t pick_[3] = {1, 0, 3};        // pick on = 1 opens the picker on a click
  int16_t selected_ = 0;
  int16_t selectable_ = 0;
  int16_t rgbMode_[3] = {1, 2, 4};
};

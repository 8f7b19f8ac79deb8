// The plug-in's main window in the host: the destination image scaled to
// the window, opacity and blend mode of the last effect, zoom, back and
// revert, one button per effect family, OK and Cancel. The host shows the
// window; the class runs no modal loop of its own, only its window handler
// and a repeating 0.1 s timer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/ApePlugInUtilities/pixel_buffer.h"
#include "platform/toolbox/toolbox.h"

class CarbonEditPlugin;
struct DrawPar;
struct YoxelPar;

// Signature of every control of "ApertureMain" and their indices.
inline constexpr OSType kApemainSig = FourCC("Adlg");
enum : int32_t {
  kApemainZoom = 4,
  kApemainContainer = 5,
  kApemainImage = 6,
  kApemainArrows = 20,
  kApemainBlend = 21,
  kApemainOpacity = 24,
  kApemainZoomText = 27,
  // The colour readout's labels.
  kApemainReadRed = 28,
  kApemainReadGreen = 29,
  kApemainReadBlue = 30,
};

class VMKapemainUI {
 public:
  VMKapemainUI();
  ~VMKapemainUI();
  VMKapemainUI(const VMKapemainUI&) = delete;
  VMKapemainUI& operator=(const VMKapemainUI&) = delete;

  // Builds the window from the nib; null when it cannot be made.
  plat::tb::WindowRef Do_ApemainDlg(int16_t number, CarbonEditPlugin* session);
  void DrawWindowContent(plat::tb::WindowRef window);
  void DrawImageView(plat::tb::WindowRef window, const PixelBuffer& buffer, int16_t scaleToFit);
  void GetEditValue();
  void DrawRGBPicker();
  void PrepareWindowForDisplay(plat::tb::WindowRef window);
  OSStatus ApemainWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                     void* userData);
  OSStatus ApemainWindowEventCommandProcess(plat::tb::EventRef event);
  // One command of the window, at once.
  OSStatus CarryOut(uint32_t command);
  OSStatus ApemainScrollEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                     void* userData);
  void ApemainLoop();
  // The opacity or blend mode waiting for the next tick, applied now.
  void ApplyPending();
  // The destination's colour under a window point, when it is over the
  // picture: the readout values and true.
  bool ReadColourAt(Point where);

  int16_t opacity = 100;
  int16_t blendMode = 1;
  float requestedZoom = 0.0f;
  float shownZoom = 1.0f;
  int16_t panFlag = 0;
  int16_t pendingApply = 0;
  int16_t red = 0;
  int16_t green = 0;
  int16_t blue = 0;
  CarbonEditPlugin* session = nullptr;
  // Commands that came while a render ran, carried out by the first tick after it.
  std::vector<uint32_t> heldCommands;
  // An OK or Cancel has asked the host to end the session.
  bool endAsked = false;
  DrawPar* drawPar = nullptr;
  YoxelPar* yoxelPar = nullptr;
  int32_t visible[4] = {0, 0, 100000, 100000};
  plat::tb::EventLoopTimerRef loopTimer = nullptr;
  bool loopTimerProc = false;
  plat::tb::WindowRef window = nullptr;
  plat::tb::ControlRef imageView = nullptr;
  plat::tb::ControlRef container = nullptr;
  plat::tb::ControlRef zoom = nullptr;
  plat::tb::ControlRef arrows = nullptr;
  plat::tb::ControlRef blend = nullptr;
  plat::tb::ControlRef edit = nullptr;
  plat::tb::ControlRef zoomText = nullptr;
  plat::tb::ControlRef readout[3] = {};

  // The handlers' record: the session and the window.
  struct HandlerData {
    CarbonEditPlugin* session = nullptr;
    plat::tb::WindowRef window = nullptr;
  } handlerData;
};

extern VMKapemainUI* gVMKapemain;
// Command-Z in the opacity field: step back at the next timer firing.
extern int16_t gApemainBack;

// The forwarding functions of the window's handlers and timer.
OSStatus ApemainWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                   void* userData);
OSStatus ApemainScrollEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                   void* userData);
void ApemainLoopHandler(plat::tb::EventLoopTimerRef timer, void* userData);
const plat::tb::EventHandlerProc& GetApemainWindowEventHandlerUPP();
const plat::tb::EventHandlerProc& GetApemainScrollEventHandlerUPP();

// Little arrows: parts 20/21 step by 1, 22/23 by 10; the edit field they
// refer to shows the value.
void ScrollBar32BitActionProc(plat::tb::ControlRef control, int16_t part);
// Digits, space, '-' and backspace pass; Command-Z alone sets the back flag
// and is blocked; everything else is blocked.
bool NumEditKeyFilter(plat::tb::ControlRef control, int16_t* keyCode, int16_t* charCode,
                      uint32_t* modifiers);
// The zoom actually used: the fit when the requested zoom is 0, else the
// requested zoom between the fit (0) and 100 percent (1).
float ShownZoom(float requested, float fit);

#include "host/main_window.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

#include "app/core/memory_manager.h"
#include "app/core/session_state.h"
#include "app/core/text_helpers.h"
#include "engines/correction/resize_record.h"
#include "host/edit_session.h"
#include "host/pixel_provider.h"
#include "host/render_progress.h"
#include "host/session/app_object.h"
#include "host/session/document.h"
#include "paths/draw_par.h"
#include "platform/toolbox/api/ui_services.h"
#include "views/image_box.h"

namespace tb = plat::tb;

VMKapemainUI* gVMKapemain = nullptr;
int16_t gApemainBack = 0;

namespace {

// The picture as 8-bit RGBA at `zoom`, nearest sample.
std::vector<uint8_t> ShownPixels(const PixelBuffer& buffer, float zoom, int32_t* w, int32_t* h) {
  const int32_t sw = static_cast<int32_t>(buffer.width());
  const int32_t sh = static_cast<int32_t>(buffer.height());
  *w = zoom == 1.0f ? sw : static_cast<int32_t>(std::ceil(zoom * static_cast<float>(sw)));
  *h = zoom == 1.0f ? sh : static_cast<int32_t>(std::ceil(zoom * static_cast<float>(sh)));
  *w = std::max(*w, 1);
  *h = std::max(*h, 1);
  std::vector<uint8_t> out(static_cast<size_t>(*w) * static_cast<size_t>(*h) * 4, 0);
  if (sw == 0 || sh == 0) return out;
  const uint32_t bytes = buffer.bytesPerComponent();
  for (int32_t y = 0; y < *h; ++y) {
    const auto sy = static_cast<uint32_t>(std::min<int64_t>(int64_t(y) * sh / *h, sh - 1));
    const uint8_t* row = constCorrectRowPtr(buffer, sy);
    uint8_t* d = out.data() + static_cast<size_t>(y) * static_cast<size_t>(*w) * 4;
    for (int32_t x = 0; x < *w; ++x, d += 4) {
      const auto sx = static_cast<size_t>(std::min<int64_t>(int64_t(x) * sw / *w, sw - 1));
      for (int k = 0; k < 3; ++k) {
        if (bytes == 1) {
          d[k] = row[sx * 4 + k];
        } else if (bytes == 2) {
          d[k] = static_cast<uint8_t>(reinterpret_cast<const uint16_t*>(row)[sx * 4 + k] >> 8);
        } else {
          const float f = reinterpret_cast<const float*>(row)[sx * 4 + k];
          d[k] = static_cast<uint8_t>(std::lround(std::clamp(f, 0.0f, 1.0f) * 255.0f));
        }
      }
      d[3] = 255;
    }
  }
  return out;
}

}  // namespace

float ShownZoom(float requested, float fit) {
  return requested == 0.0f ? fit : (1.0f - fit) * requested + fit;
}

VMKapemainUI::VMKapemainUI() {
  gApemainBack = 0;
  gVMKapemain = this;
  CMemMan* mm = SessionMemMan();
  if (mm != nullptr) {
    drawPar = reinterpret_cast<DrawPar*>(mm->NewBuf(sizeof(DrawPar)));
    if (drawPar != nullptr) Init_DrawPar(drawPar);
    yoxelPar = reinterpret_cast<YoxelPar*>(mm->NewBuf(sizeof(YoxelPar)));
    if (yoxelPar != nullptr) {
      new (yoxelPar) YoxelPar();
      const VMKdoc* doc = gVMKapp != nullptr ? gVMKapp->appData.documents[gVMKapp->appData.currentDocument]
                                             : nullptr;
      if (doc != nullptr) Init_YoxelPar(yoxelPar, doc->width, doc->height, doc->resolution, 0, 5);
    }
  }
}

VMKapemainUI::~VMKapemainUI() {
  CMemMan* mm = SessionMemMan();
  if (mm != nullptr) {
    mm->DelBuf(drawPar);
    if (yoxelPar != nullptr) yoxelPar->~YoxelPar();
    mm->DelBuf(yoxelPar);
  }
  drawPar = nullptr;
  yoxelPar = nullptr;
  if (loopTimerProc) {
    tb::SetEventLoopTimerNextFireTime(loopTimer, tb::kEventDurationForever);
    tb::RemoveEventLoopTimer(loopTimer);
    loopTimer = nullptr;
    loopTimerProc = false;
  }
  if (window != nullptr) tb::DisposeWindow(window);
  window = nullptr;
  if (gVMKapemain == this) gVMKapemain = nullptr;
}

tb::WindowRef VMKapemainUI::Do_ApemainDlg(int16_t, CarbonEditPlugin* s) {
  plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
  tb::WindowRef w = nullptr;
  if (tb::CreateWindowFromNib("ApertureMain", &w) != 0 || w == nullptr) return nullptr;
  window = w;
  tb::SetWindowResizable(w, true);
  imageView = tb::FindControl(w, kApemainSig, kApemainImage);
  container = tb::FindControl(w, kApemainSig, kApemainContainer);
  zoom = tb::FindControl(w, kApemainSig, kApemainZoom);
  arrows = tb::FindControl(w, kApemainSig, kApemainArrows);
  edit = tb::FindControl(w, kApemainSig, kApemainOpacity);
  blend = tb::FindControl(w, kApemainSig, kApemainBlend);
  zoomText = tb::FindControl(w, kApemainSig, kApemainZoomText);
  readout[0] = tb::FindControl(w, kApemainSig, kApemainReadRed);
  readout[1] = tb::FindControl(w, kApemainSig, kApemainReadGreen);
  readout[2] = tb::FindControl(w, kApemainSig, kApemainReadBlue);
  visible[0] = visible[1] = 0;
  visible[2] = visible[3] = 100000;
  panFlag = 1;
  // The layered editor's two views, owned by the application object.
  if (gVMKapp != nullptr) {
    if (VMKimabox* ima = gVMKapp->ImageView(0)) {
      ima->InitBuf(21);
      ima->SetBufParam(0, 0, 0, 0, panFlag == 0 ? 1 : 0, 0, 1, 0, 0, 0, 0, 0, 0);
      if (yoxelPar != nullptr) ima->SetYoxelPar(yoxelPar, 2, 3);
      ima->SetBufSSPan(visible[0], visible[1], visible[2], visible[3], 100, 0, 0);
    }
    if (VMKimabox* pan = gVMKapp->ImageView(1)) {
      pan->InitBuf(21);
      pan->SetBufParam(0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0);
      pan->SetPanBufCoord(visible[0], visible[1], visible[2], visible[3]);
      if (yoxelPar != nullptr)
        pan->SetOveLay(yoxelPar->overlayOn, yoxelPar->overlayIndex, yoxelPar->overlayOpacity);
    }
  }
  session = s;
  handlerData = {s, w};
  using tb::EventTypeSpec;
  const std::vector<EventTypeSpec> types = {
      {tb::kEventClassCommand, 1},      {tb::kEventClassMouse, 5},   {tb::kEventClassTextInput, 14},
      {tb::kEventClassKeyboard, 1},     {tb::kEventClassControl, 51}, {FourCC("scrl"), 1},
      {FourCC("scrl"), 10},             {tb::kEventClassWindow, 2},  {tb::kEventClassWindow, 29},
      {tb::kEventClassWindow, 76},      {tb::kEventClassWindow, 35}};
  tb::InstallWindowEventHandler(w, GetApemainWindowEventHandlerUPP(), types, &handlerData);
  if (imageView != nullptr)
    tb::InstallControlEventHandler(imageView, GetApemainScrollEventHandlerUPP(),
                                   {{FourCC("scrl"), 1}, {FourCC("scrl"), 10}}, &handlerData);
  tb::InstallEventLoopTimer(tb::kEventDurationForever, 0.1, ApemainLoopHandler, &handlerData,
                            &loopTimer);
  loopTimerProc = true;
  tb::SetEventLoopTimerNextFireTime(loopTimer, 0.0);
  if (edit != nullptr) {
    tb::SetKeyFilter(edit, NumEditKeyFilter);
    tb::SetKeyboardFocus(w, edit);
  }
  if (arrows != nullptr) {
    tb::SetControlAction(arrows, ScrollBar32BitActionProc);
    tb::SetControlReference(arrows, edit);
  }
  pendingApply = 1;
  return w;
}

void VMKapemainUI::PrepareWindowForDisplay(tb::WindowRef) {}

void VMKapemainUI::GetEditValue() {
  if (edit == nullptr) return;
  int32_t value = 0;
  VMK_StringToNum(tb::GetControlText(edit).c_str(), &value);
  // A percentage: the blend weighs by it, so it stays within 0..100.
  opacity = static_cast<int16_t>(std::clamp<int32_t>(value, 0, 100));
}

void VMKapemainUI::DrawRGBPicker() {
  const int16_t values[3] = {red, green, blue};
  const char* names[3] = {" R %ld", " G %ld", " B %ld"};
  for (int k = 0; k < 3; ++k) {
    if (readout[k] == nullptr) continue;
    char text[32];
    std::snprintf(text, sizeof text, names[k], static_cast<long>(values[k]));
    tb::SetControlTitle(readout[k], text);
  }
}

bool VMKapemainUI::ReadColourAt(Point where) {
  if (imageView == nullptr || session == nullptr) return false;
  const Rect frame = tb::GetControlBounds(imageView);
  if (where.h < frame.left || where.h >= frame.right || where.v < frame.top || where.v >= frame.bottom)
    return false;
  const PixelBuffer& d = session->destinationBuffer();
  if (d.width() == 0 || d.height() == 0 || shownZoom <= 0.0f) return false;
  // The picture is drawn at the shown zoom from the view's top-left corner.
  const auto x = static_cast<int64_t>((where.h - frame.left) / shownZoom);
  const auto y = static_cast<int64_t>((where.v - frame.top) / shownZoom);
  if (x < 0 || y < 0 || x >= d.width() || y >= d.height()) return false;
  const uint8_t* row = constCorrectRowPtr(d, static_cast<uint32_t>(y));
  int16_t* out[3] = {&red, &green, &blue};
  for (int k = 0; k < 3; ++k) {
    const size_t at = static_cast<size_t>(x) * 4 + k;
    if (d.bytesPerComponent() == 1) {
      *out[k] = row[at];
    } else if (d.bytesPerComponent() == 2) {
      *out[k] = static_cast<int16_t>(reinterpret_cast<const uint16_t*>(row)[at] >> 8);
    } else {
      const float f = reinterpret_cast<const float*>(row)[at];
      *out[k] = static_cast<int16_t>(std::lround(std::clamp(f, 0.0f, 1.0f) * 255.0f));
    }
  }
  return true;
}

void VMKapemainUI::DrawWindowContent(tb::WindowRef w) {
  if (arrows != nullptr) tb::SetControl32BitValue(arrows, opacity);
  if (edit != nullptr) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", opacity);
    tb::SetControlText(edit, text);
  }
  if (blend != nullptr) tb::SetControl32BitValue(blend, blendMode);
  if (session != nullptr) DrawImageView(w, session->destinationBuffer(), 0);
  if (zoomText != nullptr) {
    char text[16];
    std::snprintf(text, sizeof text, "%3.0f%%", shownZoom * 100.0);
    tb::SetControlText(zoomText, text);
  }
}

void VMKapemainUI::DrawImageView(tb::WindowRef, const PixelBuffer& buffer, int16_t scaleToFit) {
  if (buffer.width() == 0 || buffer.height() == 0) return;
  float fit = 1.0f;
  if (container != nullptr) {
    const Rect c = tb::GetControlBounds(container);
    fit = std::min(static_cast<float>(c.right - c.left) / static_cast<float>(buffer.width()),
                   static_cast<float>(c.bottom - c.top) / static_cast<float>(buffer.height()));
  }
  shownZoom = ShownZoom(requestedZoom, fit);
  // The view shows a copy: the provider owns it, the session's buffer stays
  // free to change.
  PixelProvider* provider = NewPixelProvider(buffer);
  int32_t w = 0;
  int32_t h = 0;
  // On a denser screen the picture is reduced for the device pixels, never
  // beyond its own size: at 100% and above each picture pixel is a block.
  const int backing = imageView != nullptr ? tb::GetControlBackingScale(imageView) : 1;
  const float zoom = backing > 1 ? std::min(shownZoom * static_cast<float>(backing), std::max(shownZoom, 1.0f))
                                 : shownZoom;
  const std::vector<uint8_t> pixels = ShownPixels(provider->buffer, zoom, &w, &h);
  backingPixelBufferReleaseProvider(provider);
  if (imageView != nullptr) {
    tb::SetImageViewImage(imageView, plat::draw::ImageRef{pixels.data(), w, h, w * 4}, zoom / shownZoom);
    tb::SetImageViewScaleToFit(imageView, scaleToFit != 0);
  }
}

OSStatus VMKapemainUI::ApemainWindowEventHandler(tb::EventHandlerCallRef, tb::EventRef event, void*) {
  switch (event->eventClass) {
    case tb::kEventClassCommand:
      if (event->kind == 1) ApemainWindowEventCommandProcess(event);
      break;
    case tb::kEventClassMouse:
      if (event->kind == tb::kEventMouseMoved) {
        if (ReadColourAt(event->mouse)) DrawRGBPicker();
        plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
      }
      break;
    case tb::kEventClassTextInput:
      if (event->kind == tb::kEventTextInputFilterText) {
        // Typing is applied one second after the last key, not on each key.
        pendingApply = 1;
        tb::SetEventLoopTimerNextFireTime(loopTimer, 1.0);
      }
      break;
    case tb::kEventClassWindow:
      if (event->kind == tb::kEventWindowDrawContent) {
        DrawWindowContent(window);
        tb::DrawControls(window);
        return noErr;
      }
      if (event->kind == tb::kEventWindowResizeCompleted || event->kind == tb::kEventWindowZoomed)
        pendingApply = 1;
      break;
    default:
      break;
  }
  return tb::eventNotHandledErr;
}

OSStatus VMKapemainUI::ApemainWindowEventCommandProcess(tb::EventRef event) {
  if (session == nullptr) return tb::eventNotHandledErr;
  // A render serves events in its own loop, and a click can reach this window in the moment
  // before the render's window shows (or while it runs in line, in the tests). Acted on now,
  // an OK would write the images the render is about to replace, and another effect would
  // start beside it; dropped, the user's OK would do nothing and the session stay open. So
  // the command waits for the render to end and the next tick carries it out.
  if (RenderRunning()) {
    heldCommands.push_back(event->command);
    return noErr;
  }
  return CarryOut(event->command);
}

OSStatus VMKapemainUI::CarryOut(uint32_t c) {
  struct EffectButton {
    uint32_t command;
    int16_t effect;
  };
  static constexpr EffectButton kEffects[] = {
      {FourCC("Bmfr"), 92},  {FourCC("Bpfr"), 100}, {FourCC("Bgrd"), 102}, {FourCC("Bdno"), 103},
      {FourCC("Bsmo"), 104}, {FourCC("Bfoc"), 105}, {FourCC("Bbor"), 106}, {FourCC("Bpfx"), 113},
      {FourCC("Bcfr"), 114}, {FourCC("Bpli"), 115}, {FourCC("Bpsu"), 116}, {FourCC("Btex"), 117},
      {FourCC("Btoo"), 118}};
  for (const EffectButton& b : kEffects) {
    if (b.command == c) {
      session->UIFilter(b.effect);
      DrawWindowContent(window);
      return noErr;
    }
  }
  if (c == FourCC("Bbak")) {
    session->doBack();
  } else if (c == FourCC("Brev")) {
    session->doRevert();
  } else if (c == FourCC("Szoo")) {
    requestedZoom = static_cast<float>(tb::GetControl32BitValue(zoom) / 100.0);
  } else if (c == FourCC("Sopa")) {
    opacity = static_cast<int16_t>(tb::GetControl32BitValue(arrows));
    pendingApply = 1;
  } else if (c == FourCC("Pble")) {
    // The mode is applied and shown at the next tick of the timer.
    blendMode = static_cast<int16_t>(tb::GetControl32BitValue(blend));
    pendingApply = 1;
    return noErr;
  } else if (c == FourCC("ok  ")) {
    // A value typed since the last tick counts: Return presses OK at once, without the
    // second the typing waits for, and the version written must be the one the field shows.
    ApplyPending();
    if (session->doOK() == 0) endAsked = true;
    return noErr;
  } else if (c == FourCC("canc")) {
    session->doCancel();
    endAsked = true;
    return noErr;
  } else {
    return tb::eventNotHandledErr;
  }
  DrawWindowContent(window);
  return noErr;
}

OSStatus VMKapemainUI::ApemainScrollEventHandler(tb::EventHandlerCallRef, tb::EventRef, void*) {
  return tb::eventNotHandledErr;
}

void VMKapemainUI::ApemainLoop() {
  // A render serves timers in its own event loop: a step back or a new opacity now would
  // rewrite the images it is about to replace, and stepping back would no longer reach the
  // image before the effect. Both stay pending until the render is over.
  if (RenderRunning()) return;
  // What was clicked while the render ran, in the order clicked; once one of them has asked
  // the host to end the session the rest would only repeat it (a second OK would write every
  // version again).
  if (!heldCommands.empty()) {
    const std::vector<uint32_t> held = std::exchange(heldCommands, {});
    for (const uint32_t c : held) {
      if (endAsked || session == nullptr) break;
      CarryOut(c);
    }
  }
  if (gApemainBack != 0) {
    gApemainBack = 0;
    if (session != nullptr) session->doBack();
    DrawWindowContent(window);
  }
  ApplyPending();
}

void VMKapemainUI::ApplyPending() {
  if (pendingApply != 1) return;
  GetEditValue();
  if (session != nullptr) session->doOpaMod(opacity, blendMode);
  DrawWindowContent(window);
  pendingApply = 0;
}

// ---- forwarding functions ----

OSStatus ApemainWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* userData) {
  return gVMKapemain != nullptr ? gVMKapemain->ApemainWindowEventHandler(call, event, userData)
                                : tb::eventNotHandledErr;
}

OSStatus ApemainScrollEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* userData) {
  return gVMKapemain != nullptr ? gVMKapemain->ApemainScrollEventHandler(call, event, userData)
                                : tb::eventNotHandledErr;
}

void ApemainLoopHandler(tb::EventLoopTimerRef, void*) {
  if (gVMKapemain != nullptr) gVMKapemain->ApemainLoop();
}

const tb::EventHandlerProc& GetApemainWindowEventHandlerUPP() {
  static const tb::EventHandlerProc proc = ApemainWindowEventHandler;
  return proc;
}

const tb::EventHandlerProc& GetApemainScrollEventHandlerUPP() {
  static const tb::EventHandlerProc proc = ApemainScrollEventHandler;
  return proc;
}

void ScrollBar32BitActionProc(tb::ControlRef control, int16_t part) {
  int32_t value = tb::GetControl32BitValue(control);
  switch (part) {
    case tb::kControlUpButtonPart: value -= 1; break;
    case tb::kControlDownButtonPart: value += 1; break;
    case tb::kControlPageUpPart: value -= 10; break;
    case tb::kControlPageDownPart: value += 10; break;
    default: break;
  }
  tb::SetControl32BitValue(control, value);
  auto field = static_cast<tb::ControlRef>(tb::GetControlReference(control));
  if (field == nullptr) return;
  unsigned char text[256];
  VMK_NumToString(tb::GetControl32BitValue(control), text);
  tb::SetControlText(field, std::string(reinterpret_cast<const char*>(text + 1), text[0]));
}

bool NumEditKeyFilter(tb::ControlRef, int16_t*, int16_t* charCode, uint32_t* modifiers) {
  const int16_t c = *charCode;
  if ((c == 'z' || c == 'Z') && *modifiers == cmdKey) {
    gApemainBack = 1;
    return false;
  }
  return (c >= '0' && c <= '9') || c == ' ' || c == '-' || c == 8;
}

// The texture-generator dialog (effect 77): the fifteen parameters, three
// pattern kinds and the combination of a procedural texture, its colour
// ramp and three colour shifts.
//
// Unlike the other generators it draws its preview itself: each refresh
// renders the texture alone at the preview view's size with the texture
// engine and shows the three planes. The render runs as a job on the
// dialog's preview worker, so typing never waits for it; a newer render
// makes an older one's result go unseen. The planes keep the size the view
// had when the window opened (at least one pixel each way), times the
// window's backing scale: on a denser screen the texture is rendered at the
// device pixels and shown one to one.
//
// The parameters are whole numbers in the window: a float parameter shows
// truncated towards zero (12.7 from a file shows 12) and takes what is
// typed as a float. The value shift is held to -100..100 like saturation.
#pragma once

#include <cstdint>

#include "dialogs/frame/effect_frame.h"
#include "engines/patterns/texture_record.h"
#include "platform/memory/block.h"

class VMKtexturgenUI : public EffectFrame {
 public:
  VMKtexturgenUI();
  ~VMKtexturgenUI() override;

  // The owner's protocol: the current record goes to the backup first.
  void SetTextuPar(const TextuPar* record);
  void GetTextuPar(TextuPar* record) const;
  // 1 after OK; 0 after cancel, the close box or a window that cannot open.
  int16_t Do_TexturGenDlg();
  // Asks for a render of the current record into the preview planes (a job
  // on the preview worker; shown in the preview view when it completes).
  void PrepareBuf();
  void LoadTexturGenMenus() { LoadPresetMenus(); }
  void TexturGenLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus TexturGenWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window) {
    return WindowEventHandler(call, event, window);
  }
  OSStatus TexturGenWindowEventCommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                              void* window) {
    return CommandProcess(call, event, window);
  }

  TextuPar* current() const { return static_cast<TextuPar*>(edit); }
  TextuPar* backupRecord() const { return static_cast<TextuPar*>(backup); }
  // The preview planes as the last completed render left them, in device
  // pixels: the view's size times previewScale() each way.
  int32_t previewWidth() const { return previewWidth_ * previewScale_; }
  int32_t previewHeight() const { return previewHeight_ * previewScale_; }
  int32_t previewScale() const { return previewScale_; }
  const uint8_t* previewPlane(int k) const { return planes_[k].get(); }
  // Renders completed and shown so far.
  int32_t rendersShown() const { return rendersShown_; }

  // The texture of `record` into three width x height planes as the preview
  // shows it at `density` device pixels per view pixel: the texture the
  // operation lays over the session's picture, fitted into the planes and
  // centred on the view's ground (without a picture, over the whole planes,
  // the particles' sizes in view pixels); false when the engine could not
  // run.
  static bool RenderTexture(const TextuPar& record, int32_t width, int32_t height, uint8_t* red, uint8_t* green,
                            uint8_t* blue, int32_t density = 1);

 protected:
  void ShowPreview() override { PrepareBuf(); }
  void OpenViews(plat::tb::WindowRef window) override;
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;
  void ReadPreset(int32_t entry) override;

 private:
  bool KindCommand(uint32_t command);
  void ShowPlanes();

  int32_t previewWidth_ = 0;
  int32_t previewHeight_ = 0;
  int32_t previewScale_ = 1;
  plat::Block<uint8_t> planes_[3];
  uint64_t renderNumber_ = 0;  // of the newest render asked for
  int32_t rendersShown_ = 0;
};

extern VMKtexturgenUI* gVMKtexturgen;

void TexturGenLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus TexturGenWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetTexturGenWindowEventHandlerUPP();

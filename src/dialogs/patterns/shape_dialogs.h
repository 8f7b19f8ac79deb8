// The two shape makers: the spirograph (effect 110) and the star and
// polygon (effect 109) dialogs, twins over one shape record. Both place the
// shape (centre, blur; the star also radius and angle), colour it through
// the record's ramp after three shifts, and preview it over the picture;
// the spirograph adds its five path values, the star its points, corners,
// tips and random jitter of the point depths.
//
// The value shift is taken as typed, held only to the 16 bits the ramp bar
// and the ramp editor carry (500 stays 500). Typing pushes the next tick a
// second away. Kept as the makers always behaved: the placement bars
// ('Sxce', 'Syce', 'Srad', 'Sang', and the spirograph's 'Sblu') take no
// undo point, nor do the star's kind and jitter commands; the arrows of the
// shifts update their text and the ramp bar but not the preview until the
// next refresh; the spirograph's colour box shows the colour last picked in
// it, not the record's; turning jitter off keeps the table's entries.
#pragma once

#include <cstdint>
#include <span>

#include "dialogs/frame/effect_frame.h"
#include "engines/patterns/shape_record.h"

class VMKcolbox;

// Fills one half of the star's jitter table: the outer points' entries (even
// indices) or the inner points' (odd), each (R & 0xFFFF) x amplitude / 65536
// truncated towards zero, with a new R from the platform's generator for
// every entry. The other half stays.
void FillJitter(TObjPar* shape, bool inner, int16_t amplitude);

// What differs between the twins.
struct ShapeMakerDesc {
  int16_t effect;  // handed to the preview box with the record
  std::span<const uint32_t> placement;  // commands of the bars read without an undo point
  std::span<const uint32_t> shape;      // commands of the bars read with one
  const char* colourView;               // the colour box's class id
  int32_t applyCheck;                   // 'Ceff'
  int32_t outlineCheck;                 // 'Csha'
  int32_t rampView;                     // whose bounds size the ramp bar
};

class ShapeMakerDialog : public EffectFrame {
 public:
  void SetShapePar(const ShapePar* record);
  void GetShapePar(ShapePar* record) const;

  ShapePar* current() const { return static_cast<ShapePar*>(edit); }
  ShapePar* backupRecord() const { return static_cast<ShapePar*>(backup); }
  VMKimabox* previewBox() const { return Box(0); }
  VMKcolbox* colourBox() const { return colourBox_; }

  // ---- the object's own state ----
  PictureFit fit;            // the picture's place in the preview box
  int16_t applyFlag = 1;     // 'Ceff': the preview shows the effect
  int16_t outlineFlag = 1;   // 'Csha': the box draws the outline

 protected:
  ShapeMakerDialog(const EffectFrameDesc& desc, const ShapeMakerDesc& shape, int16_t* restor);

  // The box's own outline switch (SetSpirMode or SetStarMode).
  virtual void SetOutlineMode(int16_t mode) = 0;

  void ShowPreview() override;
  // Without its colour box the dialog has nothing to pick colours in.
  bool ReadyToRun() const override;
  void OpenViews(plat::tb::WindowRef window) override;
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;
  bool PollTick(plat::tb::WindowRef window) override;
  void ReadPreset(int32_t entry) override;

  // Groups of the value rows.
  static constexpr uint8_t kPlacement = 1;
  static constexpr uint8_t kShapeBars = 2;

 private:
  ShapeMakerDesc shape_;
  VMKcolbox* colourBox_ = nullptr;
};

class VMKspiromakerUI : public ShapeMakerDialog {
 public:
  VMKspiromakerUI();
  ~VMKspiromakerUI() override;

  // Flag 1: an operation of the list is edited and the preview reads the
  // render file (source 2); otherwise the picture (3).
  int16_t Do_SpiroMakerDlg(int16_t flag);
  void LoadSpiroMakerMenus() { LoadPresetMenus(); }
  void SpiroMakerLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus SpiroMakerWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window) {
    return WindowEventHandler(call, event, window);
  }
  OSStatus SpiroMakerWindowEventCommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                               void* window) {
    return CommandProcess(call, event, window);
  }

 protected:
  void SetOutlineMode(int16_t mode) override;
};

class VMKstarmakerUI : public ShapeMakerDialog {
 public:
  VMKstarmakerUI();
  ~VMKstarmakerUI() override;

  int16_t Do_StarMakerDlg(int16_t flag);
  void LoadStarMakerMenus() { LoadPresetMenus(); }
  void StarMakerLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus StarMakerWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window) {
    return WindowEventHandler(call, event, window);
  }
  OSStatus StarMakerWindowEventCommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                              void* window) {
    return CommandProcess(call, event, window);
  }

  // The jitter amplitudes of the inner and the outer points (bars 52, 61).
  int16_t innerAmplitude = 30;
  int16_t outerAmplitude = 30;

 protected:
  void SetOutlineMode(int16_t mode) override;
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;

 private:
  void ShowStarControls();
  bool JitterCommand(uint32_t command);
};

extern VMKspiromakerUI* gVMKspiromaker;
extern VMKstarmakerUI* gVMKstarmaker;

void SpiroMakerLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus SpiroMakerWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetSpiroMakerWindowEventHandlerUPP();
void StarMakerLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus StarMakerWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetStarMakerWindowEventHandlerUPP();

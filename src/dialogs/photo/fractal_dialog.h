// The fractal dialog (effect 100): the first entry of a FractPar, a Julia
// set drawn over a window of the complex plane and coloured through its
// ramp. The user zooms by dragging a rectangle on the preview (or with the
// zoom slider), picks the constant C by clicking (or by moving the mouse
// with Option), steps C digit by digit with eight little arrows, types the
// window's bounds and C, and browses the fractal files of the maker's
// folder in a strip of three samples (scroll bar, popup with a hover
// preview); 'Badd' loads the selected sample.
//
// A description and hooks on the one dialog frame: the window "OrrFract"
// (signature 'Orlf', 39 controls, resizable and zoomable), a 0.5 s loop,
// the boxes "com.vellmarkstead.orrl.HIima" (preview), ".HIvig" (ramp bar)
// and ".HIss1" to ".HIss3" (the samples), the temporary settings file
// ":tmpvmkfract.hfa". The refresh flag has a second stage: 1 reads the
// fields and previews, then 2 brings the sample strip up to date (the
// digit arrows and the strip's scroll ask for 2 alone, so the main preview
// waits while an arrow is held).
//
// Real values are fixed-point pairs (integer word + 10, fraction word x
// 10,000,000, both carrying the sign of the value). A typed value keeps its
// integer part truncated and its fraction rounded half away from zero, so
// -1.5 is (9, -5,000,000); a drag, a zoom and a click truncate the fraction.
// A typed, dragged or zoomed bound that would leave the window empty or
// inverted on an axis leaves that axis as it was.
#pragma once

#include <cstdint>

#include "dialogs/frame/effect_frame.h"
#include "engines/patterns/fractal_record.h"

class VMKorreluneUI : public EffectFrame {
 public:
  static constexpr int16_t kSamples = 3;

  VMKorreluneUI();
  ~VMKorreluneUI() override;

  // The owner's record into the current record and the backup alike, so
  // that an undo straight after opening leaves it byte for byte.
  void SetFractPar(const FractPar* record);
  void GetFractPar(FractPar* record) const;
  // 1 the current record to the backup, 0 back; other values nothing.
  void BackRestFract(int16_t n) { BackRest(n); }
  // Flag 0: the settings of the last OK are read first and the previews
  // show the picture (3); flag 1: the owner's record as it is, over the
  // render file (2). The loop timer is stopped and removed here, once the
  // window has gone.
  int16_t Do_OrreluneDlg(int16_t flag);

  // One decimal digit of C: digit d (0..4) steps decimal place d + 1 by
  // delta, in the fraction word alone (which may leave +-9,999,999 until
  // the fields are read again); refresh 2 in every case.
  void AdjustJrea(int16_t digit, int16_t delta);
  void AdjustJima(int16_t digit, int16_t delta);
  // The strip's first sample; refresh 2, the first slot selected.
  void AdjustScrollEdg(int16_t first);

  void GetEditValue() override;
  void PrepareWindowForDisplay() override;
  void LoadFractMenus();
  void OrreluneLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus OrreluneWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                      void* window) {
    return WindowEventHandler(call, event, window);
  }
  OSStatus OrreluneWindowEventCommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                             void* window) {
    return CommandProcess(call, event, window);
  }
  // Bodies of this file's own live actions.
  void ScrollAction(plat::tb::ControlRef control, int16_t part, bool strip);
  void DigitArrowAction(plat::tb::ControlRef control, int16_t part, bool imaginary, int16_t digit);

  FractPar* current() const { return static_cast<FractPar*>(edit); }
  FractPar* backupRecord() const { return static_cast<FractPar*>(backup); }
  FractInfo& layer() const { return current()->entries[0]; }
  // The number of files the list holds.
  int32_t FileCount() const;

  // ---- members, in the order of the dialog's table ----
  int16_t step = 1;        // the scroll bars' arrow step (pages are 10)
  int16_t zoomValue = 0;   // the zoom slider; 0 after every zoom
  // The run's flag, the preview source and the result are the frame's.
  int16_t renderFlag = 1;  // handed to the main box with the record
  int16_t firstSample = 0;
  int16_t selectedSample = 0;
  int16_t sampleCount = kSamples;
  int16_t shownIndex[kSamples] = {-1, -1, -1};
  int16_t red = 0, green = 0, blue = 0;  // under the mouse in the preview
  int16_t mouseX = 0, mouseY = 0;        // picture coordinates under the mouse
  // refresh (0, 1, 2) is the frame's refreshFlag.
  int32_t imageWidth = 0, imageHeight = 0;
  int32_t boxLeft = 0, boxTop = 0, boxWidth = 0, boxHeight = 0;
  // Current and backup record, file list (the preset list), temporary file,
  // ramp editor and its live-preview choice (1) are the frame's.
  int32_t fittedWidth = 0, fittedHeight = 0;
  // The draw parameters and the timer are the frame's.

 protected:
  void ShowPreview() override;
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;
  bool OwnEvent(plat::tb::EventRef event, plat::tb::WindowRef window, OSStatus* status) override;
  bool OwnKey(int16_t charCode, uint32_t modifiers, bool* pass) override;
  bool PollTick(plat::tb::WindowRef window) override;
  bool TakePick() override;
  void OpenViews(plat::tb::WindowRef window) override;
  void LoadOwnMenus() override;
  void InstallOwnControls(const FrameProcs& procs, plat::tb::WindowRef window) override;
  void InitRecord(void* record) override;

 private:
  bool FileThere(int32_t index) const { return index >= 0 && index < FileCount(); }
  bool UpdateStrip();
  bool PreviewPick();
  bool SampleSelection();
  void ReadBound(int32_t edit, int32_t word);
  void PickConstant(double re, double im);
  void ZoomWindow(int32_t v, plat::tb::WindowRef window);
  void MouseMoved(plat::tb::EventRef event, plat::tb::WindowRef window);
  void DrawStrip();
  void DrawReals();
  VMKimabox* Sample(int16_t k) const { return Box(static_cast<size_t>(2 + k)); }
};

extern VMKorreluneUI* gVMKorrelune;

void OrreluneLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus OrreluneWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetOrreluneWindowEventHandlerUPP();
// This file's live actions: the settings bars' and the strip's scroll
// actions, and the digit arrows of C (R: real part, J: imaginary part;
// arrow n steps decimal place n + 1).
void ScrollBarEff32BitActionProc(plat::tb::ControlRef control, int16_t part);
void LittleArrowR0ActionProc(plat::tb::ControlRef control, int16_t part);
void LittleArrowR1ActionProc(plat::tb::ControlRef control, int16_t part);
void LittleArrowR2ActionProc(plat::tb::ControlRef control, int16_t part);
void LittleArrowR3ActionProc(plat::tb::ControlRef control, int16_t part);
void LittleArrowJ0ActionProc(plat::tb::ControlRef control, int16_t part);
void LittleArrowJ1ActionProc(plat::tb::ControlRef control, int16_t part);
void LittleArrowJ2ActionProc(plat::tb::ControlRef control, int16_t part);
void LittleArrowJ3ActionProc(plat::tb::ControlRef control, int16_t part);

// The fixed-point pair of a real value (exposed for the tests): integer
// part truncated towards zero; the fraction rounded half away from zero
// (typed values, the Option pick) or truncated (drags, zooms, clicks).
void FractStoreRounded(int32_t* words, double value);
void FractStoreTruncated(int32_t* words, double value);

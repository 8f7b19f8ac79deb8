// The shape every effect dialog shares: a modal window from the nib with a
// large live preview and a small navigator (two image boxes), value sliders
// paired with number fields, a preset popup whose items preview while the
// mouse rests on them, channel, overlay and zoom controls, and a repeating
// loop timer that turns edits into one preview per tick.
//
// A dialog states only what sets it apart: a description (window, control
// signature and numbers, effect number, preset type, timer pushes and the
// handful of places where dialogs behave differently) and the operations of
// its record. Its own class derives from EffectDialog and keeps its own
// process-wide pointer; its file-level handlers are one-line calls of
// EffectDialogTrampolines (effect_dialog_procs.h), whose set it hands to Run.
//
// Input only raises the refresh flag (and may push the next tick ahead); the
// tick re-reads the number fields and renders once. Every record hand-off to
// an image box goes through ToView, the one place a preview is asked for.
// While the window is open both boxes render on the dialog's preview worker,
// away from the window's thread: a value change makes the render on its way
// stale, and the last complete preview stays until the next is ready.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "app/core/file_records.h"
#include "dialogs/correction/preview_worker.h"
#include "paths/draw_par.h"
#include "platform/toolbox/toolbox.h"

class VMKimabox;

// What a dialog needs of its record: the words it edits are 32-bit words
// addressed by index.
struct EffectRecordOps {
  int32_t size;  // bytes of one record in memory
  void (*init)(void* record, int32_t width, int32_t height, int32_t resolution, int16_t effect);
  void (*copy)(const void* source, void* destination);
  // Preset file of the effect: mode 0 asks and reads, 1 asks and writes, 2
  // reads the given file. -1 on failure.
  int16_t (*file)(int16_t mode, FSSpec spec, void* record, int16_t effect);
  // The image box's setter: copies the record, mode -1 without a preview.
  void (*toView)(VMKimabox* view, void* record, int16_t mode, int16_t level);
  int32_t* (*words)(void* record);
  int32_t width, height;                            // image size
  int32_t overlayOn, overlayIndex, overlayOpacity;  // 0..255
  int32_t regionLeft, regionTop, regionRight, regionBottom;  // 1/100000
};

// The controls the shared machinery drives; -1 where a dialog has none.
struct EffectDialogIds {
  int32_t mainView = -1;
  int32_t fitIndicator = -1;
  int32_t zoomIndicator = -1;
  int32_t previewRadio = -1;
  int32_t modeRadio = -1;
  int32_t zoomSlider = -1;
  int32_t zoomText = -1;
  int32_t zoomOut = -1;
  int32_t zoomIn = -1;
  int32_t readout[3] = {-1, -1, -1};
  int32_t presetPopup = -1;
  int32_t presetCompanion = -1;  // hidden and shown with the preset popup
  int32_t overlayGroup = -1;
  int32_t overlayCheck = -1;
  int32_t overlayPopup = -1;
  int32_t overlayMore[2] = {-1, -1};
  int32_t opacitySlider = -1;
  int32_t opacityEdit = -1;
  int32_t focusEdit = -1;  // keyboard focus when the window opens
};

// One value edited by a slider (or little arrows) and its number field.
struct ValueRow {
  enum Kind : uint8_t { kSlider, kArrows };
  uint32_t command;  // the slider's command
  int32_t control;   // slider or little arrows
  int32_t edit;      // number field
  int32_t minimum;   // clamp of the field
  int32_t maximum;
  int32_t word;      // record word
  Kind kind = kSlider;
};

// What a key typed into a number field may do besides digits.
enum class NumKeyExtra : uint8_t {
  kCmdZRestores,       // Cmd-Z raises the undo request
  kCmdSTogglesPreview  // Cmd-S flips the preview between before and after
};

struct EffectDialogDesc {
  const char* window;     // nib window name
  OSType signature;       // of every control
  const char* viewKey;    // "com.vellmarkstead.<key>.HIima" / ".HIpan"
  int16_t effect;         // record kind
  OSType presetType;      // preset files listed
  const EffectRecordOps* record;
  std::span<const int32_t> lookup;  // every control, in lookup order
  EffectDialogIds ids;
  int32_t modeWord = -1;  // record word of the mode radio
  // Where dialogs differ.
  double loopInterval = 1.0;
  double typingPush = 0.0;   // next tick after typing; 0 raises the flag only
  bool mouseRedrawsAll = false;  // the readout redraws everything
  double sliderPush = 2.0;   // 0: value sliders do not push the tick
  double fitPush = 2.0;
  double oneToOnePush = 2.0;
  bool squareOneToOne = true;  // (0, 0, a, a), else (0, 0, a, b)
  int32_t presetRoom = 1024;
  NumKeyExtra keyExtra = NumKeyExtra::kCmdZRestores;
  bool showsFitAndOverlay = true;
  int16_t navPanTag = 1;         // last argument of the navigator's SetBufSSPan
  bool mainPreviewAtOpen = false;  // the main view gets the record after SetOveLay
  bool navPanFirst = false;      // navigator: SetBufSSPan before the record
};

// The file-level functions of a dialog's source file that reach the dialog
// through its process-wide pointer.
struct EffectDialogProcs {
  plat::tb::EventLoopTimerProc loop;
  plat::tb::EventHandlerProc window;
  plat::tb::ControlActionProc slider;
  plat::tb::ControlActionProc pan;
  plat::tb::ControlActionProc arrows;
  plat::tb::KeyFilterProc keys;
};

class EffectDialog {
 public:
  static constexpr int32_t kZoomEntries = 33;

  // Takes its blocks, fills the record's defaults for the current document
  // and sets the zoom and pan state. `restor` is the file's undo request.
  EffectDialog(const EffectDialogDesc& desc, int16_t* restor);
  virtual ~EffectDialog();
  EffectDialog(const EffectDialog&) = delete;
  EffectDialog& operator=(const EffectDialog&) = delete;

  // n = 1 backs the edit record up, n = 0 restores it, else nothing.
  void BackRest(int16_t n);
  // Runs the window; 1 after OK, 0 after cancel or when it cannot open.
  int16_t Run(const EffectDialogProcs& procs);

  void GetEditValue();
  void DrawWindowContent(plat::tb::WindowRef window);
  void DrawRGBPicker();
  void SetNavZoom(int32_t minimum);
  void SetPanZoom(plat::tb::WindowRef window, int32_t zoom);
  void AdjustPanZoom(plat::tb::WindowRef window, int16_t position);
  void PrepareWindowForDisplay();
  void LoadLayPhoMenus();
  void LoadPresetMenus();
  void Loop(plat::tb::EventLoopTimerRef timer, void* window);
  OSStatus CommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
  OSStatus WindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);

  // Shared bodies of the file-level live actions and key filter.
  static void StepSlider(plat::tb::ControlRef slider, int16_t part);
  static void StepArrows(plat::tb::ControlRef arrows, int16_t part);
  bool FilterNumKey(int16_t charCode, uint32_t modifiers);

  // ---- state, public for the trampolines, the owner and tests ----
  int16_t displayWord = 3;
  int16_t result = 0;
  int16_t fitFlag = 1;
  int16_t refreshFlag = 0;
  int16_t previewMode = 1;
  int16_t readout[5] = {0, 0, 0, 0, 0};
  int32_t imageWidth = 0;
  int32_t imageHeight = 0;
  int32_t imageResolution = 72;
  int32_t viewOriginX = 0, viewOriginY = 0, viewSizeX = 0, viewSizeY = 0;
  void* edit = nullptr;
  void* backup = nullptr;
  FSSpec* presetList = nullptr;
  int32_t pan[4] = {0, 0, 100000, 100000};  // left, top, right, bottom
  int32_t oneToOne[4] = {0, 0, 100000, 100000};
  int32_t zoomTable[kZoomEntries] = {};
  int32_t minIndex = 0, midIndex = 16, maxIndex = 32;
  int32_t curIndex = 16, curZoom = 10000;
  DrawPar* drawPar = nullptr;
  plat::tb::EventLoopTimerRef loopTimer = nullptr;
  plat::tb::EventLoopTimerProc loopTimerUPP;  // empty until the timer is installed
  std::vector<plat::tb::ControlRef> controls;  // in lookup order

  const EffectDialogDesc& desc() const { return desc_; }
  // Where the refresh flag and the preview mode live (the object's members
  // unless a dialog keeps them in its file).
  int16_t& refresh() { return *refreshRef_; }
  int16_t& mode() { return *modeRef_; }
  int32_t& Word(int32_t index) { return desc_.record->words(edit)[index]; }
  plat::tb::ControlRef Ctl(int32_t id) const;
  VMKimabox* mainView() const { return main_; }
  VMKimabox* navigator() const { return nav_; }
  const std::vector<ValueRow>& rows() const { return rows_; }
  PreviewWorker& previews() { return *previews_; }

 protected:
  // A dialog's own draw steps before the shared ones, and its own commands
  // (true when taken).
  virtual void DrawOwnContent(plat::tb::WindowRef) {}
  virtual bool OwnCommand(uint32_t, plat::tb::ControlRef, plat::tb::WindowRef) { return false; }
  // Hands the edit record to a view: the one place a preview is asked for.
  void ToView(VMKimabox* view, int16_t mode);
  void PushTick(double seconds);
  // A value changed: the main view's preview on its way shows old values.
  void StaleMainPreview();
  void KeepFlagsIn(int16_t* refresh, int16_t* mode) {
    refreshRef_ = refresh;
    modeRef_ = mode;
  }

  std::vector<ValueRow> rows_;

 private:
  void ShowValues();
  void ShowOverlay();
  void ShowOpacity();
  void ShowFitControls();
  void ApplyIndex(plat::tb::WindowRef window, int32_t index);
  void ResetNavigator(plat::tb::WindowRef window, double push);
  void HoverPreset(int32_t item, plat::tb::WindowRef window);
  void LoadPreset(int32_t entry);
  bool ReadRGB(const Point& where);  // true inside the main view
  void ChannelCommand(uint32_t command, plat::tb::ControlRef source);
  void OpenViews();
  void InstallControls(const EffectDialogProcs& procs, plat::tb::WindowRef window);
  int32_t ZoomPosition(int32_t zoom) const;

  const EffectDialogDesc& desc_;
  int16_t* restor_;
  int16_t* refreshRef_ = &refreshFlag;
  int16_t* modeRef_ = &previewMode;
  VMKimabox* main_ = nullptr;
  VMKimabox* nav_ = nullptr;
  std::unique_ptr<PreviewWorker> previews_ = std::make_unique<PreviewWorker>();
};

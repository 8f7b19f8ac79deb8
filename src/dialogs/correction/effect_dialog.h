// The shape every colour-correction dialog shares, on the one effect-dialog
// frame (dialogs/frame/effect_frame.h): a large live preview and a small
// navigator (two image boxes), value sliders paired with number fields, a
// preset popup whose items preview while the mouse rests on them, channel,
// overlay and zoom controls, and the frame's loop timer that turns edits
// into one preview per tick.
//
// A dialog states only what sets it apart: a description (window, control
// signature and numbers, effect number, preset type, timer pushes and the
// handful of places where these dialogs behave differently) and the
// operations of its record. Its own class derives from EffectDialog and
// keeps its own process-wide pointer; its file-level handlers are one-line
// calls of EffectDialogTrampolines (effect_dialog_procs.h), whose set it
// hands to Run.
//
// Every record hand-off to an image box goes through ToView, the one place a
// preview is asked for. While the window is open both boxes render on the
// frame's preview worker: a value change makes the main view's render on its
// way stale, and the last complete preview stays until the next is ready.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "app/core/file_records.h"
#include "dialogs/frame/effect_frame.h"
#include "paths/draw_par.h"
#include "platform/toolbox/toolbox.h"

class VMKimabox;

// What a dialog needs of its record beyond the frame's operations: the words
// it edits are 32-bit words addressed by index.
struct EffectRecordOps {
  FrameRecordOps frame;
  // The image box's setter: copies the record, mode -1 without a preview.
  void (*toView)(VMKimabox* view, void* record, int16_t mode, int16_t level);
  int32_t* (*words)(void* record);
  int32_t width, height;                            // image size
  int32_t overlayOn, overlayIndex, overlayOpacity;  // 0..255
  int32_t regionLeft, regionTop, regionRight, regionBottom;  // 1/100000
};

// The controls the family's machinery drives; -1 where a dialog has none.
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
  int32_t readoutXY[2] = {-1, -1};  // image x and y under the pointer ("X: %d", "Y: %d")
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
  int16_t bufMode = 23;          // InitBuf of both views
  bool crossHair = false;        // the pointer over the main view draws a cross-hair
  // The navigator shows its pan frame only while zoomed (fit hides it).
  bool navFrameFollowsFit = false;
  // The window's event types in registration order; empty: the family's.
  std::span<const plat::tb::EventTypeSpec> events{};
  // Picture pixels across the 1:1 rectangle the dialog starts with.
  int32_t fitPixels = 500;
  // The main view is fitted through drawing parameters of the dialog's own.
  bool drawingParameters = true;
  bool refreshAtOpen = true;  // the first tick reads the fields and previews
  // A new scale renders the main view at once; false: it only gets the new
  // pan, and the tick that follows the navigator renders it.
  bool zoomRendersMain = true;
  const char* tempFile = nullptr;  // ":tmpvmk..." kept between runs
};

using EffectDialogProcs = FrameProcs;

class EffectDialog : public EffectFrame {
 public:
  static constexpr int32_t kZoomEntries = 33;

  // Takes its blocks, fills the record's defaults for the current document
  // and sets the zoom and pan state. `restor` is the file's undo request.
  EffectDialog(const EffectDialogDesc& desc, int16_t* restor);
  ~EffectDialog() override;

  int16_t Run(const EffectDialogProcs& procs) { return EffectFrame::Run(procs); }

  void GetEditValue() override;
  void DrawWindowContent(plat::tb::WindowRef window) override;
  virtual void DrawRGBPicker();
  void SetNavZoom(int32_t minimum);
  // The zoom the zoom text says at Fit.
  int32_t FitZoom() const;
  // The view's size at `zoom` about the middle of the part shown (zoom_pan.h:
  // PanAtZoom), and both views told; the table starts at the zoom at which
  // the whole picture fits the main view.
  void SetPanZoom(plat::tb::WindowRef window, int32_t zoom);
  void AdjustPanZoom(plat::tb::WindowRef window, int16_t position);
  void PrepareWindowForDisplay() override;
  void LoadLayPhoMenus();

  int32_t RowValue(const ValueRow& row) override { return Word(row.word); }
  void SetRowValue(const ValueRow& row, int32_t value) override { Word(row.word) = value; }

  // ---- state, public for the trampolines, the owner and tests ----
  int16_t displayWord = 3;
  int16_t fitFlag = 1;
  int16_t previewMode = 1;
  int16_t readout[5] = {0, 0, 0, 0, 0};
  int32_t imageWidth = 0;
  int32_t imageHeight = 0;
  int32_t imageResolution = 72;
  int32_t viewOriginX = 0, viewOriginY = 0, viewSizeX = 0, viewSizeY = 0;
  int32_t pan[4] = {0, 0, 100000, 100000};  // left, top, right, bottom
  int32_t oneToOne[4] = {0, 0, 100000, 100000};
  int32_t zoomTable[kZoomEntries] = {};
  int32_t minIndex = 0, midIndex = 16, maxIndex = 32;
  int32_t curIndex = 16, curZoom = 10000;
  DrawPar* drawPar = nullptr;

  const EffectDialogDesc& desc() const { return desc_; }
  // Where the preview mode lives (the object's member unless a dialog keeps
  // it in its file).
  int16_t& mode() { return *modeRef_; }
  int32_t& Word(int32_t index) { return desc_.record->words(edit)[index]; }
  // The overlay's switch, index and opacity (0..255): the record's words
  // unless the dialog keeps them itself.
  enum OverlayPart : uint8_t { kOverlayOn, kOverlayIndex, kOverlayOpacity };
  virtual int32_t Overlay(OverlayPart part);
  virtual void SetOverlay(OverlayPart part, int32_t value);
  VMKimabox* mainView() const { return main_; }
  VMKimabox* navigator() const { return nav_; }

 protected:
  // Hands the edit record to a view: the one place a preview is asked for.
  void ToView(VMKimabox* view, int16_t mode);
  void KeepFlagsIn(int16_t* refresh, int16_t* mode) {
    KeepRefreshIn(refresh);
    modeRef_ = mode;
  }

  // ---- the frame's hooks ----
  void ShowPreview() override;
  bool PollTick(plat::tb::WindowRef window) override;
  bool FamilyCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;
  bool OwnEvent(plat::tb::EventRef event, plat::tb::WindowRef window, OSStatus* status) override;
  bool OwnKey(int16_t charCode, uint32_t modifiers, bool* pass) override;
  bool ReadyToRun() const override;
  void PrepareBoxesAndMenus(plat::tb::WindowRef window) override;
  void InstallOwnControls(const FrameProcs& procs, plat::tb::WindowRef window) override;
  void BeforeShow(plat::tb::WindowRef window) override;
  void AfterRecordLoad() override;
  // The tick's last word to the main view before it gets the record.
  virtual void BeforeMainPreview() {}
  // Both views as the window opens (before it is fitted).
  virtual void OpenBoxes();
  // The preview mode the main view's record goes with.
  virtual int16_t MainPreviewMode() const { return *modeRef_; }
  // The tick after the main view reported a change of its own (the user
  // moved its region): the region into the record and a new preview.
  virtual void MainViewEdited();
  // The 1:1 rectangle for a picture: (0, 0, a, b), a side showing the
  // description's fit pixels, b = a when square.
  void SetOneToOne(int32_t width, int32_t height);
  // The pan rectangle and its zoom to the main view: what every preview of
  // it shows.
  void PanToMain();
  // The picture the record is of, and the main view's size.
  int32_t RecordWidth() const;
  int32_t RecordHeight() const;
  int32_t ViewWidth() const;
  int32_t ViewHeight() const;
  // The navigator's pan-frame set for the current fit state.
  int16_t NavigatorFrames() const;
  bool ReadRGB(const Point& where);  // true inside the main view
  void ChannelCommand(uint32_t command, plat::tb::ControlRef source);

 private:
  void ShowOverlay();
  void ShowOpacity();
  void ShowFitControls();
  void ApplyIndex(plat::tb::WindowRef window, int32_t index);
  // '+' (direction 1) and '-' (-1) from the zoom shown.
  void ZoomStep(plat::tb::WindowRef window, int direction);
  void LeaveFit(plat::tb::WindowRef window);
  void OneToOne(plat::tb::WindowRef window);
  void TakeNavigatorFrame();
  void ResetNavigator(plat::tb::WindowRef window, double push);
  void DrawCrossHair(const Point& where);
  int32_t ZoomPosition(int32_t zoom) const;

  const EffectDialogDesc& desc_;
  int16_t* modeRef_ = &previewMode;
  VMKimabox* main_ = nullptr;
  VMKimabox* nav_ = nullptr;
};

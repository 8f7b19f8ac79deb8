// The operation-list editor ("Tune Effect"): the editor of one layer's
// operation list, and the object through which the effect launcher and the
// editor's own adjust command open an effect's dialog (Perform_Effect, whose
// rows live in the effect registry). The image-tools window ("ImaEff",
// family 118) is this same class, with a preview of the layer's script over
// the document's picture and a strip of three stored effects.
//
// One instance at a time, reached by the file's handlers through
// gVMKtuneeff. Its buffers come from the session's memory manager and go
// back to it when the editor goes. The effect launcher never shows the
// window: it binds the editor to the document's script with operation 1
// current and dispatches one effect.
//
// The window runs on the one dialog frame (dialogs/frame): the frame opens
// the nib window by the family's name, finds the controls, installs the
// handler, the loop timer, the number fields' key filter and the sliders'
// live action, and runs the modal loop. The editor has no record of its
// own: every edit goes straight into the script through its accessors, so
// OK and cancel both leave what was edited (the owner decides what to do
// with the answer). Its own loop (TuneEffLoop), events, commands and the
// whole redraw are the editor's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/core/file_records.h"
#include "app/core/pascal_strings.h"
#include "dialogs/frame/effect_frame.h"
#include "dialogs/frame/live_preview.h"
#include "platform/files/file_spec.h"
#include "platform/toolbox/toolbox.h"
#include "views/preview_job.h"

class Laye;
class ScriptFile;
class VMKdoc;
class VMKlibr;
class VMKimabox;
class VMKcolbox;
namespace tuneeff {
struct SliderRow;
}
struct DrawPar;
struct YoxelPar;

class VMKtuneeff final : public EffectFrame {
 public:
  static constexpr int32_t kSlots = 3;
  static constexpr int32_t kSliderRows = 5;
  static constexpr int32_t kMenuEntries = 255;
  static constexpr int32_t kPlaneSlots = 90;
  static constexpr int32_t kEffectFiles = 4096;
  static constexpr int32_t kStoredEffects = 255;  // listed at most
  static constexpr int32_t kThumbSide = 130;

  VMKtuneeff();
  ~VMKtuneeff() override;

  // Current operation = first, current kind item = second.
  void LoadVal(long first, long second);
  // Binds the editor to a layer of a script: the six display values (image
  // width and height, work area left, top, right, bottom), the script,
  // stack, layer and the current document. With the window open, operation
  // 1 becomes current and the window shows it.
  void SetScriptFile(ScriptFile* script, short stack, short layer, short width, short height,
                     short left, short top, short right, short bottom);
  void GetScriptFile(ScriptFile* script);
  // Code 42 starts its launched operation with Param1 255; every other
  // code leaves the operation alone. The bound script, stack and layer are
  // the ones changed, not the arguments.
  void InitScriptParams(ScriptFile* script, short stack, short layer, short code);
  // Opens the dialog of effect `code` on the current operation (a row of
  // the effect registry) and writes it back on OK; 1 or 0 as the row
  // answers, 0 for a code no row serves. Flag 0 from the effect launcher,
  // 1 from this editor's own commands.
  short Perform_Effect(short code, short flag);

  void SetChanFlag(short v) { chanFlag = v; }
  short GetChanFlag() const { return chanFlag; }
  void SetRefreshFlag(short v) { refreshFlag = v; }
  // With preview on: the pending preview request, replaced by v; else 0.
  short CheckSetPreview(short v);

  // ---- the window ----
  // Runs the window of a family ("ImaEff" for 118, else "TuneEff"); 1 after
  // OK, 0 after cancel, the close box, or when there is no window.
  short Do_TuneEffDlg(short family);
  // 1 shows, 0 hides, 2 toggles the window.
  void ShowHideTuneEffWindow(short mode);
  void CloseTuneEffWindow();
  void AdjustScrollEdg(short first);
  OSStatus TuneEffWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
  // The command table; always noErr.
  OSStatus TuneEffWindowEventCommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                            void* window);

  // ---- menus, values and the redraw ----
  // The operation popup: one line per operation of the layer.
  void LoadActMenu(short family);
  // The line of operation k of the layer in a window of `family` (at most
  // 255 characters).
  std::string OperationLine(short k, short family) const;
  // The kind popup and both index tables.
  void LoadKndMenu(short family);
  // The image-tools window's stored-effect popup and list.
  void LoadEffMenus();
  // Slider rows and show flags of the current operation.
  void PrepareValues(plat::tb::WindowRef window);
  void InitSlider(short row, short shown, short minimum, short maximum, short value, const unsigned char* title);
  // The opacity field and the rows' fields back into the operation.
  void GetEditValue() override;
  void DrawRGBPicker();
  // Every control from the script.
  void DrawWindowContent(plat::tb::WindowRef window) override;

  // ---- the layer's operations as files ----
  // 1 saves the layer's operations to the undo copy, 0 restores them from
  // it (only when the copy reads whole); other values do nothing.
  void BackRestEff(short mode);
  // The stored effect of the selected thumbnail (list entry first +
  // selected slot) replaces the layer's operations when it reads whole.
  void LoadScript(short first);
  // Saves the layer as an effect file of the family's type with a thumbnail.
  void SaveList(short family);

  // ---- the loop and the image-tools preview ----
  void TuneEffLoop(plat::tb::EventLoopTimerRef timer, void* window);
  void PrepareWindowForDisplay(plat::tb::WindowRef window);
  // file step (0), target (0 a thumbnail into `pixels`, 1 the preview's
  // plane tables), stage of the preview (0 source, 1 result), the
  // thumbnail's width and height, and where its used size goes.
  void PrepareBuf(short step, short target, short stage, int32_t width, int32_t height, uint32_t* pixels,
                  short* usedWidth, short* usedHeight);

  // ---- file-level statics of the window ----
  static bool NumEditKeyFilter(plat::tb::ControlRef c, int16_t* keyCode, int16_t* charCode, uint32_t* modifiers);
  static int32_t Popup32BitActionProc(plat::tb::ControlRef c, int16_t part);
  static void ScrollBar32BitActionProc(plat::tb::ControlRef c, int16_t part);
  static const plat::tb::EventHandlerProc& GetTuneEffWindowEventHandlerUPP();

  // ---- fields, in the order the editor's record keeps them (the result,
  // refresh flag, loop timer and controls are the frame's) ----
  int16_t startFlag = 0;
  int16_t family = 0;
  int16_t shown = 0;
  int16_t chanFlag = 0;
  int16_t loopCount = 3;
  int16_t firstVisible = 0;
  int16_t selectedSlot = 0;
  int16_t slotCount = kSlots;
  int16_t loopWords[kSlots] = {-1, -1, -1};
  int16_t previewOn = 1;
  int16_t pendingPreview = 0;
  int16_t imaToolsValue = 1;
  int16_t showAdjust = 0;
  int16_t showSource = 1;
  int16_t showMask = 1;
  int16_t showSwatch[3] = {0, 0, 0};
  int16_t showBlend = 0;
  int16_t pickedRed = 0;
  int16_t pickedGreen = 0;
  int16_t pickedBlue = 0;
  int16_t codeToItem[kMenuEntries] = {};
  int16_t itemToCode[kMenuEntries] = {};
  int16_t itemCount = 0;
  int16_t currentOprn = 1;
  int16_t currentKindItem = 1;
  int16_t maskMode = 1;
  int16_t maskChannel = 1;
  int16_t destChannel = 2;
  int16_t sourceChannel = 1;
  int16_t opacity = 255;
  int16_t blendItem = 1;
  int16_t selectionItem = 1;
  int16_t swatchColours[3][3] = {};
  plat::tb::WindowRef window = nullptr;
  ScriptFile* script = nullptr;  // not owned
  int16_t stack = 0;
  int16_t layer = 0;
  int16_t imageWidth = 0;  // the six display values
  int16_t imageHeight = 0;
  int16_t areaLeft = 0;
  int16_t areaTop = 0;
  int16_t areaRight = 0;
  int16_t areaBottom = 0;
  VMKdoc* document = nullptr;
  int32_t sliderValue[kSliderRows] = {};
  int32_t sliderMinimum[kSliderRows] = {};
  int32_t sliderMaximum[kSliderRows] = {};
  int32_t sliderShown[kSliderRows] = {};
  Str255 sliderTitle[kSliderRows] = {};
  uint8_t** resultPlanes = nullptr;  // kPlaneSlots entries, by channel
  uint8_t** sourcePlanes = nullptr;
  DrawPar* drawPar = nullptr;
  YoxelPar* workRecord = nullptr;
  VMKlibr* selectionDialog = nullptr;  // while either runs nested
  // The ramp editor a ramp row runs is the frame's `rampEditor`, polled by
  // this editor's own loop (image-tools window) for live previews.
  int16_t rampPreviewFlag = 1;
  FSSpec* effectFiles = nullptr;  // kEffectFiles entries
  int32_t effectCount = 0;        // entries of the stored-effect popup

  // The image-tools preview.
  int32_t docWidth = 0;  // the current document's picture
  int32_t docHeight = 0;
  int32_t viewOriginX = 0;
  int32_t viewOriginY = 0;
  int32_t viewWidth = 0;  // the preview view's planes
  int32_t viewHeight = 0;
  int32_t fittedWidth = 0;
  int32_t fittedHeight = 0;
  int16_t built = 0;
  int32_t panRect[4] = {0, 0, 100000, 100000};
  int32_t panWords[2] = {};
  int32_t minScaleX = 100000;
  int32_t minScaleY = 100000;
  // The size the plane tables were made at (what the preview may show), in
  // view pixels, and their device pixels per view pixel: on a denser screen
  // entries 3 and up hold tablesWidth x tablesScale by tablesHeight x
  // tablesScale samples, rendered at the device pixels and shown one to
  // one.
  int32_t tablesWidth = 0;
  int32_t tablesHeight = 0;
  int32_t tablesScale = 1;

  // The image-tools preview view, thumbnails and the three swatches of the
  // application object (null when the session has none).
  VMKimabox* previewView() const { return Box(0); }
  VMKimabox* thumbView(int32_t k) const { return k >= 0 && k < kSlots ? Box(1 + static_cast<size_t>(k)) : nullptr; }
  VMKcolbox* swatch(int32_t k) const;

  // Image-tools previews rendered and put into the plane tables so far
  // (each arrives from the preview worker; tests and benchmarks wait on it).
  int32_t previewsShown() const { return previewsShown_; }

 protected:
  void DrawOwnContent(plat::tb::WindowRef) override {}
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;
  bool OwnEvent(plat::tb::EventRef event, plat::tb::WindowRef window, OSStatus* status) override;
  bool OwnKey(int16_t charCode, uint32_t modifiers, bool* pass) override;
  bool TakePick() override;
  void LoadOwnMenus() override;
  void InstallOwnControls(const FrameProcs& procs, plat::tb::WindowRef window) override;
  void BeforeShow(plat::tb::WindowRef window) override;
  void PrepareWindowForDisplay() override;
  const char* WindowName() const override;
  int32_t RowValue(const ValueRow& row) override;
  void SetRowValue(const ValueRow& row, int32_t value) override;

 private:
  // The code of the current kind item (0 for none).
  int16_t CurrentCode() const;
  bool ImageTools() const;
  Laye* EditedLayer() const;
  void ReadChannels();
  void SetParamOf(int16_t n, int32_t value);
  // Window events and commands.
  void MouseMoved(const Point& where);
  bool StoredPopupEvent(plat::tb::EventRef event, plat::tb::WindowRef window);
  void HoverStoredEffect(int32_t item, plat::tb::WindowRef window);
  bool ListCommand(uint32_t command, plat::tb::WindowRef window);
  void ChangeKind(plat::tb::ControlRef popup, plat::tb::WindowRef window);
  void ApplyKindRecord(int16_t code);
  void CopyRecordOnto(int16_t kind);
  void ChooseSelection(int16_t item);
  void ClearOperations();
  void LoadChosenEffect();
  void SaveEffect(plat::tb::WindowRef window);
  void Redraw(plat::tb::WindowRef window);
  void Refresh();
  bool ReadIntoLayer(const fichier& file, bool quiet);
  fichier UndoFile() const;
  // The redraw.
  int32_t RowMaximum(int16_t code, int n, const tuneeff::SliderRow& row) const;
  void LayoutSwatches(int16_t code);
  void LayoutSampleColour();
  void ShowSwatches();
  void ShowRows();
  void ShowThumbnails(plat::tb::WindowRef window);
  int16_t FirstShown() const;
  // Loop steps.
  bool PollRampEditor();
  bool PollThumbnails();
  bool PollSwatches();
  void StoreSwatch(int k);
  bool PollPreviewClick();
  bool PollSelectionDialog();
  // The image-tools preview.
  void OpenImageTools();
  void FitPicture();
  void RenderThumbnail(int32_t w, int32_t h, uint32_t* pixels, short* usedWidth, short* usedHeight);
  bool MakeTablePlanes();
  // `written`: whether the layer scratch file took the layers (else the
  // system's `error`).
  void SubmitPreview(bool written, int error);
  void ShowPreviewChannel();
  void ReleaseTables(int32_t first, int32_t last);

  // The image-tools preview's renders on the preview worker: the stages
  // (bit 0 source, bit 1 result) asked for since the last one shown, the
  // number of the newest render, and that render while it runs.
  int16_t stagesWanted_ = 0;
  bool storedOpen_ = false;  // the stored-effect popup's menu is open: the layer is kept
  bool holdSubmit_ = false;
  uint64_t previewNumber_ = 0;
  int32_t previewsShown_ = 0;
  std::weak_ptr<vmkviews::PreviewJob> runningPreview_;
};

extern VMKtuneeff* gVMKtuneeff;

// The timer and window trampolines of the editor's file.
void TuneEffLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus TuneEffWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
// The thumbnail scroll bar's live action (in the editor's namespace: the
// fractal dialog has a live action of the same name).
namespace tuneeff {
void ScrollBarEff32BitActionProc(plat::tb::ControlRef control, int16_t part);
}  // namespace tuneeff

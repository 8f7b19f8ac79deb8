// The one frame under every effect dialog: a modal window from the nib, its
// controls found by {signature, number}, a repeating loop timer that turns
// edits into one preview per tick, the generic window events (preset hover
// preview, undo keys, typing, drawing, resizing, the close box), the common
// commands, the number-field key filter and the slider and arrow actions,
// the preset popup, the temporary settings file and the preview worker.
//
// How a dialog is described
// -------------------------
// A dialog is a class derived from EffectFrame (or from a family base on it,
// such as the colour-correction EffectDialog) that hands the constructor an
// EffectFrameDesc and overrides only the hooks where it differs:
//
//   1. The description (usually one `constexpr` table in the dialog's file):
//      nib window name and control signature(s), the table of control
//      numbers to look up, the record's operations (size, defaults, copy,
//      preset file), effect number and preset file type, the preset popup,
//      the timer interval, the typing push, the event list the window
//      registers, the image boxes of the application object the dialog
//      previews in ("com.vellmarkstead.<viewKey>.<name>"), the temporary
//      settings file (":tmpvmk....") and a few switches (undo tick, refresh
//      at open, resizable).
//   2. The value rows (`rows_`, filled by the constructor): one per value
//      edited by a slider or little arrows and its number field, with the
//      clamp and where the value lives (a 32-bit word index, or a byte
//      offset with its storage width, in the current record). A dialog whose
//      values live elsewhere (members of its own) overrides RowValue and
//      SetRowValue.
//   3. The hooks (all optional): ShowPreview (hand the record to the preview
//      box: the box's own Set<X>Par), DrawOwnContent (its own controls before
//      the rows are written back), OwnCommand (its own commands, first in
//      line), OwnEvent (its own events, first in line), TickRequests
//      (requests raised between ticks that the tick serves before anything
//      else, such as a dialog's own undo keys), PollTick (loop steps
//      of its own: boxes reporting clicks, an open ramp editor's
//      checks), RecordFile (a preset file operation that needs more than
//      the record), OpenViews and LoadOwnMenus (the window's boxes and
//      popups before the handlers go in), InstallOwnControls, BeforeShow,
//      PrepareWindowForDisplay, ReadPreset (a preset read that keeps parts of
//      the record with Option), AfterRecordLoad (after reset, load and preset).
//   4. The file-level names: the dialog's source file defines its
//      `flag_restor`, its process-wide pointer `gVMK<x>` and
//      `using Trampolines = EffectFrameTrampolines<gVMK<x>>;`
//      (effect_frame_procs.h), then one-line `<X>LoopHandler`,
//      `<X>WindowEventHandler`, `Get<X>WindowEventHandlerUPP`,
//      `NumEditKeyFilter`, `ScrollBar32BitActionProc` and
//      `LittleArrowActionProc` calling the template, claims the pointer in
//      its constructor (Trampolines::Claim) and releases it in its destructor,
//      and its `Do_<X>Dlg(flag)` is `return Run(Trampolines::Procs(...), flag);`.
//
// What the frame does for every dialog (so no dialog copies it):
//   - Run: arrow cursor; flag and preview source (2 for flag 1, else 3); the
//     temporary settings file named in the maker's folder before the flag is
//     looked at and read (mode 2) unless the flag is 1; the window from the
//     nib (when it cannot be made: 0, with no handler, timer or view state
//     touched); controls found; boxes on the dialog's preview worker; popups;
//     window handler; loop timer installed with first fire "never", the
//     dialog's interval, then next fire 0 (the first tick at once; a second
//     run replaces the first run's timer); key filters and actions; focus;
//     DrawWindowContent; show; result 0; refresh as described; modal loop;
//     afterwards the timer sleeps, the worker stops, the window goes.
//   - Loop: (0) TickRequests; (1) with the undo tick, a raised `flag_restor` restores the
//     backup, hands the record to the preview and drops this tick's refresh,
//     so no stale edit text is read back over the restored values; (2) a
//     raised refresh reads the number fields (clamped) and hands the record
//     to the preview; (3) an open ramp editor (`rampEditor`, see
//     patterns/ramp_editor_session.h) that reports a change gives its ramp to
//     the record's ramp (FrameRecordOps::ramp), which goes to the preview;
//     PollTick; when any step did something the state is written back to
//     every control (DrawWindowContent).
//   - Commands: 'ok  ' reads the number fields first (a value typed just
//     before OK counts), writes the temporary settings file, runs the
//     session's render when the window took one (ok_render.h, RenderOnOk)
//     and ends with 1 unless that render failed; 'canc' and 'clos' end
//     with 0; 'Bloa', 'Bsav', 'Bres' and 'Plib' back the record up first;
//     a row's slider stores its value and refreshes, a row's arrows read
//     the fields at once.
//   - The undo request raised by Cmd-Z or Ctrl-Z (and by Cmd-Z in a number
//     field) is the file's `flag_restor`, reached through the pointer the
//     constructor is given.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "app/core/file_records.h"
#include "app/core/sample_clamp.h"
#include "platform/toolbox/api/plain_menus.h"
#include "dialogs/frame/live_preview.h"
#include "dialogs/frame/ok_render.h"
#include "dialogs/frame/preview_worker.h"
#include "platform/toolbox/toolbox.h"

class VMKimabox;
struct DrawPar;
struct LutVign;

// The current document as a record's defaults may need it.
struct RecordContext {
  int32_t width = 0;
  int32_t height = 0;
  int32_t resolution = 72;
  int16_t effect = 0;
};

// What the frame needs of the record a dialog edits. `file` is the family's
// preset file operation: mode 0 asks and reads, 1 asks and writes, 2 reads
// and 3 writes the given file; 0 on success, -1 on failure. A dialog without
// preset files leaves it null. A size of 0: the frame takes no record
// blocks; the dialog brings its record (`edit`) and has no backup.
struct FrameRecordOps {
  int32_t size = 0;
  void (*init)(void* record, const RecordContext& context) = nullptr;
  void (*copy)(const void* source, void* destination) = nullptr;
  int16_t (*file)(int16_t mode, FSSpec spec, void* record, int16_t effect) = nullptr;
  // The record's colour ramp, for dialogs that open the ramp editor on it.
  LutVign* (*ramp)(void* record) = nullptr;
};

// One value edited by a slider (or little arrows) and its number field.
struct ValueRow {
  enum Kind : uint8_t { kSlider, kArrows };
  // Where the value lives in the current record: kWord is the index of a
  // 32-bit word from the record's start; the others take `word` as a byte
  // offset and say how wide the field is.
  // kFloat: a float field that holds whole numbers as the dialog sees
  // them: it shows truncated towards zero and stores what is typed as a float.
  enum Storage : uint8_t { kWord, kInt32, kInt16, kUInt8, kFloat };
  uint32_t command;  // the slider's or the arrows' command
  int32_t control;   // slider or little arrows
  int32_t edit;      // number field
  int32_t minimum;   // clamp of the field
  int32_t maximum;
  int32_t word;
  Kind kind = kSlider;
  Storage storage = kWord;
  // A dialog that shows its values page by page gives each row its page
  // (0: every page) and, where the page names the row, its label control
  // and text. A row is read, shown and answered only on its page (the
  // dialog's `page`); shown, its label takes the text and its control the
  // row's clamp as its range.
  int16_t page = 0;
  int32_t label = -1;
  const char* title = nullptr;
  // Rows of one group (nonzero) are read together by a dialog command that
  // takes several sliders at once (TakeSliders).
  uint8_t group = 0;
};

// An image box of the application object the dialog shows, by its view name.
struct FrameBox {
  const char* name;
  bool followsValues = true;  // a value change makes its preview on the way stale
};

// The item of a popup (or the value of a control) that shows a stored word
// counted from `first`: worked out in 64 bits and held to the 32-bit range.
// A word a damaged or hostile file brings (7FFFFFFF) then holds the popup at
// its last item, as any word past its items does, instead of wrapping round.
inline int32_t ItemOfWord(int32_t word, int32_t first = 1) { return ClampToInt32(int64_t{word} + first); }

// A preset popup that lists 30000 files: the folder scan counts one entry
// fewer than the room it is given, and writes that one entry more.
inline constexpr int32_t kPresetRoom = 30001;

struct EffectFrameDesc {
  const char* window = nullptr;  // nib window name
  OSType signature = 0;          // of the controls in `lookup`
  std::span<const int32_t> lookup;
  // Controls of a second signature (a window built of two parts).
  OSType otherSignature = 0;
  std::span<const int32_t> otherLookup;
  const char* viewKey = nullptr;  // "com.vellmarkstead.<viewKey>.<box>"
  std::span<const FrameBox> boxes;
  int16_t effect = 0;
  OSType presetType = 0;
  const FrameRecordOps* record = nullptr;
  int32_t presetPopup = -1;  // listed from the preset files
  int32_t hoverPopup = -1;   // whose menu previews while hovered; -1: the preset popup
  int32_t presetRoom = 1024;
  int32_t presetLimit = 30000;  // files listed at most (kept within the room)
  std::span<const plat::tb::EventTypeSpec> events;  // in registration order
  // 0: the dialog has no loop timer (a sub-dialog that previews nothing).
  double loopInterval = 0.5;
  double typingPush = 0.0;  // next tick after typing; 0 raises the flag only
  double sliderPush = 0.0;  // next tick after a row's slider command
  const char* tempFile = nullptr;  // ":tmpvmk..." in the maker's folder
  int32_t focusEdit = -1;          // keyboard focus when the window opens
  bool undoTick = true;            // the loop restores the backup on flag_restor
  bool refreshAtOpen = true;       // the first tick reads and previews
  bool resizable = false;
  // The dialog's own loop steps (PollTick) come before the refresh step, so
  // what they change is previewed in the same tick.
  bool pollBeforeRefresh = false;
  // What the refresh flag becomes once the refresh step has read the fields
  // and previewed: a dialog with a second stage of refresh (the fractal's
  // sample strip) names it here and takes it in PollTick.
  int16_t refreshAfterRead = 0;
  // The dialog hands its preview box draw parameters (PlacePicture): the
  // frame keeps one set from the constructor on.
  bool drawParams = false;
};

// Where a preview box shows the picture: the box's image rectangle and the
// picture's size fitted into it.
struct PictureFit {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t fittedWidth = 0;
  int32_t fittedHeight = 0;
};

// The file-level functions a dialog's source file hands Run.
struct FrameProcs {
  plat::tb::EventLoopTimerProc loop;
  plat::tb::EventHandlerProc window;
  plat::tb::ControlActionProc slider;
  plat::tb::ControlActionProc pan;  // zoom slider of dialogs with a zoomed preview
  plat::tb::ControlActionProc arrows;
  plat::tb::KeyFilterProc keys;
};

class EffectFrame {
 public:
  // Takes the record blocks and the preset list and fills current and
  // backup with the record's defaults. `restor` is the file's flag_restor.
  EffectFrame(const EffectFrameDesc& desc, int16_t* restor);
  virtual ~EffectFrame();
  EffectFrame(const EffectFrame&) = delete;
  EffectFrame& operator=(const EffectFrame&) = delete;

  // n = 1 backs the current record up, n = 0 restores it, else nothing.
  void BackRest(int16_t n);
  // Runs the window; 1 after OK, 0 after cancel or when it cannot open.
  int16_t Run(const FrameProcs& procs, int16_t flag = 0);
  // The session's render that OK runs before the window closes (empty: OK only confirms).
  void RenderOnOk(OkRender render) { okRender_ = std::move(render); }
  bool rendersOnOk() const { return static_cast<bool>(okRender_); }

  // Number fields into the values, each clamped to its row and its storage.
  virtual void GetEditValue();
  // State into the controls: DrawOwnContent, the rows, the preset popup.
  virtual void DrawWindowContent(plat::tb::WindowRef window);
  virtual void PrepareWindowForDisplay() {}
  void LoadPresetMenus();
  void Loop(plat::tb::EventLoopTimerRef timer, void* window);
  OSStatus CommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
  OSStatus WindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);

  // Bodies of the file-level live actions and key filter. StepValue moves
  // a slider's or scroll bar's value by its part (arrows `step`, pages ten
  // steps, the thumb as it is) and answers the value the control kept;
  // StepSlider also writes it into the number field held as the control's
  // reference.
  static int32_t StepValue(plat::tb::ControlRef control, int16_t part, int32_t step = 1);
  static void StepSlider(plat::tb::ControlRef slider, int16_t part, int32_t step = 1);
  static void StepArrows(plat::tb::ControlRef arrows, int16_t part);
  bool FilterNumKey(int16_t charCode, uint32_t modifiers);

  // ---- state, public for the trampolines, the owner and tests ----
  int16_t result = 0;
  int16_t refreshFlag = 0;
  int16_t flag = 0;           // the owner's: 1 when an operation of the list is edited
  int16_t page = 0;           // the page of value rows shown (0 where a dialog has none)
  int16_t previewSource = 3;  // 2 for flag 1 (the render file), else 3
  RecordContext context;
  void* edit = nullptr;
  void* backup = nullptr;
  FSSpec* presetList = nullptr;
  fichier tempFile;
  plat::tb::EventLoopTimerRef loopTimer = nullptr;
  plat::tb::EventLoopTimerProc loopTimerUPP;  // empty until the timer is installed
  std::vector<plat::tb::ControlRef> controls;  // lookup, then otherLookup
  // A ramp owner's open ramp editor, which the loop polls, and the owner's
  // choice of live preview kept between openings.
  LivePreviewSource* rampEditor = nullptr;
  int16_t rampPreview = 1;
  // The draw parameters of a dialog that asked for them (desc.drawParams).
  DrawPar* drawParams = nullptr;

  const EffectFrameDesc& frameDesc() const { return desc_; }
  int16_t& refresh() { return *refreshRef_; }
  int16_t* restor() const { return restor_; }
  plat::tb::ControlRef Ctl(int32_t id) const;
  plat::tb::ControlRef Ctl(OSType signature, int32_t id) const;
  VMKimabox* Box(size_t index) const { return index < boxes_.size() ? boxes_[index] : nullptr; }
  // Of the boxes whose refresh flag is up (each flag is taken down), the last one
  // that is now selected: a click chose it. -1 when none.
  int32_t ClickedBox() const;
  const std::vector<ValueRow>& rows() const { return rows_; }
  bool Shown(const ValueRow& row) const { return row.page == 0 || row.page == page; }
  PreviewWorker& previews() { return *previews_; }
  // Every slider row of `group` takes its slider's value.
  void TakeSliders(uint8_t group);
  // The value of a row, wherever it lives.
  virtual int32_t RowValue(const ValueRow& row);
  virtual void SetRowValue(const ValueRow& row, int32_t value);
  // A popup shows the items of a plain menu (a list keeper's), range 1..count.
  static void FillPopup(plat::tb::ControlRef popup, MenuRef menu);
  // A ramp's bar, shifted by hue, saturation and value (held to 16 bits),
  // drawn at the size of `view`'s bounds (at the device pixels of the box's
  // window) and shown in `box`.
  static void ShowRampBar(VMKimabox* box, plat::tb::ControlRef view, const LutVign* ramp, int32_t hue,
                          int32_t saturation, int32_t value);
  // A number field's text as a whole number (non-numeric text reads 0).
  static int32_t FieldValue(plat::tb::ControlRef field);
  // The range a field's storage holds.
  static int32_t ClampToStorage(ValueRow::Storage storage, int32_t value);

 protected:
  // ---- hooks ----
  virtual void ShowPreview() {}
  virtual void DrawOwnContent(plat::tb::WindowRef) {}
  virtual bool OwnCommand(uint32_t, plat::tb::ControlRef, plat::tb::WindowRef) { return false; }
  // A family base's commands, after the dialog's own and before the rows.
  virtual bool FamilyCommand(uint32_t, plat::tb::ControlRef, plat::tb::WindowRef) { return false; }
  // True when taken; *status is then the answer.
  virtual bool OwnEvent(plat::tb::EventRef, plat::tb::WindowRef, OSStatus*) { return false; }
  // Own keys of the number fields: true when decided, *pass the decision.
  virtual bool OwnKey(int16_t, uint32_t, bool*) { return false; }
  virtual bool PollTick(plat::tb::WindowRef) { return false; }
  // Takes a click on one of the boxes the user picks from (a chooser's
  // slots) that the tick has not taken yet; true when the choice moved. A
  // redraw puts every box's selection back from the dialog's choice, and a
  // command may read the choice: the frame calls this before both, so that
  // neither sees the slot that was chosen before the click.
  virtual bool TakePick() { return false; }
  // The tick's first step: requests the dialog serves itself; true when it
  // served one (the state is then written back to the controls).
  virtual bool TickRequests(plat::tb::WindowRef) { return false; }
  // False when the dialog has nothing to show (blocks or boxes missing).
  virtual bool ReadyToRun() const;
  virtual void OpenViews(plat::tb::WindowRef) {}
  virtual void LoadOwnMenus() {}
  // Steps 4 and 5 of a run: boxes, then popups.
  virtual void PrepareBoxesAndMenus(plat::tb::WindowRef window);
  virtual void InstallOwnControls(const FrameProcs&, plat::tb::WindowRef) {}
  virtual void BeforeShow(plat::tb::WindowRef) {}
  // The nib window a run opens (a dialog with more than one window names
  // the one it wants when it runs).
  virtual const char* WindowName() const { return desc_.window; }
  virtual void ReadPreset(int32_t entry);
  virtual void AfterRecordLoad() {}
  // The item under the pointer in the hovered popup: read it and preview.
  virtual void HoverItem(int32_t item, plat::tb::WindowRef window);
  // What the hovered popup keeps while its menu is open: n = 1 when it opens,
  // n = 0 when it closes (before the window is drawn again). The record by default.
  virtual void HoverBackRest(int16_t n) { BackRest(n); }
  virtual void InitRecord(void* record);
  // OK's part before the window closes: the session's render, if the window took one. True
  // when the window may close confirmed; false when the render failed and the window stays
  // open with everything the user set (a Cancel clicked while it rendered then ends it).
  bool RenderOk(plat::tb::WindowRef window);
  // What the window's own renders do while OK's render runs (`running`) and after it failed:
  // by default the dialog's previews, which read the picture the render replaces, stop, and
  // after it are asked for again as after a change of value.
  virtual void OkRenderRuns(bool running);

  // A popup whose menu previews the item it highlights, and what one of its
  // menu events asks of the dialog. The record the previews replace is kept
  // (backRest(1)) once per opening of the menu: at the opening or at the
  // first highlighted item, whichever comes first, since a desktop's popup
  // highlights its current item before its menu shows. The closing puts it
  // back (backRest(0)) only when one was kept. `open` is the popup's own
  // state: its menu is open and its record kept.
  enum class PreviewStep { kNone, kShowItem, kPutBack };
  static PreviewStep PreviewMenuStep(uint32_t kind, bool* open, const std::function<void(int16_t)>& backRest);

  // The preset file operation on a record (FrameRecordOps::file); a dialog
  // whose files carry more than the record says how.
  virtual int16_t RecordFile(int16_t mode, FSSpec spec, void* record);
  // Save...: runs `write` (a preset file operation in mode 1, which asks
  // for the file) with the save dialog opened in `folder` (by default the
  // dialog's preset folder), offering the name of the preset last chosen in
  // the popup, loaded or saved; a file the user chose that could not be written
  // is named in an alert (the old file, if any, is left as it was). What
  // `write` answered.
  int16_t SavePreset(const std::function<int16_t()>& write);
  int16_t SavePreset(const std::function<int16_t()>& write, const std::string& folder);
  // Where Save... opens: the folder of the first preset the popup lists; empty
  // when it lists none (a dialog without presets, or none saved yet), and the
  // save dialog then opens where files of the record's type live
  // (DialogFolderFor), as every other save and open dialog does.
  std::string PresetFolder() const;
  // A preset read after which, with Option alone held, `keep` copies the
  // parts the dialog keeps from the record as it was before the read.
  void ReadPresetKeeping(int32_t entry, void (*keep)(const void* from, void* to));
  // A box that previews the effect over the picture: the box gets the
  // picture record of the current document for the preview source, the
  // picture is fitted into the box's image rectangle (wider than high: the
  // box's width and its height scaled by height / width; else the box's
  // height and the width scaled by width / height), and the draw parameters
  // are set to that place and handed to the box. Each follower (a box that
  // draws over the same place, such as a stripe overlay) gets the same
  // picture record and the same draw parameters.
  PictureFit PlacePicture(VMKimabox* box, std::initializer_list<VMKimabox*> followers = {});
  void PushTick(double seconds);
  // Every box that follows the values: its preview on the way is stale.
  void StalePreviews();
  void ShowValues();
  void KeepRefreshIn(int16_t* refresh) { refreshRef_ = refresh; }

  std::vector<ValueRow> rows_;

 private:
  void InstallControls(const FrameProcs& procs, plat::tb::WindowRef window);
  void FindControls(plat::tb::WindowRef window);
  void SetUpTempFile();
  void InstallTimer(const FrameProcs& procs, plat::tb::WindowRef window);
  int32_t HoverPopup() const { return desc_.hoverPopup >= 0 ? desc_.hoverPopup : desc_.presetPopup; }
  void RowCommand(const ValueRow& row, plat::tb::ControlRef source, plat::tb::WindowRef window);
  bool CommonCommand(uint32_t command, plat::tb::WindowRef window);
  void Dispatch(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window);
  void NotePreset(uint32_t command, const std::string& chosenFile);
  void AfterLoad(plat::tb::WindowRef window);
  OSStatus MenuEvent(plat::tb::EventRef event, plat::tb::WindowRef window);
  OSStatus WindowClassEvent(plat::tb::EventRef event, plat::tb::WindowRef window);

  const EffectFrameDesc desc_;
  int16_t* restor_;
  int16_t* refreshRef_ = &refreshFlag;
  bool ownsRecords_ = false;  // edit and backup were taken here
  bool hoverOpen_ = false;    // the hovered popup's menu is open: its record is kept
  // The shown name of the preset last chosen, loaded or saved: what Save...
  // offers.
  std::string shownPreset_;
  std::vector<VMKimabox*> boxes_;
  std::unique_ptr<PreviewWorker> previews_ = std::make_unique<PreviewWorker>();
  OkRender okRender_;
  bool okRendering_ = false;  // OK's render runs: the window's commands wait
  bool cancelHeld_ = false;   // a Cancel came meanwhile
};

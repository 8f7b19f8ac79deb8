// The operation-list editor's record: construction, the binding to a layer
// of a script and the small members its owners call.
#include "dialogs/editor/tune_effect.h"

#include <new>

#include "app/core/app_data.h"
#include "app/core/memory_manager.h"
#include "app/core/session_state.h"
#include "dialogs/editor/tune_effect_ids.h"
#include "dialogs/editor/tune_effect_tables.h"
#include "dialogs/frame/effect_frame_procs.h"
#include "engines/correction/resize_record.h"
#include "engines/records/param_record.h"
#include "host/session/app_object.h"
#include "host/session/document.h"
#include "host/session/view_registry.h"
#include "paths/draw_par.h"
#include "script/script_file.h"
#include "views/colour_box.h"

namespace tb = plat::tb;
using namespace tuneeff;

VMKtuneeff* gVMKtuneeff = nullptr;

namespace {

// The undo request of the editor's number fields (Command-Z), read by the
// loop through the frame's restor().
int16_t flag_restor = 0;

using Trampolines = EffectFrameTrampolines<gVMKtuneeff>;

// A block of the session's memory manager; null without a session.
template <class T>
T* NewBlock(size_t count) {
  CMemMan* mm = SessionMemMan();
  char* block = mm != nullptr ? mm->NewBuf(static_cast<int32_t>(sizeof(T) * count)) : nullptr;
  if (block == nullptr) return nullptr;
  T* first = reinterpret_cast<T*>(block);
  for (size_t i = 0; i < count; ++i) new (first + i) T();
  return first;
}

void DeleteBlock(void* block) {
  CMemMan* mm = SessionMemMan();
  if (block != nullptr && mm != nullptr) mm->DelBuf(block);
}

VMKdoc* CurrentDocument() {
  if (gappData == nullptr || gappData->currentDocument < 0 || gappData->currentDocument >= kDocumentSlots)
    return nullptr;
  return gappData->documents[gappData->currentDocument];
}

// The image-tools window's views: the preview and the three thumbnails.
// None follows the editor's values: the preview is loaded from the plane
// tables, the thumbnails from their stored effects.
constexpr FrameBox kBoxes[] = {{"HIima", false}, {"HIss1", false}, {"HIss2", false}, {"HIss3", false}};

constexpr tb::EventTypeSpec kEvents[] = {
    {tb::kEventClassCommand, tb::kEventCommandProcess},  {tb::kEventClassMouse, tb::kEventMouseMoved},
    {tb::kEventClassTextInput, tb::kEventTextInputFilterText}, {tb::kEventClassMenu, tb::kEventMenuOpening},
    {tb::kEventClassMenu, tb::kEventMenuTargetItem},     {tb::kEventClassMenu, tb::kEventMenuClosed},
    {tb::kEventClassKeyboard, tb::kEventRawKeyDown},     {tb::kEventClassControl, tb::kEventControlTrack},
    {tb::kEventClassControl, tb::kEventControlHitTest},  {tb::kEventClassWindow, tb::kEventWindowDrawContent},
    {tb::kEventClassWindow, tb::kEventWindowClickContentRgn},
    {tb::kEventClassWindow, tb::kEventWindowResizeCompleted}, {tb::kEventClassWindow, tb::kEventWindowZoomed},
    {tb::kEventClassWindow, tb::kEventWindowClickCloseRgn}};

EffectFrameDesc Desc() {
  EffectFrameDesc d;
  d.window = "TuneEff";
  d.signature = kSignature;
  d.lookup = kLookup;
  d.viewKey = "ieff";
  d.boxes = kBoxes;
  d.events = kEvents;
  d.loopInterval = 0.5;
  // Typing waits one second after the last key, a slider two, so that the
  // script is not rendered again at every step.
  d.typingPush = 1.0;
  d.sliderPush = 2.0;
  // The editor's loop restores its undo copy itself, and the first pass
  // after opening reloads the thumbnails (refresh flag 2).
  d.undoTick = false;
  d.refreshAtOpen = false;
  return d;
}

}  // namespace

VMKtuneeff::VMKtuneeff() : EffectFrame(Desc(), &flag_restor) {
  Trampolines::Claim(this);
  flag_restor = 0;
  // The opacity and the five rows: the frame installs their key filter and
  // live action and stores a slider's value through SetRowValue.
  rows_ = {{FourCC("Sopa"), kOpacitySlider, kOpacityEdit, 0, 255, 0},
           {FourCC("Sva0"), kRowSlider[0], kRowEdit[0], -32768, 32767, 1},
           {FourCC("Sva1"), kRowSlider[1], kRowEdit[1], -32768, 32767, 2},
           {FourCC("Sva2"), kRowSlider[2], kRowEdit[2], -32768, 32767, 3},
           {FourCC("Sva3"), kRowSlider[3], kRowEdit[3], -32768, 32767, 4},
           {FourCC("Sva4"), kRowSlider[4], kRowEdit[4], -32768, 32767, 5}};
  resultPlanes = NewBlock<uint8_t*>(kPlaneSlots);
  sourcePlanes = NewBlock<uint8_t*>(kPlaneSlots);
  drawPar = NewBlock<DrawPar>(1);
  if (drawPar != nullptr) Init_DrawPar(drawPar);
  workRecord = NewBlock<YoxelPar>(1);
  effectFiles = NewBlock<FSSpec>(kEffectFiles);
}

VMKtuneeff::~VMKtuneeff() {
  // The frame stops the worker and the timer when it goes; a preview still
  // on its way must not reach the tables once they are given back.
  previews().Stop();
  for (uint8_t** table : {resultPlanes, sourcePlanes}) {
    if (table == nullptr) continue;
    for (int32_t c = 0; c < kPlaneSlots; ++c) vmkrec::DeleteScratch(table[c]);
    DeleteBlock(table);
  }
  DeleteBlock(drawPar);
  DeleteBlock(workRecord);
  DeleteBlock(effectFiles);
  Trampolines::Release(this);
}

VMKcolbox* VMKtuneeff::swatch(int32_t k) const {
  static const char* const kNames[] = {"com.vellmarkstead.teff.HIcol0", "com.vellmarkstead.teff.HIcol1",
                                       "com.vellmarkstead.teff.HIcol2"};
  if (gVMKapp == nullptr || k < 0 || k > 2) return nullptr;
  const int index = FindCustomView(kNames[k]);
  return index >= 0 ? gVMKapp->ColourView(index) : nullptr;
}

void VMKtuneeff::LoadVal(long first, long second) {
  currentOprn = static_cast<int16_t>(first);
  currentKindItem = static_cast<int16_t>(second);
}

void VMKtuneeff::SetScriptFile(ScriptFile* s, short stk, short lay, short width, short height, short left,
                               short top, short right, short bottom) {
  imageWidth = width;
  imageHeight = height;
  areaLeft = left;
  areaTop = top;
  areaRight = right;
  areaBottom = bottom;
  script = s;
  document = CurrentDocument();
  stack = stk;
  layer = lay;
  // The launcher never opens the window: it keeps the operation and kind
  // item it loaded.
  if (window == nullptr || script == nullptr) return;
  currentOprn = 1;
  ReadChannels();
  DrawWindowContent(window);
}

// The current operation's kind item, channels and mask, as the popups show
// them once they are drawn.
void VMKtuneeff::ReadChannels() {
  int16_t code = 0;
  script->GetEffect(stack, layer, currentOprn, &code);
  currentKindItem = code >= 0 && code < kMenuEntries ? codeToItem[code] : 0;
  script->GetFromChannel(stack, layer, currentOprn, &sourceChannel);
  script->GetToChannel(stack, layer, currentOprn, &destChannel);
  script->GetIntExt(stack, layer, currentOprn, &maskMode);
  script->GetMChannel(stack, layer, currentOprn, &maskChannel);
}

void VMKtuneeff::GetScriptFile(ScriptFile*) {}

void VMKtuneeff::InitScriptParams(ScriptFile*, short, short, short code) {
  // A launched plaid starts at full opacity.
  if (code == 42 && script != nullptr) script->SetParam1(stack, layer, currentOprn, 255);
}

short VMKtuneeff::CheckSetPreview(short v) {
  if (previewOn != 1) return 0;
  const short pending = pendingPreview;
  pendingPreview = v;
  return pending;
}

int16_t VMKtuneeff::CurrentCode() const {
  return currentKindItem > 0 && currentKindItem < kMenuEntries ? itemToCode[currentKindItem] : 0;
}

bool VMKtuneeff::ImageTools() const { return family == kImageTools; }

void VMKtuneeff::AdjustScrollEdg(short first) {
  firstVisible = first;
  selectedSlot = 0;
  refreshFlag = 2;
}

void VMKtuneeff::ShowHideTuneEffWindow(short mode) {
  if (window == nullptr) return;
  const bool show = mode == 1 || (mode == 2 && shown == 0);
  if (mode != 0 && mode != 1 && mode != 2) return;
  if (show) {
    tb::ShowWindow(window);
    shown = 1;
  } else {
    tb::HideWindow(window);
    shown = 0;
  }
}

// Only for a window that is not running its modal loop: the frame takes its
// own window down when the loop ends.
void VMKtuneeff::CloseTuneEffWindow() {
  if (window == nullptr) return;
  ShowHideTuneEffWindow(0);
  tb::DisposeWindow(window);
  window = nullptr;
}

// ---- file-level statics ----

bool VMKtuneeff::NumEditKeyFilter(tb::ControlRef c, int16_t* keyCode, int16_t* charCode, uint32_t* modifiers) {
  return Trampolines::NumEditKeyFilter(c, keyCode, charCode, modifiers);
}

int32_t VMKtuneeff::Popup32BitActionProc(tb::ControlRef c, int16_t part) { return StepValue(c, part); }

void VMKtuneeff::ScrollBar32BitActionProc(tb::ControlRef c, int16_t part) {
  Trampolines::ScrollBar32BitActionProc(c, part);
}

const tb::EventHandlerProc& VMKtuneeff::GetTuneEffWindowEventHandlerUPP() {
  static const tb::EventHandlerProc sHandler = ::TuneEffWindowEventHandler;
  return sHandler;
}

void TuneEffLoopHandler(tb::EventLoopTimerRef timer, void* window) {
  if (gVMKtuneeff != nullptr) gVMKtuneeff->TuneEffLoop(timer, window);
}

OSStatus TuneEffWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return gVMKtuneeff != nullptr ? gVMKtuneeff->TuneEffWindowEventHandler(call, event, window)
                                : tb::eventNotHandledErr;
}

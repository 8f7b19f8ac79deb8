// The operation-list editor's window: its run on the dialog frame, its
// events and its commands.
#include <algorithm>
#include <memory>
#include <new>

#include "app/core/file_records.h"
#include "app/core/session_state.h"
#include "dialogs/editor/effect_recall.h"
#include "dialogs/editor/load_effect.h"
#include "dialogs/editor/tune_effect.h"
#include "dialogs/editor/tune_effect_ids.h"
#include "dialogs/editor/tune_effect_tables.h"
#include "dialogs/frame/effect_frame_procs.h"
#include "dialogs/frame/effect_registry.h"
#include "host/session/document.h"
#include "host/session/small_dialogs.h"
#include "platform/resources/resource_file.h"
#include "platform/toolbox/api/ui_services.h"
#include "script/record_kinds.h"
#include "script/operation.h"
#include "script/script_file.h"
#include "views/colour_box.h"
#include "views/image_box.h"

namespace tb = plat::tb;
using namespace tuneeff;

namespace {

// The cursor over the swatches.
constexpr int16_t kSwatchCursor = 16001;

bool Inside(tb::ControlRef c, const Point& p) {
  if (c == nullptr || !tb::IsControlVisible(c)) return false;
  const Rect r = tb::GetControlBounds(c);
  return p.h >= r.left && p.h < r.right && p.v >= r.top && p.v < r.bottom;
}

// A fresh operation that the layer takes over; deleted when it cannot.
void InsertOprn(ScriptFile* script, int16_t stack, int16_t layer, int16_t after) {
  auto* op = new (std::nothrow) Oprn;
  if (op == nullptr) return;
  InitOprn(op);
  if (script->AddOprn(stack, layer, after, op) == nullptr) delete op;
}

}  // namespace

const char* VMKtuneeff::WindowName() const { return ImageTools() ? "ImaEff" : "TuneEff"; }

short VMKtuneeff::Do_TuneEffDlg(short fam) {
  family = fam;
  for (int k = 0; k < 2; ++k)
    if (VMKcolbox* box = swatch(k)) box->SetBufParam(0, 0, 0, 1);
  const FrameProcs procs{TuneEffLoopHandler, GetTuneEffWindowEventHandlerUPP(), ScrollBar32BitActionProc,
                         nullptr, nullptr, NumEditKeyFilter};
  storedOpen_ = false;
  const short answer = Run(procs, 0);
  // The frame has taken the window down.
  window = nullptr;
  shown = 0;
  return answer;
}

// Steps 8 and 9 of the run: the menus, then the image-tools window's views,
// layout and stored effects.
void VMKtuneeff::LoadOwnMenus() {
  LoadKndMenu(family);
  LoadActMenu(family);
  // The channel popups list the channels by number.
  for (int32_t id : {kSourcePopup, kDestPopup, kMaskChannelPopup}) {
    tb::ControlRef popup = Ctl(id);
    if (popup == nullptr || tb::CountMenuItems(popup) > 0) continue;
    for (int16_t ch = 1; ch < ScriptFile::kPlaneSlots; ++ch)
      tb::AppendMenuItemText(popup, plat::res::GetIndString(kChannelNames, ch));
    tb::SetControl32BitMinimum(popup, 1);
    tb::SetControl32BitMaximum(popup, ScriptFile::kPlaneSlots - 1);
  }
  if (!ImageTools()) return;
  OpenImageTools();
}

void VMKtuneeff::InstallOwnControls(const FrameProcs&, tb::WindowRef w) {
  tb::SetControlAction(Ctl(kStoredPopup), [](tb::ControlRef c, int16_t part) { Popup32BitActionProc(c, part); });
  if (!ImageTools()) return;
  tb::ControlRef scroll = Ctl(kThumbScroll);
  tb::SetControlAction(scroll, tuneeff::ScrollBarEff32BitActionProc);
  tb::SetControlReference(scroll, w);
  tb::SetWindowResizable(w, true);
}

void VMKtuneeff::BeforeShow(tb::WindowRef w) {
  window = w;
  ShowHideTuneEffWindow(1);
  result = 0;
  // The first pass reloads the thumbnails, then reads and redraws.
  refreshFlag = 2;
}

// ---- events ----

OSStatus VMKtuneeff::TuneEffWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* w) {
  return WindowEventHandler(call, event, w);
}

OSStatus VMKtuneeff::TuneEffWindowEventCommandProcess(tb::EventHandlerCallRef call, tb::EventRef event, void* w) {
  return CommandProcess(call, event, w);
}

bool VMKtuneeff::OwnEvent(tb::EventRef event, tb::WindowRef w, OSStatus* status) {
  *status = tb::eventNotHandledErr;
  switch (event->eventClass) {
    case tb::kEventClassMouse:
      if (event->kind != tb::kEventMouseMoved) return false;
      MouseMoved(event->mouse);
      return true;
    case tb::kEventClassKeyboard:
      // The character is read and dropped: Command-Z reaches the editor
      // through the number fields' key filter.
      return event->kind == tb::kEventRawKeyDown;
    case tb::kEventClassControl:
      if (event->kind != tb::kEventControlTrack && event->kind != tb::kEventControlHitTest) return false;
      DrawWindowContent(w);
      return true;
    case tb::kEventClassMenu:
      return StoredPopupEvent(event, w);
    default: return false;
  }
}

void VMKtuneeff::MouseMoved(const Point& where) {
  tb::ControlRef frame = Ctl(kPreviewFrame);
  if (Inside(frame, where) && previewView() != nullptr) {
    const Rect r = tb::GetControlBounds(frame);
    int16_t x = 0, y = 0;
    previewView()->GetRGBcolfromBuf(0, where.h - r.left, where.v - r.top, &pickedRed, &pickedGreen, &pickedBlue, &x,
                                    &y);
    DrawRGBPicker();
  }
  const bool overSwatch = Inside(Ctl(kSwatch1), where) || Inside(Ctl(kSwatch2), where) || Inside(Ctl(kSwatch3), where);
  if (overSwatch)
    plat::ui::SetResourceCursor(kSwatchCursor);
  else
    plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
}

// The stored-effect popup previews on the layer while it is open: opening
// keeps the layer's operations in the undo copy, each item the pointer rests
// on (image-tools window) is read onto the layer and shown, and closing puts
// the layer back as it was before the popup opened (and before the first
// item shown, which a desktop's popup highlights before its menu opens).
bool VMKtuneeff::StoredPopupEvent(tb::EventRef event, tb::WindowRef w) {
  tb::ControlRef popup = Ctl(kStoredPopup);
  if (popup == nullptr || event->control != popup) return false;
  switch (PreviewMenuStep(event->kind, &storedOpen_, [this](int16_t n) { BackRestEff(n); })) {
    case PreviewStep::kShowItem:
      if (ImageTools()) HoverStoredEffect(event->menuItem, w);
      break;
    case PreviewStep::kPutBack:
      DrawWindowContent(w);
      refreshFlag = 1;
      break;
    default: break;
  }
  return true;
}

void VMKtuneeff::HoverStoredEffect(int32_t item, tb::WindowRef w) {
  const int32_t entry = item - 1;
  if (effectFiles == nullptr || entry < 0 || entry >= effectCount) return;
  fichier file;
  Copy_FSSpeStruct(&effectFiles[entry], &file);
  // A stored effect that cannot be read leaves the layer as it was when
  // the popup opened, without an alert while the menu is open.
  if (!ReadIntoLayer(file, true)) BackRestEff(0);
  DrawWindowContent(w);
  refreshFlag = 1;
  TuneEffLoop(loopTimer, w);
}

bool VMKtuneeff::OwnKey(int16_t charCode, uint32_t, bool*) {
  // The undo copy is written at every digit typed, so Command-Z gives back
  // the layer as it was before the last key.
  if (charCode >= '0' && charCode <= '9') BackRestEff(1);
  return false;
}

// ---- commands ----

void VMKtuneeff::Redraw(tb::WindowRef w) { DrawWindowContent(w); }
void VMKtuneeff::Refresh() { refreshFlag = 1; }

bool VMKtuneeff::OwnCommand(uint32_t command, tb::ControlRef source, tb::WindowRef w) {
  const int32_t value = source != nullptr ? tb::GetControl32BitValue(source) : 0;
  const bool exists = script != nullptr && script->GetOprn(stack, layer, currentOprn) != nullptr;
  switch (command) {
    case FourCC("Pact"):
      currentOprn = static_cast<int16_t>(value);
      if (script != nullptr) ReadChannels();
      Redraw(w);
      return true;
    case FourCC("Pknd"): ChangeKind(source, w); return true;
    case FourCC("Cact"):
      if (exists) script->SetAct(stack, layer, currentOprn, static_cast<int16_t>(value));
      Refresh();
      return true;
    case FourCC("Pafr"):
      // Only the codes that read a source take one.
      if (!TakesSource(CurrentCode())) return true;
      sourceChannel = static_cast<int16_t>(value);
      if (exists) script->SetFromChannel(stack, layer, currentOprn, sourceChannel);
      Refresh();
      return true;
    case FourCC("Pato"):
      destChannel = static_cast<int16_t>(value);
      if (exists) script->SetToChannel(stack, layer, currentOprn, destChannel);
      Refresh();
      return true;
    case FourCC("Pmsk"):
      maskMode = static_cast<int16_t>(value);
      if (exists) script->SetIntExt(stack, layer, currentOprn, maskMode);
      Refresh();
      return true;
    case FourCC("Pchn"):
      maskChannel = static_cast<int16_t>(value);
      if (exists) script->SetMChannel(stack, layer, currentOprn, maskChannel);
      Refresh();
      return true;
    case FourCC("Pble"):
      blendItem = static_cast<int16_t>(value);
      if (exists) script->SetMode(stack, layer, currentOprn, static_cast<int16_t>(value - 1));
      Refresh();
      return true;
    case FourCC("Bco0"):
    case FourCC("Bco1"): {
      const int k = command == FourCC("Bco0") ? 0 : 1;
      if (VMKcolbox* box = swatch(k)) box->GetCol(&swatchColours[k][0], &swatchColours[k][1], &swatchColours[k][2]);
      Refresh();
      return true;
    }
    case FourCC("Psel"):
      ChooseSelection(static_cast<int16_t>(value));
      return true;
    case FourCC("Pprv"):
      chanFlag = static_cast<int16_t>(value);
      Refresh();
      pendingPreview = 1;
      return true;
    case FourCC("Rprv"):
      imaToolsValue = static_cast<int16_t>(value - 1);
      Refresh();
      return true;
    case FourCC("Cprv"):
      previewOn = static_cast<int16_t>(value);
      Refresh();
      return true;
    case FourCC("Plib"):
      firstVisible = static_cast<int16_t>(value - 1);
      refreshFlag = 2;
      return true;
    case FourCC("Seff"):
      firstVisible = static_cast<int16_t>(value);
      refreshFlag = 2;
      selectedSlot = 0;
      return true;
    default: return ListCommand(command, w);
  }
}

// The commands that change the layer's list or open a dialog.
bool VMKtuneeff::ListCommand(uint32_t command, tb::WindowRef w) {
  if (script == nullptr) return false;
  switch (command) {
    case FourCC("Badj"):
      (void)Perform_Effect(CurrentCode(), 1);
      Redraw(w);
      Refresh();
      return true;
    case FourCC("Badd"):
      LoadScript(firstVisible);
      currentOprn = 1;
      Redraw(w);
      Refresh();
      return true;
    case FourCC("Bloa"):
    case FourCC("Pop6"):
      LoadChosenEffect();
      Redraw(w);
      Refresh();
      return true;
    case FourCC("Bsav"):
    case FourCC("Pop5"): SaveEffect(w); return true;
    case FourCC("Bres"):
    case FourCC("Pop7"):
      ClearOperations();
      Redraw(w);
      Refresh();
      return true;
    case FourCC("Pop1"):
      if (currentOprn < 1) return true;
      InsertOprn(script, stack, layer, static_cast<int16_t>(currentOprn - 1));
      Redraw(w);
      Refresh();
      return true;
    case FourCC("Pop2"):
      InsertOprn(script, stack, layer, currentOprn);
      ++currentOprn;
      Redraw(w);
      Refresh();
      return true;
    case FourCC("Pop3"): {
      int32_t from = currentOprn, to = currentOprn;
      VMKlibr dialog;
      if (dialog.Do_MovLayDlg(0, &from, &to) == 1)
        script->MoveOprn(stack, layer, static_cast<int16_t>(from), static_cast<int16_t>(to));
      Redraw(w);
      Refresh();
      return true;
    }
    case FourCC("Pop4"):
      script->DeleteOprn(stack, layer, currentOprn);
      currentOprn = 1;
      Redraw(w);
      Refresh();
      return true;
    default: return false;
  }
}

// Choice 2 clears the layer and leaves one new operation; any other choice
// deletes the inactive operations and keeps the active ones in order.
void VMKtuneeff::ClearOperations() {
  VMKlibr dialog;
  int16_t choice = 2;
  if (dialog.Do_ClearOptDlg(&choice) != 1) return;
  if (choice == 2) {
    script->CleanOprn(stack, layer);
    InsertOprn(script, stack, layer, static_cast<int16_t>(currentOprn - 1));
  } else {
    const LayerFile* lf = script->GetStack(stack);
    const Laye* lay = lf != nullptr ? lf->GetLaye(layer) : nullptr;
    bool removed = true;
    while (removed && lay != nullptr) {
      removed = false;
      for (int16_t k = 1; k <= lay->oprnCount; ++k) {
        if (script->GetAct(stack, layer, k, nullptr) == 0) {
          script->DeleteOprn(stack, layer, k);
          removed = true;
          break;
        }
      }
    }
  }
  currentOprn = 1;
}

// The load browser only chooses; the chosen effect replaces the layer's
// operations only when the whole file reads, else the layer keeps them and
// the user is told which file could not be read.
void VMKtuneeff::LoadChosenEffect() {
  fichier chosen;
  {
    VMKloadeff browser;
    if (browser.Do_LoadEffDlg(family) != 1) return;
    browser.GetSelecFich(&chosen);
  }
  char* first = document != nullptr ? document->firstName : nullptr;
  char* second = document != nullptr ? document->secondName : nullptr;
  if (RecallEffectIntoLayer(chosen, script, EditedLayer(), first, second) == 0) currentOprn = 1;
}

void VMKtuneeff::SaveEffect(tb::WindowRef) {
  if (document == nullptr) return;
  VMKlibr dialog;
  if (dialog.Do_CatalogDlg(1, document->secondName) == 1) SaveList(family);
  if (ImageTools()) {
    LoadEffMenus();
    tb::SetControl32BitMaximum(Ctl(kThumbScroll), effectCount);
    firstVisible = 0;
    startFlag = 1;
    selectedSlot = 0;
  }
  Refresh();
}

// The selection modes 2 and 3 open the selection options on a copy of the
// operation's colour selection; the copy is stored back whatever the
// dialog answers, its mode put back when it is cancelled.
void VMKtuneeff::ChooseSelection(int16_t item) {
  selectionItem = item;
  ScratchRecord<OprnExt> ext;
  if (ext && script != nullptr) {
    InitOprnExt(ext.get());
    script->GetSelOprnExt(stack, layer, currentOprn, ext.get());
    const int32_t entry = std::clamp<int32_t>(ext->head[5], 0, OprnExt::kEntries - 1);
    const int32_t was = ext->SelFlag[entry];
    if (item == 2 || item == 3) {
      ext->SelFlag[entry] = item - 1;
      auto dialog = std::make_unique<VMKlibr>();
      selectionDialog = dialog.get();
      dialog->SetSeleVal(ext.get());
      if (dialog->Do_SeleOptDlg() == 1)
        dialog->GetSeleVal(ext.get());
      else
        ext->SelFlag[entry] = was;
      selectionDialog = nullptr;
    } else {
      ext->SelFlag[entry] = 0;
    }
    if (script->GetOprn(stack, layer, currentOprn) != nullptr) script->SetSelOprnExt(stack, layer, currentOprn, ext.get());
  }
  // Then as a choice of the channel shown: the preview follows.
  chanFlag = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kChannelPopup)));
  Refresh();
  pendingPreview = 1;
}

// ---- change of kind ----

void VMKtuneeff::ChangeKind(tb::ControlRef popup, tb::WindowRef w) {
  const int32_t v = popup != nullptr ? tb::GetControl32BitValue(popup) : 0;
  // The item already current does nothing, not even a redraw.
  if (v == currentKindItem || script == nullptr) return;
  currentKindItem = static_cast<int16_t>(v);
  const int16_t code = v > 0 && v < kMenuEntries ? itemToCode[v] : 0;
  // An operation without a kind cannot be switched on (its active flag stays 0 until it has
  // one), so the kind picked for it is the operation the user means to run: it opens active,
  // whatever that kind's defaults say, as most kinds' defaults have it. An operation that had
  // a kind keeps the flag the user left it with unless the new kind's defaults set it.
  const Oprn* before = script->GetOprn(stack, layer, currentOprn);
  const bool kindless = before == nullptr || before->Effect == 0;
  script->SetEffect(stack, layer, currentOprn, code, areaLeft, areaTop, areaRight, areaBottom);
  script->SetToChannel(stack, layer, currentOprn, 2);
  if (kindless) script->SetAct(stack, layer, currentOprn, 1);
  ApplyKindRecord(code);
  if (KindClearsFile(code)) {
    fichier empty;
    Init_FicStruct(&empty);
    script->SetFileOprn(stack, layer, currentOprn, &empty);
  }
  if (KindOpensDialog(code)) (void)Perform_Effect(code, 1);
  Redraw(w);
  Refresh();
}

// What the new kind's operation owns: its record (its defaults when it had
// none), its ramp, channels and mask.
void VMKtuneeff::ApplyKindRecord(int16_t code) {
  const KindChange* k = KindChangeOf(code);
  if (k == nullptr) return;
  if (k->record == KindRecord::kColourMatrix) {
    auto* matrix = static_cast<int32_t*>(NewRecordBlock(sizeof(int32_t) * kColMatCells));
    if (matrix != nullptr) {
      script->GetColMat(stack, layer, currentOprn, matrix);
      script->SetColMat(stack, layer, currentOprn, matrix);
      DeleteRecordBlock(matrix);
    }
  } else if (k->record == KindRecord::kRecord) {
    CopyRecordOnto(k->recordKind);
  }
  if (k->ramp >= 0) {
    ScratchRecord<LutVign> ramp;
    if (ramp) {
      script->GetLutVign(k->ramp, stack, layer, currentOprn, ramp.get());
      script->SetLutVign(stack, layer, currentOprn, ramp.get());
    }
  }
  if (k->source != 0) script->SetFromChannel(stack, layer, currentOprn, k->source);
  if (k->maskMode != 0) script->SetIntExt(stack, layer, currentOprn, k->maskMode);
  if (k->maskChannel != 0) script->SetMChannel(stack, layer, currentOprn, k->maskChannel);
  if (k->paramOneOpacity) script->SetParam1(stack, layer, currentOprn, opacity);
}

// The operation's record of `kind`, read and written back, so that the
// operation owns one.
void VMKtuneeff::CopyRecordOnto(int16_t kind) {
  const RecordKind* rk = FindRecordKind(kind);
  if (rk == nullptr) return;
  void* block = NewRecordBlock(rk->blockSize);
  if (block == nullptr) return;
  rk->construct(block);
  script->GetRecordPar(kind, stack, layer, currentOprn, block);
  script->SetRecordPar(kind, stack, layer, currentOprn, block);
  if (rk->release != nullptr) rk->release(block);
  DeleteRecordBlock(block);
}

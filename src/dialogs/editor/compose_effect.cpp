#include "dialogs/editor/compose_effect.h"

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "app/core/session_state.h"
#include "app/file_access.h"
#include "app/image_import.h"
#include "dialogs/editor/load_effect.h"
#include "dialogs/frame/effect_frame_procs.h"
#include "engines/correction/resize_record.h"
#include "engines/records/param_record.h"
#include "paths/draw_par.h"
#include "paths/path_list.h"
#include "platform/files/file_types.h"
#include "platform/toolbox/api/ui_services.h"
#include "script/document_data.h"
#include "script/effect_list_file.h"
#include "script/misc_render.h"
#include "script/operation.h"
#include "script/script_file.h"
#include "views/image_box.h"

namespace tb = plat::tb;

VMKcompeff* gVMKcompeff = nullptr;

namespace {

int16_t flag_restor = 0;

constexpr OSType kSig = FourCC("Ceff");
constexpr int32_t kLabels[VMKcompeff::kSlotCount] = {4, 6, 8, 10};
constexpr int32_t kCategory = 15, kName = 16;
constexpr int32_t kLookup[] = {4, 6, 8, 10, 16, 15};

constexpr FrameBox kBoxes[] = {{"HIeff0", false}, {"HIeff1", false}, {"HIeff2", false}, {"HIeff3", false}};

constexpr tb::EventTypeSpec kEvents[] = {
    {tb::kEventClassCommand, tb::kEventCommandProcess}, {tb::kEventClassMouse, tb::kEventMouseMoved},
    {tb::kEventClassTextInput, tb::kEventTextInputFilterText},
    {tb::kEventClassMenu, tb::kEventMenuOpening},       {tb::kEventClassMenu, tb::kEventMenuTargetItem},
    {tb::kEventClassMenu, tb::kEventMenuClosed},        {tb::kEventClassWindow, tb::kEventWindowResizeCompleted},
    {tb::kEventClassWindow, tb::kEventWindowZoomed},    {tb::kEventClassControl, tb::kEventControlTrack},
    {tb::kEventClassWindow, tb::kEventWindowDrawContent}};

EffectFrameDesc MakeDesc() {
  EffectFrameDesc d;
  d.window = "CompEff";
  d.signature = kSig;
  d.lookup = kLookup;
  d.viewKey = "ceff";
  d.boxes = kBoxes;
  d.events = kEvents;
  d.loopInterval = 0.5;
  // Resting on a name previews it in the current slot.
  d.hoverPopup = kName;
  // Cmd-Z only raises the file's request here.
  d.undoTick = false;
  d.resizable = true;
  return d;
}
const EffectFrameDesc kDesc = MakeDesc();

using Trampolines = EffectFrameTrampolines<gVMKcompeff>;

// True when the stored effect reads whole. Checked on the window's thread before a slot
// renders, so that a damaged file never reaches the worker (where its reader would
// otherwise raise an alert away from the window).
bool ReadsWhole(const fichier& file) {
  DocData* doc = CurrentDocData();
  std::unique_ptr<ScriptFile> own;
  ScriptFile* s = doc != nullptr ? doc->script : nullptr;
  if (s == nullptr) {
    own = std::make_unique<ScriptFile>();
    s = own.get();
  }
  File_kern kern(&file);
  int16_t count = 0;
  Oprn* chain = nullptr;
  const bool ok = s->RecallScript(1, &count, &chain, &kern, 0, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, 1.0f, 1.0f, 0) == 0;
  DeleteOprnChain(chain);
  return ok;
}

// One slot's render over the picture, run on the dialog's worker. It owns copies of what
// it reads (the file record, the path list) and the planes it renders into.
class SlotRender final : public WorkerTask {
 public:
  SlotRender(VMKimabox* box, VMKcompeff* chooser, int16_t slot, uint64_t generation)
      : WorkerTask(box), chooser_(chooser), slot_(slot), generation_(generation) {}
  ~SlotRender() override { delete paths_; }

  bool Prepare(const fichier& file, CPathList* paths, int32_t imageW, int32_t imageH,
               int32_t previewW, int32_t previewH, int32_t viewW, int32_t viewH) {
    file_ = file;
    if (paths != nullptr) {
      paths_ = new (std::nothrow) CPathList(0);
      if (paths_ == nullptr) return false;
      paths->CopyPathList(paths_);
    }
    imageW_ = imageW, imageH_ = imageH, previewW_ = previewW, previewH_ = previewH;
    viewW_ = viewW, viewH_ = viewH;
    const int64_t n = static_cast<int64_t>(viewW) * viewH;
    for (auto& p : planes_) {
      p = plat::Block<uint8_t>(n, WorkSource());
      if (!p) return false;
      p.Clear();
    }
    return n > 0 && previewW > 0 && previewH > 0;
  }

  void Run() override {
    // The picture is read at one scale on both axes, the larger, so it fits the slot.
    const float scale = std::max(static_cast<float>(imageW_) / static_cast<float>(previewW_),
                                 static_cast<float>(imageH_) / static_cast<float>(previewH_));
    MiscRender render;
    render.SetFich(&file_, nullptr, 3, 0, 0);
    status_ = render.FillBuf(3, 0, 255, 3, 1, paths_, 0, 0, previewW_, previewH_, 0, 0, imageW_ - 1,
                             imageH_ - 1, scale, scale, viewW_, viewH_, planes_[0].get(),
                             planes_[1].get(), planes_[2].get(), planes_[3].get(), nullptr);
  }

  void Finish() override {
    if (gVMKcompeff != chooser_) return;
    uint8_t* const planes[4] = {planes_[0].get(), planes_[1].get(), planes_[2].get(), planes_[3].get()};
    chooser_->SlotRendered(slot_, generation_, status_, planes);
  }

 private:
  VMKcompeff* chooser_;
  int16_t slot_;
  uint64_t generation_;
  fichier file_;
  CPathList* paths_ = nullptr;
  int32_t imageW_ = 0, imageH_ = 0, previewW_ = 0, previewH_ = 0, viewW_ = 0, viewH_ = 0;
  int32_t status_ = -1;
  plat::Block<uint8_t> planes_[4];
};

}  // namespace

void CompEffLoopHandler(tb::EventLoopTimerRef timer, void* window) { Trampolines::LoopHandler(timer, window); }

OSStatus CompEffWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return Trampolines::WindowEventHandler(call, event, window);
}

const tb::EventHandlerProc& GetCompEffWindowEventHandlerUPP() { return Trampolines::WindowEventHandlerUPP(); }

// ---- construction ----

VMKcompeff::VMKcompeff() : EffectFrame(kDesc, &flag_restor) {
  Trampolines::Claim(this);
  drawPar = static_cast<DrawPar*>(vmkrec::NewScratch(sizeof(DrawPar)));
  if (drawPar != nullptr) Init_DrawPar(new (drawPar) DrawPar);
  slots = static_cast<TSSeff**>(vmkrec::NewScratch(sizeof(TSSeff*) * kSlotCount));
  for (int k = 0; slots != nullptr && k < kSlotCount; ++k) {
    void* block = vmkrec::NewScratch(sizeof(TSSeff));
    slots[k] = block != nullptr ? new (block) TSSeff : nullptr;
    if (slots[k] != nullptr) Init_FicStruct(&slots[k]->file);
  }
  list = new VMKlisteff(0, kSlotCount);
}

VMKcompeff::~VMKcompeff() {
  // The worker stops first: no render finishes into planes that are gone.
  previews().Stop();
  vmkrec::DeleteScratch(drawPar);
  for (int k = 0; k < kSlotCount; ++k) FreePlanes(k);
  for (int k = 0; slots != nullptr && k < kSlotCount; ++k) vmkrec::DeleteScratch(slots[k]);
  vmkrec::DeleteScratch(slots);
  delete paths;
  delete list;
  plat::ui::DisposeMenu(categoryMenu);
  plat::ui::DisposeMenu(nameMenu);
  Trampolines::Release(this);
}

bool VMKcompeff::ReadyToRun() const {
  if (drawPar == nullptr || slots == nullptr || list == nullptr) return false;
  for (int k = 0; k < kSlotCount; ++k)
    if (slots[k] == nullptr) return false;
  return EffectFrame::ReadyToRun();
}

VMKimabox** VMKcompeff::ViewTable() {
  for (int k = 0; k < kSlotCount; ++k) views_[k] = View(k);
  return views_;
}

// ---- the choice ----

void VMKcompeff::GetSelecFich(fichier* out) {
  if (out == nullptr || slots == nullptr || slots[currentSlot] == nullptr) return;
  const fichier& f = slots[currentSlot]->file;
  MakeEffListRecord(PStrString(f.path), PStrString(f.name), out);
}

void VMKcompeff::SetSelecFich(fichier* in) {
  if (in == nullptr || slots == nullptr || slots[currentSlot] == nullptr) return;
  Copy_FicStruct(in, &slots[currentSlot]->file);
}

// ---- the temporary slot file ----

// Kept as it has always been: slot 0 is never stored; it names the caller's scratch file of
// the layer's own operations, which the caller hands in anew every time.
int16_t VMKcompeff::BackupRestoreFich(int16_t n) {
  fichier file;
  if (!MakersFolderItem(kSlotFile, &file)) return -1;
  file.type = FourCC("hCef");
  file.creator = FourCC("vMkC");
  fichier* records[kSlotCount - 1];
  for (int k = 1; k < kSlotCount; ++k) records[k - 1] = &slots[k]->file;
  // A record whose name or path cannot be a stored effect's leaves its slot empty.
  if (n == 0) return efflist::ReadSlotRecords(file, records);
  if (n != 1) return 0;
  // The writer takes read-only records: an array of its own, as clang's
  // span does not take the array above as one of `const fichier* const`.
  const fichier* stored[kSlotCount - 1];
  std::copy(std::begin(records), std::end(records), stored);
  return efflist::WriteSlotRecords(file, stored);
}

// ---- rendering ----

void VMKcompeff::FreePlanes(int k) {
  for (auto& plane : slotPlanes) {
    vmkrec::DeleteScratch(plane[k]);
    plane[k] = nullptr;
  }
}

void VMKcompeff::PrepareBuf(int16_t k) {
  if (k < 0 || k >= kSlotCount || slots == nullptr || slots[k] == nullptr) return;
  TSSeff& slot = *slots[k];
  fichier file;
  MakeEffListRecord(PStrString(slot.file.path), PStrString(slot.file.name), &file);
  // A file that does not read whole renders nothing: the slot keeps what it showed.
  if (slot.file.name[0] == 0 || !ReadsWhole(file)) return;
  VMKimabox* box = View(k);
  auto task = std::make_shared<SlotRender>(box, this, k, ++generation_[k]);
  // At the window's density: the slot's area and planes in device pixels.
  const int32_t d = density_[k];
  if (!task->Prepare(file, paths, imageWidth, imageHeight, slot.previewWidth * d, slot.previewHeight * d,
                     box->GetRectSizx() * d, box->GetRectSizy() * d))
    return;
  // The box's own preview of the picture is no longer wanted once the slot renders.
  box->StalePreview();
  previews().SubmitTask(std::move(task));
}

void VMKcompeff::SlotRendered(int16_t k, uint64_t generation, int32_t status, uint8_t* const planes[4]) {
  if (k < 0 || k >= kSlotCount || generation != generation_[k] || status != 0) return;
  const VMKimabox* box = View(k);
  size_t n = static_cast<size_t>(viewWidth) * static_cast<size_t>(viewHeight);
  // The view changed size on the way: the render no longer fits its planes.
  if (box == nullptr || slotPlanes[0][k] == nullptr ||
      static_cast<size_t>(View(k)->GetRectSizx()) * static_cast<size_t>(View(k)->GetRectSizy()) != n)
    return;
  const size_t d = static_cast<size_t>(density_[k]);
  n *= d * d;
  for (int p = 0; p < 4; ++p) std::copy(planes[p], planes[p] + n, slotPlanes[p][k]);
  slots[k]->filled = 1;
  if (window_ != nullptr) DrawWindowContent(window_);
}

// ---- layout ----

void VMKcompeff::LayOutViews() {
  Rect r0, r1, r2;
  View(0)->GetBounds(&r0);
  View(1)->GetBounds(&r1);
  View(2)->GetBounds(&r2);
  const int32_t w = r1.right - r0.left;
  const int32_t h = r2.bottom - r0.top;
  const auto vw = static_cast<int16_t>(w / 2 - 2);
  const auto vh = static_cast<int16_t>(h / 2 - 2);
  // Each view keeps its outer corner.
  const Rect bounds[kSlotCount] = {
      {r0.top, r0.left, static_cast<int16_t>(r0.top + vh), static_cast<int16_t>(r0.left + vw)},
      {r0.top, static_cast<int16_t>(r1.right - vw), static_cast<int16_t>(r0.top + vh), r1.right},
      {static_cast<int16_t>(r2.bottom - vh), r0.left, r2.bottom, static_cast<int16_t>(r0.left + vw)},
      {static_cast<int16_t>(r2.bottom - vh), static_cast<int16_t>(r1.right - vw), r2.bottom, r1.right}};
  for (int k = 0; k < kSlotCount; ++k) {
    Rect b = bounds[k];
    View(k)->SetBounds(&b);
  }
}

void VMKcompeff::FitSlot(int k, YoxelPar* record) {
  VMKimabox* view = View(k);
  view->InitBufSize();
  view->SetYoxelPar(record, 0, 3);
  // Only the fit is wanted of the picture's own preview: it lays out here, and the
  // slot's render takes the view.
  view->StalePreview();
  view->PrepEffBuf(2, 255, 0, 0);
  viewOriginX = view->GetRectOrix();
  viewOriginY = view->GetRectOriy();
  viewWidth = view->GetRectSizx();
  viewHeight = view->GetRectSizy();
  slots[k]->previewWidth = view->GetEffWidth();
  slots[k]->previewHeight = view->GetEffHeight();
  drawPar->viewOffsetX =
      static_cast<float>(viewOriginX) + static_cast<float>(viewWidth - slots[k]->previewWidth) * 0.5f;
  drawPar->viewOffsetY =
      static_cast<float>(viewOriginY) + static_cast<float>(viewHeight - slots[k]->previewHeight) * 0.5f;
  drawPar->originX = 0.0f;
  drawPar->originY = 0.0f;
  drawPar->scaleX = 1.0f;
  drawPar->scaleY = 1.0f;
  drawPar->limit = Rect{static_cast<int16_t>(viewOriginY), static_cast<int16_t>(viewOriginX),
                       static_cast<int16_t>(viewOriginY + viewHeight),
                       static_cast<int16_t>(viewOriginX + viewWidth)};
  view->SetDrw(drawPar);
  FreePlanes(k);
  // The slots render at the window's device pixels and show one to one. A
  // render on its way at another density no longer fits the planes.
  const int32_t density = std::max<int32_t>(view->backingScale(), 1);
  if (density != density_[k]) ++generation_[k];
  density_[k] = density;
  const size_t d = static_cast<size_t>(density);
  const size_t n = static_cast<size_t>(viewWidth) * static_cast<size_t>(viewHeight) * d * d;
  for (auto& plane : slotPlanes) plane[k] = static_cast<uint8_t*>(vmkrec::NewScratch(std::max<size_t>(n, 1)));
  PrepareBuf(static_cast<int16_t>(k));
}

void VMKcompeff::PrepareWindowForDisplay() {
  if (View(0) == nullptr || drawPar == nullptr) return;
  auto record = std::make_unique<YoxelPar>();
  const DocData* doc = CurrentDocData();
  imageWidth = doc != nullptr ? doc->width : 0;
  imageHeight = doc != nullptr ? doc->height : 0;
  // Its region is the whole picture, as the defaults have it.
  Init_YoxelPar(record.get(), imageWidth, imageHeight, doc != nullptr ? doc->resolution : 72, 0, 5);
  LayOutViews();
  for (int k = 0; k < kSlotCount; ++k) FitSlot(k, record.get());
}

// ---- running the window ----

int16_t VMKcompeff::Do_CompEffDlg(int16_t family, CPathList* layerPaths) {
  plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
  family_ = family;
  list->family = family;
  if (layerPaths != nullptr) {
    delete paths;
    paths = new CPathList(0);
    layerPaths->CopyPathList(paths);
  }
  const int16_t answer = Run(Trampolines::Procs(CompEffLoopHandler, GetCompEffWindowEventHandlerUPP()));
  window_ = nullptr;
  // Slots 1 to 3 are kept whatever the answer; a window that never opened read nothing.
  if (categoryMenu != nullptr) (void)BackupRestoreFich(1);
  return answer;
}

void VMKcompeff::OpenViews(tb::WindowRef window) {
  window_ = window;
  (void)BackupRestoreFich(0);
  for (int k = 0; k < kSlotCount; ++k) slotLabels[k] = Ctl(kLabels[k]);
  categoryPopup = Ctl(kCategory);
  namePopup = Ctl(kName);
  for (int k = 0; k < kSlotCount; ++k) {
    View(k)->InitBuf(21);
    View(k)->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
  }
  PrepareWindowForDisplay();
}

void VMKcompeff::LoadOwnMenus() {
  if (categoryMenu == nullptr) categoryMenu = plat::ui::NewMenu(1, "category");
  if (nameMenu == nullptr) nameMenu = plat::ui::NewMenu(2, "name");
  list->PrepareCatNamMenus(categoryMenu, nameMenu, family_);
  ShowMenus();
  list->fillLimit = 1;
  list->firstVisible = 0;
  currentSlot = 1;
}

void VMKcompeff::BeforeShow(tb::WindowRef) {}

void VMKcompeff::ShowMenus() {
  FillPopup(categoryPopup, categoryMenu);
  FillPopup(namePopup, nameMenu);
}

// ---- showing the state ----

void VMKcompeff::DrawOwnContent(tb::WindowRef) {
  tb::SetControl32BitValue(categoryPopup, list->selectedCategory);
  tb::SetControl32BitValue(namePopup, list->firstVisible + 1);
  for (int k = 0; k < kSlotCount; ++k) {
    VMKimabox* view = View(k);
    view->SetSelMode(1, k == currentSlot ? 1 : 0);
    const TSSeff& slot = *slots[k];
    // An unfilled slot keeps what its view and label show: a name chosen for one slot
    // clears the others' flags (the list's preview fill does), not their pictures.
    if (slot.filled != 1 || slotPlanes[0][k] == nullptr) continue;
    view->SetFineBufRGB(density_[k], 0, 0, slot.previewWidth, slot.previewHeight, viewWidth, viewHeight,
                        slotPlanes[0][k], slotPlanes[1][k], slotPlanes[2][k], nullptr, 255, 0);
    tb::SetControlText(slotLabels[k], k == 0
                                          ? std::string("Current")
                                          : plat::files::DisplayName(PStrString(slot.file.name)));
  }
}

bool VMKcompeff::PollTick(tb::WindowRef) { return TakePick(); }

bool VMKcompeff::TakePick() {
  const int32_t k = ClickedBox();
  if (k < 0) return false;
  currentSlot = static_cast<int16_t>(k);
  return true;
}

// ---- commands ----

bool VMKcompeff::OwnCommand(uint32_t command, tb::ControlRef, tb::WindowRef window) {
  switch (command) {
    case FourCC("ok  "):
      result = 1;
      tb::QuitAppModalLoopForWindow(window);
      return true;
    case FourCC("Pcat"):
      list->selectedCategory = static_cast<int16_t>(tb::GetControl32BitValue(categoryPopup));
      list->LoadNamMenus(categoryMenu, nameMenu);
      ShowMenus();
      list->firstVisible = 0;
      DrawWindowContent(window);
      return true;
    case FourCC("Pnam"): {
      const int32_t items = plat::ui::CountMenuItems(nameMenu);
      list->firstVisible = static_cast<int16_t>(
          std::clamp<int32_t>(tb::GetControl32BitValue(namePopup) - 1, 0, std::max(items - 1, 0)));
      if (Changeable()) {
        list->UpdatePreviews(1, categoryMenu, list->firstVisible, 1, slots, ViewTable(),
                             &slots[currentSlot]->file);
        PrepareBuf(currentSlot);
      }
      refresh() = 1;
      return true;
    }
    case FourCC("Bupd"):
      list->selectedCategory = 1;
      list->PrepareEffListFile(family_);
      list->PrepareListCat(categoryMenu);
      list->LoadNamMenus(categoryMenu, nameMenu);
      ShowMenus();
      currentSlot = 1;
      // Kept: the rebuilt list opens on its second entry.
      list->firstVisible = 1;
      DrawWindowContent(window);
      return true;
    case FourCC("Blib"):
      if (Changeable()) {
        // The browser only chooses: its choice goes into the slot, never into the layer.
        auto browser = std::make_unique<VMKloadeff>();
        if (browser->Do_LoadEffDlg(family_) == 1) {
          browser->GetSelecFich(&slots[currentSlot]->file);
          PrepareBuf(currentSlot);
        }
      }
      refresh() = 1;
      return true;
    case FourCC("Bloa"):
      if (Changeable() && LoadIma(1, &slots[currentSlot]->file) == 1) PrepareBuf(currentSlot);
      refresh() = 1;
      return true;
    default: return false;
  }
}

// ---- events ----

void VMKcompeff::HoverItem(int32_t item, tb::WindowRef window) {
  if (!Changeable() || item < 1 || item > plat::ui::CountMenuItems(nameMenu)) return;
  list->UpdatePreviews(1, categoryMenu, static_cast<int16_t>(item - 1), 0, slots, ViewTable(),
                       &slots[currentSlot]->file);
  PrepareBuf(currentSlot);
  DrawWindowContent(window);
  refresh() = 1;
  Loop(loopTimer, window);
}

// The slots are kept in the temporary file while the name menu is open; when it closes
// the current slot shows its own effect again, not the last one hovered. A folder that
// would not take the file (full, read-only) must not bring back an older file's slots, nor
// leave the hovered entry in the slot: the slots as they were at the opening are kept in
// memory too and restored from there when the file did not take them or does not read.
void VMKcompeff::HoverBackRest(int16_t n) {
  if (n == 1) {
    for (int k = 1; k < kSlotCount; ++k) Copy_FicStruct(&slots[k]->file, &heldSlots_[k - 1]);
    holding_ = true;
    heldInFile_ = BackupRestoreFich(1) == 0;
    return;
  }
  if (n != 0) return;
  if (!holding_) {
    (void)BackupRestoreFich(0);
  } else if (!heldInFile_ || BackupRestoreFich(0) != 0) {
    for (int k = 1; k < kSlotCount; ++k) Copy_FicStruct(&heldSlots_[k - 1], &slots[k]->file);
  }
  holding_ = false;
  if (Changeable()) PrepareBuf(currentSlot);
}

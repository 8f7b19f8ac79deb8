#include "host/session/app_object.h"

#include <filesystem>

#include "app/core/memory_manager.h"
#include "app/core/pascal_strings.h"
#include "app/file_access.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "host/session/document.h"
#include "script/script_file.h"
#include "paths/draw_par.h"
#include "paths/shape_params.h"
#include "platform/resources/resource_file.h"

VMKapp* gVMKapp = nullptr;

namespace {

std::string& BundleFolderStore() {
  static std::string folder;
  return folder;
}

// The nib the windows are made from: the folder of its window files.
struct NibRef {
  std::string folder;
};

void ScratchFile(const fichier& makers, const char* name, OSType type, fichier* f) {
  Str255 full = {0};
  PathBelowFolder(makers, name, full);
  Init_FicStruct(f);
  FSMakeFSSpec(0, 0, full, f);
  BuildVName(f, f->path, &f->parent, 1);
  f->creator = FourCC("vMkC");
  f->type = type;
}

}  // namespace

void SetBundleFolder(const std::string& folder) { BundleFolderStore() = folder; }
const std::string& BundleFolder() { return BundleFolderStore(); }
std::string BundleNibFolder() {
  return BundleFolder() + "/Resources/" + kNibName + ".nib";
}
std::string BundleResourceFolder() {
  return BundleFolder() + "/Resources/" + kResourceFileName + ".rsrc";
}

// ---- session record ----

int32_t Init_PerData(TPermanent* per, int32_t w, int32_t h) {
  per->planeMode = 3;
  const FilterRecord* r = gFilterRecord;
  int32_t pw = 0;
  int32_t ph = 0;
  int32_t resolution = 72;
  if (r != nullptr) {
    pw = std::min<int32_t>(r->imageRect.right - r->imageRect.left, r->imageWidth);
    ph = std::min<int32_t>(r->imageRect.bottom - r->imageRect.top, r->imageHeight);
    resolution = r->resolutionH >> 16;
  }
  per->previewWidth = pw;
  per->previewHeight = ph;
  per->resolution = static_cast<float>(resolution);
  per->boxLimitWidth = w;
  per->boxLimitHeight = h;
  // An empty image has no proportions: its box is empty rather than a
  // division by zero.
  if (pw > ph) {
    per->boxWidth = static_cast<float>(w);
    per->boxHeight = static_cast<float>(w) * static_cast<float>(ph) / static_cast<float>(pw);
  } else if (ph > 0) {
    per->boxHeight = static_cast<float>(h);
    per->boxWidth = static_cast<float>(h) * static_cast<float>(pw) / static_cast<float>(ph);
  } else {
    per->boxWidth = 0.0f;
    per->boxHeight = 0.0f;
  }
  if (r != nullptr) {
    FilterRecord* rec = gFilterRecord;
    rec->inRect = {rec->imageRect.top, rec->imageRect.left, static_cast<int16_t>(rec->imageRect.top + 1),
                   rec->imageRect.right};
    rec->outRect = rec->inRect;
    rec->inFirstPlane = 0;
    rec->inLastPlane = static_cast<int16_t>(rec->planeCount - 1);
    rec->outFirstPlane = 0;
    rec->outLastPlane = rec->inLastPlane;
  }
  CMemMan* mm = per->memMan;
  per->drawPar = mm != nullptr ? reinterpret_cast<DrawPar*>(mm->NewBuf(sizeof(DrawPar))) : nullptr;
  per->objPar = mm != nullptr ? reinterpret_cast<TObjPar*>(mm->NewBuf(sizeof(TObjPar))) : nullptr;
  if (per->drawPar != nullptr) Init_DrawPar(per->drawPar);
  if (per->objPar != nullptr) Init_TObjPar(per->objPar);
  ScratchFile(per->makersFolder, ":com.vellmarkstead.vec", FourCC("pAth"), &per->pathScratch);
  ScratchFile(per->makersFolder, ":com.vellmarkstead.chan", FourCC("aCha"), &per->channelScratch);
  ScratchFile(per->makersFolder, ":com.vellmarkstead.lay", FourCC("aLay"), &per->layerScratch);
  per->lineReaderFlag = 1;
  per->effectListWord = 0;
  // Every engine draws through these two records: a session without them
  // must not start.
  return per->drawPar != nullptr && per->objPar != nullptr ? 0 : -1;
}

void Delete_PerData(TPermanent* per) {
  if (per->memMan != nullptr) {
    per->memMan->DelBuf(per->drawPar);
    per->memMan->DelBuf(per->objPar);
  }
  per->drawPar = nullptr;
  per->objPar = nullptr;
}

int32_t InitappData(TAppData* d) {
  *d = TAppData{};
  d->imageMode = gFilterRecord != nullptr ? gFilterRecord->imageMode : 3;
  if (gPer != nullptr) Copy_FicStruct(&gPer->makersFolder, &d->makersFolder);
  // The maker's folder as a folder: its own path with the closing colon.
  Copy_FicStruct(&d->makersFolder, &d->folder);
  PStrAppend(d->folder.path, PStrView(d->makersFolder.name));
  PStrAppend(d->folder.path, ":");
  d->folder.name[0] = 0;
  d->folder.creator = FourCC("vMkC");
  d->folder.type = FourCC("AuQv");
  Copy_FicStruct(&d->folder, &d->documentFolder);
  d->documentFolder.name[0] = 0;
  Str255 full = {0};
  pStrCopy(d->documentFolder.path, full);
  PStrAppend(full, "Vellmarks.htm");
  Init_FicStruct(&d->helpPage);
  FSMakeFSSpec(0, 0, full, &d->helpPage);
  SetPStr(d->helpPage.name, "Vellmarks.htm");
  d->helpPage.creator = FourCC("MOSS");
  d->helpPage.type = FourCC("TEXT");
  return 0;
}

// ---- application object ----

VMKapp::VMKapp() {
  gVMKapp = this;
  if (gPer != nullptr) gPer->memMan = new CMemMan();
  InitCustControl();
  initStatus = Initialize();
}

int32_t VMKapp::Initialize() {
  gappData = &appData;
  const int32_t result = InitappData(&appData);
  if (gPer == nullptr || Init_PerData(gPer, 500, 500) != 0) return -1;
  return result;
}

VMKapp::~VMKapp() {
  UnRegisterCustControl();
  for (VMKdoc*& doc : appData.documents) {
    delete doc;
    doc = nullptr;
  }
  if (gPer != nullptr) {
    Delete_PerData(gPer);
    delete gPer->memMan;
    gPer->memMan = nullptr;
  }
  InitNibRef(0);
  if (gappData == &appData) gappData = nullptr;
  if (gVMKapp == this) gVMKapp = nullptr;
}

void VMKapp::OpenResFile(const std::string& path) {
  // A resource folder that is missing leaves the platform's default.
  if (std::filesystem::is_directory(path)) plat::res::SetResourceFolder(path);
}

int16_t VMKapp::InitNibRef(int16_t open) {
  if (open == 0) {
    delete static_cast<NibRef*>(appData.nibRef);
    appData.nibRef = nullptr;
    return 0;
  }
  OpenResFile(BundleResourceFolder());
  RegisterCustControl();
  const std::string nib = BundleNibFolder();
  std::error_code ec;
  if (!std::filesystem::is_directory(nib, ec)) return static_cast<int16_t>(plat::tb::errNibNotFound);
  plat::tb::SetNibFolder(nib);
  delete static_cast<NibRef*>(appData.nibRef);
  appData.nibRef = new NibRef{nib};
  return 0;
}

int16_t VMKapp::LaunchEffect(int16_t effect) {
  if (gPer == nullptr) return 0;
  VMKdoc* doc = appData.currentDocument >= 0 && appData.currentDocument < kDocumentSlots
                    ? appData.documents[appData.currentDocument]
                    : nullptr;
  gPer->currentEffect = effect;
  if (effectLauncher == nullptr || doc == nullptr || doc->script == nullptr) return 0;
  const int16_t result = effectLauncher(doc->script, doc->currentStack, doc->currentLayer, doc->width,
                                        doc->height, effect);
  if (result != 1) return result;
  return StoreConfirmed(effect);
}

int16_t VMKapp::StoreConfirmed(int16_t launched) {
  VMKdoc* doc = appData.currentDocument >= 0 && appData.currentDocument < kDocumentSlots
                    ? appData.documents[appData.currentDocument]
                    : nullptr;
  if (gPer == nullptr || doc == nullptr || doc->script == nullptr) return kEffectNotStored;
  // The image-tools window sets up its operations itself.
  if (launched != 0 && launched != 118) SetLaunchedOperation(doc, launched);
  return SaveLayerScratch(doc) ? 1 : kEffectNotStored;
}

void VMKapp::SetLaunchedOperation(VMKdoc* doc, int16_t effect) {
  ScriptFile* s = doc->script;
  const int16_t stack = doc->currentStack;
  const int16_t layer = doc->currentLayer;
  s->SetAct(stack, layer, 1, 1);
  s->SetToChannel(stack, layer, 1, 2);
  const bool maskDirect = effect == 41 || effect == 42 || effect == 100 || effect == 106 || effect == 113;
  s->SetIntExt(stack, layer, 1, maskDirect ? 1 : 2);
  s->SetMChannel(stack, layer, 1, 6);
}

bool VMKapp::SaveLayerScratch(VMKdoc* doc) {
  // The layers are written into a replacement that takes the old file's
  // place only once every byte is in: a full or read-only folder leaves the
  // old file whole, with nothing to put back.
  File_kern file(&gPer->layerScratch);
  return doc->script->SaveCombiLay(&file, doc->saveWord, nullptr) == 0;
}

void VMKapp::SetBufSize(int32_t width, int32_t height) {
  bufWidth = width;
  bufHeight = height;
}

// ---- custom views ----

void** VMKapp::ViewSlot(int index) const {
  const CustomViewEntry& e = CustomViewAt(index);
  if (e.array < 0) {
    int single = 0;
    for (int i = 0; i < index; ++i)
      if (CustomViewAt(i).array < 0) ++single;
    return const_cast<void**>(&singleViews[single]);
  }
  void** array = viewArrays[e.array];
  return array != nullptr ? &array[e.entry] : nullptr;
}

void* VMKapp::ViewInstance(int index) const {
  void** slot = ViewSlot(index);
  return slot != nullptr ? *slot : nullptr;
}

VMKimabox* VMKapp::ImageView(int index) const {
  return CustomViewAt(index).kind == ViewKind::kImage ? static_cast<VMKimabox*>(ViewInstance(index))
                                                      : nullptr;
}

VMKcolbox* VMKapp::ColourView(int index) const {
  return CustomViewAt(index).kind == ViewKind::kColour ? static_cast<VMKcolbox*>(ViewInstance(index))
                                                       : nullptr;
}

void VMKapp::InitCustControl() {
  for (void*& v : singleViews) v = nullptr;
  for (void**& a : viewArrays) a = nullptr;
}

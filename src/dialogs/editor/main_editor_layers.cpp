// The main editing window's layer operations (asked for by the layer
// palette), its path snapshots and its path operations (asked for by the
// path-tool palette), and the loop steps that carry them out.
#include <cstring>
#include <string>

#include "app/core/pascal_strings.h"
#include "app/core/session_state.h"
#include "app/file_access.h"
#include "app/file_dialogs.h"
#include "app/keyboard.h"
#include "dialogs/editor/layer_palette.h"
#include "dialogs/editor/main_editor.h"
#include "dialogs/editor/path_palette.h"
#include "dialogs/editor/tune_effect.h"
#include "host/session/small_dialogs.h"
#include "paths/path_list.h"
#include "platform/files/file_types.h"
#include "platform/toolbox/api/ui_services.h"
#include "script/document_data.h"
#include "script/layers.h"
#include "script/script_file.h"
#include "views/image_box.h"

namespace {

constexpr OSType kCreator = FourCC("vMkC");
constexpr OSType kLayerType = FourCC("aLA0");
constexpr int16_t kFileAlert = 129;

// The one alert of a layer file that could not be read or written.
void FileAlert(const std::string& what, const fichier& file, const char* after) {
  plat::ui::AlertRequest alert;
  alert.alertId = kFileAlert;
  alert.params = {what + " \"" + plat::files::DisplayName(PStrString(file.name)) + "\".", after};
  plat::ui::Alert(alert);
}

void Prompt(unsigned char* out, const char* text) { CToPStrCopy(out, text); }

}  // namespace

// ---- the layer stack ----

LayerFile* VMKpinmainUI::Stack() const {
  DocData* doc = CurrentDocData();
  if (doc == nullptr || doc->script == nullptr) return nullptr;
  return doc->script->GetStack(doc->currentStack);
}

Laye* VMKpinmainUI::CurrentLayer() const {
  const DocData* doc = CurrentDocData();
  return doc != nullptr ? doc->layer : nullptr;
}

CPathList* VMKpinmainUI::LayerPaths() const {
  Laye* layer = CurrentLayer();
  return layer != nullptr ? layer->paths : nullptr;
}

// The record and the index always name the same layer: the record is what
// the main view shows and edits as the current layer's paths.
void VMKpinmainUI::Refetch() {
  DocData* doc = CurrentDocData();
  LayerFile* stack = Stack();
  if (doc != nullptr) doc->layer = stack != nullptr ? stack->GetLaye(doc->currentLayer) : nullptr;
}

void VMKpinmainUI::ModifLayer(int16_t op) {
  DocData* doc = CurrentDocData();
  LayerFile* stack = Stack();
  if (doc == nullptr || stack == nullptr) return;
  const int16_t current = doc->currentLayer;
  switch (op) {
    case 1: {
      int16_t active = 0;
      stack->GetLayAct(current, &active);
      stack->SetLayAct(current, active == 0 ? 1 : 0);
      break;
    }
    case 2: {
      int16_t lock = 0;
      stack->GetLayLock(current, &lock);
      stack->SetLayLock(current, lock == 0 ? 1 : 0);
      break;
    }
    case 3:
      if (layerPalette != nullptr) doc->currentLayer = layerPalette->layerPicked;
      Refetch();
      break;
    case 4:
      stack->AddLaye(stack->layerCount, new Laye());
      doc->currentLayer = stack->layerCount;
      Refetch();
      RenameLayer();
      break;
    case 5: RenameLayer(); break;
    case 6: CopyLayer(); break;
    case 7: MoveLayer(); break;
    case 8: stack->MoveLaye(current, stack->layerCount); Refetch(); break;
    case 9: stack->MoveLaye(current, 0); Refetch(); break;
    case 10: stack->MoveLaye(current, static_cast<int16_t>(current + 1)); Refetch(); break;
    // Kept: "one place earlier" moves after position current - 2, so on
    // layer 2 it goes to the top and on layer 1 nothing moves.
    case 11: stack->MoveLaye(current, static_cast<int16_t>(current - 2)); Refetch(); break;
    case 12: stack->EmptyLaye(current); break;
    case 13: DeleteLayer(); break;
    case 14: SaveLayer(); break;
    case 15: LoadLayer(); break;
    case 16: SaveAllLayers(); break;
    case 17: LoadAllLayers(); break;
    default: break;
  }
}

void VMKpinmainUI::RenameLayer() {
  Laye* layer = Stack() != nullptr ? Stack()->GetLaye(CurrentDocData()->currentLayer) : nullptr;
  if (layer == nullptr) return;
  char name[256] = {};
  std::memcpy(name, layer->name + 1, layer->name[0]);
  VMKlibr dialog;
  if (dialog.Do_CatalogDlg(0, name) == 1) CToPStrCopy(layer->name, name);
}

void VMKpinmainUI::CopyLayer() {
  const int16_t current = CurrentDocData()->currentLayer;
  int32_t from = current;
  int32_t to = current;
  VMKlibr dialog;
  if (dialog.Do_MovLayDlg(1, &from, &to) == 1)
    Stack()->CopyLaye(static_cast<int16_t>(from), static_cast<int16_t>(to), 0);
}

// Kept: the current index becomes the target as typed, which names the
// layer now after the moved one when it moved down the stack.
void VMKpinmainUI::MoveLayer() {
  int32_t from = 1;
  int32_t to = 2;
  VMKlibr dialog;
  if (dialog.Do_MovLayDlg(0, &from, &to) != 1) return;
  Stack()->MoveLaye(static_cast<int16_t>(from), static_cast<int16_t>(to));
  CurrentDocData()->currentLayer = static_cast<int16_t>(to);
  Refetch();
}

void VMKpinmainUI::DeleteLayer() {
  LayerFile* stack = Stack();
  stack->DeleteLaye(CurrentDocData()->currentLayer);
  if (stack->layerCount == 0) stack->AddLaye(0, new Laye());
  CurrentDocData()->currentLayer = 1;
  Refetch();
}

// Written through a temporary file: a failed write leaves the old file and
// names the file in an alert.
void VMKpinmainUI::SaveLayer() {
  fichier record;
  Init_FicStruct(&record);
  record.creator = kCreator;
  record.type = kLayerType;
  if (VMK_PutFile(&record) != 1) return;
  Laye* layer = CurrentLayer();
  DocData* doc = CurrentDocData();
  if (layer == nullptr || doc->script == nullptr) return;
  File_kern file(&record);
  int32_t pos = 0;
  bool ok = file.S_open(3) == 0;
  if (ok) {
    ok = doc->script->SaveLay(1, &file, layer, &pos) == 0;
    // A replacement is put in place only by a close after good writes.
    if (file.S_close() != 0) ok = false;
  }
  if (!ok) FileAlert("The layer could not be saved as", record, "The file was left as it was.");
}

// Read into a fresh layer first: the current one is replaced only by a
// layer that read whole; otherwise it stays and the alert names the file.
void VMKpinmainUI::LoadLayer() {
  fichier record;
  Init_FicStruct(&record);
  unsigned char prompt[256];
  Prompt(prompt, "Load a New Layer...");
  if (VMK_GetFile(&record, &kLayerType, prompt, 1) != 1) return;
  DocData* doc = CurrentDocData();
  LayerFile* stack = Stack();
  if (doc->script == nullptr) return;
  auto* fresh = new Laye();
  File_kern file(&record);
  int32_t pos = 0;
  if (doc->script->RecallLay(&file, fresh, &pos, 0) != 0) {
    delete fresh;
    FileAlert("The layer could not be read from", record, "The layer is left as it was.");
    return;
  }
  const int16_t current = doc->currentLayer;
  // Inserting names the layer by its place; the file's name is the one kept.
  Str255 name;
  pStrCopy(fresh->name, name);
  stack->DeleteLaye(current);
  stack->AddLaye(static_cast<int16_t>(current - 1), fresh);
  pStrCopy(name, fresh->name);
  Refetch();
}

void VMKpinmainUI::SaveAllLayers() {
  fichier record;
  Init_FicStruct(&record);
  record.creator = kCreator;
  record.type = kCreator;
  if (VMK_PutFile(&record) != 1) return;
  DocData* doc = CurrentDocData();
  if (doc->script == nullptr) return;
  File_kern file(&record);
  // The combined file is written whole into a replacement.
  if (doc->script->SaveCombiLay(&file, doc->saveWord, nullptr) != 0)
    FileAlert("The layers could not be saved as", record, "The file was left as it was.");
}

// The stack takes the file's layers only when they read whole. Chosen or
// not, layer 1 becomes current.
void VMKpinmainUI::LoadAllLayers() {
  fichier record;
  Init_FicStruct(&record);
  unsigned char prompt[256];
  Prompt(prompt, "Load a New Layer...");
  DocData* doc = CurrentDocData();
  if (VMK_GetFile(&record, &kCreator, prompt, 1) == 1 && doc->script != nullptr) {
    File_kern file(&record);
    if (doc->script->RecallAllLay(&file, doc->currentStack, doc->currentStack) != 0)
      FileAlert("The layers could not be read from", record, "The layers are left as they were.");
  }
  doc->currentLayer = 1;
  Refetch();
}

// ---- path snapshots ----

void VMKpinmainUI::BackRestPath(int16_t mode, BkPath* ring, CPathList* paths) {
  if (ring == nullptr) return;
  constexpr int n = BkPath::kEntries;
  switch (mode) {
    case 0:
      for (int k = 0; k < n; ++k) {
        ring->list[k] = new CPathList(0);
        ring->age[k] = -1;
      }
      break;
    case 1:
      for (int k = 0; k < n; ++k) ring->age[k] = -1;
      break;
    case 2: {
      if (paths == nullptr) return;
      int32_t largest = -1;
      int target = -1;
      int oldest = 0;
      for (int k = 0; k < n; ++k) {
        largest = std::max(largest, ring->age[k]);
        if (target < 0 && ring->age[k] == -1) target = k;
        if (ring->age[k] < ring->age[oldest]) oldest = k;
      }
      // A full ring gives up its oldest snapshot.
      if (target < 0) target = oldest;
      if (ring->list[target] == nullptr) return;
      paths->CopyPathList(ring->list[target]);
      ring->age[target] = largest + 1;
      break;
    }
    case 3: {
      int newest = -1;
      for (int k = 0; k < n; ++k)
        if (ring->age[k] > -1 && (newest < 0 || ring->age[k] > ring->age[newest])) newest = k;
      if (newest < 0 || paths == nullptr || ring->list[newest] == nullptr) return;
      ring->list[newest]->CopyPathList(paths);
      ring->age[newest] = -1;
      break;
    }
    case 4:
      for (int k = 0; k < n; ++k) {
        delete ring->list[k];
        ring->list[k] = nullptr;
      }
      break;
    default: break;
  }
}

namespace {
bool RingEmpty(const BkPath& ring) {
  for (int32_t age : ring.age)
    if (age > -1) return false;
  return true;
}
}  // namespace

void VMKpinmainUI::SnapshotBeforeChange(CPathList* paths) {
  BackRestPath(1, &redoRing, nullptr);
  BackRestPath(2, &undoRing, paths);
}

// Undo, or redo with Option. When the ring to take from is empty nothing
// happens at all: pushing the current paths first would leave a copy in
// the other ring, and a redo after undoing past the start would give back
// that copy instead of the edited paths.
void VMKpinmainUI::UndoRedoPaths(CPathList* paths) {
  const bool redo = TestKeyModif(optionKey) == 1;
  BkPath& from = redo ? redoRing : undoRing;
  BkPath& to = redo ? undoRing : redoRing;
  if (RingEmpty(from)) return;
  BackRestPath(2, &to, paths);
  BackRestPath(3, &from, paths);
}

// ---- loop steps ----

// Step 1: a layer operation from the palette; only the last command since
// the previous tick counts.
bool VMKpinmainUI::TakeLayerRequest() {
  if (layerPalette == nullptr) return false;
  const int16_t op = layerPalette->CheckSetRefresh(0);
  if (op == 0) return false;
  ModifLayer(op);
  layerPalette->SetRefreshFlag(1);
  DocData* doc = CurrentDocData();
  if (operationEditor != nullptr && doc != nullptr) {
    operationEditor->SetScriptFile(doc->script, doc->currentStack, doc->currentLayer,
                                   static_cast<short>(doc->width), static_cast<short>(doc->height), 0, 0,
                                   static_cast<short>(doc->width), static_cast<short>(doc->height));
    operationEditor->SetRefreshFlag(1);
  } else {
    PrepareBuf(1, nullptr);
    refreshFlag = 1;
  }
  return true;
}

// Step 2: while the operation-list editor runs, its changes are rendered
// here too.
bool VMKpinmainUI::FollowOperationEditor() {
  if (operationEditor == nullptr) return false;
  if (operationEditor->CheckSetPreview(0) == 1) {
    PrepareBuf(1, nullptr);
    refreshFlag = 1;
  } else if (operationEditor->GetChanFlag() != channelShown) {
    channelShown = operationEditor->GetChanFlag();
    if (channelShown == 1) PrepareBuf(1, nullptr);
    refreshFlag = 1;
  }
  return false;
}

// Step 3: the user changed the paths in the main view.
bool VMKpinmainUI::TakePathEdit() {
  if (mainView()->CheckSetRefresh(0) != 1) return false;
  CPathList* paths = LayerPaths();
  if (paths != nullptr) {
    SnapshotBeforeChange(paths);
    mainView()->GetPathList(paths);
  }
  refreshFlag = 1;
  return false;
}

// Step 4: the path palette's signal: its tool, mode and shown flag, then
// its pending operation.
bool VMKpinmainUI::TakePathRequest() {
  if (pathPalette == nullptr || pathPalette->CheckSetRefresh(0) != 1) return false;
  tool = pathPalette->tool;
  pathMode = pathPalette->pathMode;
  pathEditFlag = pathPalette->shownFlag;
  CPathList* paths = LayerPaths();
  const int16_t op = pathPalette->pendingOp;
  const RGBColor black{0, 0, 0};
  switch (op) {
    case VMKtoolpath::kSavePaths:
      if (paths != nullptr) {
        // The scope tells a cancel from a file the folder would not take.
        SaveDialogScope scope{std::string()};
        fichier chosen;
        if (paths->SavePathList(imageWidth, imageHeight) != 0 && !scope.chosen().empty() &&
            SetFicFromPosix(&chosen, scope.chosen()))
          FileAlert("The paths could not be saved as", chosen,
                    scope.replacing() ? "The file was left as it was." : "No file was made.");
      }
      break;
    case VMKtoolpath::kLoadPaths:
      if (paths != nullptr) {
        SnapshotBeforeChange(paths);
        paths->RecallPathList(-1, black, imageWidth, imageHeight);
      }
      break;
    case VMKtoolpath::kUndoPaths:
      if (paths != nullptr) UndoRedoPaths(paths);
      break;
    case VMKtoolpath::kClearPaths:
      if (paths != nullptr) {
        SnapshotBeforeChange(paths);
        delete paths;
        CurrentLayer()->paths = new CPathList(0);
      }
      break;
    default:
      mainView()->SetVecMode(tool, pathMode, pathEditFlag);
      return true;
  }
  pathPalette->pendingOp = 0;
  if (op == VMKtoolpath::kLoadPaths || op == VMKtoolpath::kClearPaths) PrepareBuf(1, nullptr);
  if (op != VMKtoolpath::kSavePaths) refreshFlag = 1;
  return false;
}

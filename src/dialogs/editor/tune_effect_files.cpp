// The layer's operations as files: the undo copy in the channel scratch
// file, the stored effects of the image-tools window, and the effect file a
// user saves.
//
// A stored file is read whole before the layer gives up its operations, so
// a file that cannot be read leaves the layer as it was; a file is written
// through a temporary file that replaces the old one only once complete.
// A file the user named that cannot be read or written is named in an
// alert.
#include <string>
#include <vector>

#include "app/core/pascal_strings.h"
#include "app/core/session_state.h"
#include "app/file_access.h"
#include "app/file_dialogs.h"
#include "app/ui/file_menus.h"
#include "dialogs/editor/effect_recall.h"
#include "dialogs/editor/tune_effect.h"
#include "dialogs/editor/tune_effect_ids.h"
#include "dialogs/editor/tune_effect_tables.h"
#include "host/session/document.h"
#include "platform/files/file_types.h"
#include "platform/toolbox/api/ui_services.h"
#include "script/layers.h"
#include "script/script_file.h"

namespace tb = plat::tb;
using namespace tuneeff;

namespace {

// The bundle's two-line alert, its texts given.
constexpr int16_t kFileAlert = 129;

void TellUser(const std::string& first, const std::string& second) {
  plat::ui::AlertRequest alert;
  alert.alertId = kFileAlert;
  alert.params = {first, second};
  plat::ui::Alert(alert);
}

}  // namespace

Laye* VMKtuneeff::EditedLayer() const {
  if (script == nullptr) return nullptr;
  const LayerFile* lf = script->GetStack(stack);
  return lf != nullptr ? lf->GetLaye(layer) : nullptr;
}

fichier VMKtuneeff::UndoFile() const {
  fichier f;
  if (gPer != nullptr) Copy_FicStruct(&gPer->channelScratch, &f);
  return f;
}

// Reads a stored effect into the edited layer, replacing its operations
// only when the whole record was read; otherwise an alert names the file
// (quiet: no alert).
bool VMKtuneeff::ReadIntoLayer(const fichier& file, bool quiet) {
  char* first = document != nullptr ? document->firstName : nullptr;
  char* second = document != nullptr ? document->secondName : nullptr;
  if (quiet) return ReadEffectIntoLayer(file, script, EditedLayer(), first, second) == 0;
  return RecallEffectIntoLayer(file, script, EditedLayer(), first, second) == 0;
}

void VMKtuneeff::BackRestEff(short mode) {
  Laye* lay = EditedLayer();
  if (lay == nullptr || gPer == nullptr) return;
  const fichier undo = UndoFile();
  if (mode == 1) {
    File_kern kern(&undo);
    if (script->SaveScript(lay->oprnCount, lay->firstOprn, &kern, nullptr, 0, 0,
                           document != nullptr ? document->secondName : nullptr, 0) != 0)
      TellUser("The undo copy \"" + plat::files::DisplayName(PStrString(undo.name)) +
                   "\" could not be written.",
               "The last change cannot be undone.");
  } else if (mode == 0) {
    // The copy restores the layer only when it reads whole; the file stays.
    (void)ReadIntoLayer(undo, false);
  }
}

void VMKtuneeff::LoadScript(short first) {
  const int32_t entry = first + selectedSlot;
  if (effectFiles == nullptr || entry < 0 || entry >= effectCount || entry >= kEffectFiles) return;
  fichier file;
  Copy_FSSpeStruct(&effectFiles[entry], &file);
  (void)ReadIntoLayer(file, false);
}

void VMKtuneeff::LoadEffMenus() {
  tb::ControlRef popup = Ctl(kStoredPopup);
  effectCount = 0;
  if (popup != nullptr) tb::DeleteMenuItems(popup);
  if (popup != nullptr && effectFiles != nullptr && gPer != nullptr) {
    constexpr OSType kTypes[] = {FourCC("aC28")};
    int32_t count = 0;
    InstallMenuFromFileType(popup, &gPer->makersFolder, kTypes, kStoredEffects, &count, effectFiles, 0);
    effectCount = count;
  }
  tb::SetControl32BitMinimum(popup, 1);
  tb::SetControl32BitMaximum(popup, effectCount);
}

void VMKtuneeff::SaveList(short fam) {
  const Family* f = FamilyOf(fam);
  if (f == nullptr || f->fileType == 0) return;
  fichier file;
  Init_FicStruct(&file);
  file.creator = FourCC("vMkC");
  file.type = f->fileType;
  if (VMK_PutFile(&file) != 1) return;
  Laye* lay = EditedLayer();
  if (lay == nullptr) return;
  // The stored preview: 130 x 130 pixels of four bytes, red, green, blue in
  // bytes 0 to 2; the picture fitted into its top left corner.
  std::vector<uint32_t> thumb(static_cast<size_t>(kThumbSide) * kThumbSide, 0);
  short usedWidth = 0, usedHeight = 0;
  PrepareBuf(0, 0, 0, kThumbSide, kThumbSide, thumb.data(), &usedWidth, &usedHeight);
  const char* preview = reinterpret_cast<const char*>(thumb.data());
  File_kern kern(&file);
  if (script->SaveScript(lay->oprnCount, lay->firstOprn, &kern, preview, usedWidth, usedHeight,
                         document != nullptr ? document->secondName : nullptr, 0) != 0)
    TellUser("The effect \"" + plat::files::DisplayName(PStrString(file.name)) +
                 "\" could not be written.",
             "The file was not changed.");
}

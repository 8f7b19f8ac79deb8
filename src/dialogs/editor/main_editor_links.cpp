// The windows the main editing window runs over itself: the operation-list
// editor on the current layer, the load-effect browser and the compose
// chooser. A browser only chooses; the chosen effect is loaded here into
// the current layer, which keeps its operations when the file does not read.
#include "app/core/session_state.h"
#include "app/file_access.h"
#include "dialogs/editor/compose_effect.h"
#include "dialogs/editor/effect_recall.h"
#include "dialogs/editor/load_effect.h"
#include "dialogs/editor/main_editor.h"
#include "dialogs/editor/tune_effect.h"
#include "script/document_data.h"
#include "script/layers.h"
#include "script/script_file.h"

namespace {

// The browser's hover preview reaches the main window through this link.
class PinMainBridge final : public PinMainLink {
 public:
  explicit PinMainBridge(VMKpinmainUI* window) : window_(window) {}
  void PrepareBuf(int16_t mode, fichier* file) override { window_->PrepareBuf(mode, file); }
  void SetRefreshFlag(int16_t flag) override { window_->SetRefreshFlag(flag); }
  void RunLoopOnce() override { window_->RunLoopOnce(); }

 private:
  VMKpinmainUI* window_;
};

}  // namespace

// While the editor runs this window's timer goes on rendering its changes
// (loop step 2) and carrying out the palettes' requests.
void VMKpinmainUI::OpenOperationEditor() {
  DocData* doc = CurrentDocData();
  if (doc == nullptr || doc->script == nullptr) return;
  operationEditor = new VMKtuneeff();
  operationEditor->SetChanFlag(channelShown);
  const auto w = static_cast<short>(doc->width);
  const auto h = static_cast<short>(doc->height);
  operationEditor->SetScriptFile(doc->script, doc->currentStack, doc->currentLayer, w, h, 0, 0, w, h);
  if (operationEditor->Do_TuneEffDlg(family) == 1) PrepareBuf(1, nullptr);
  delete operationEditor;
  operationEditor = nullptr;
  refreshFlag = 1;
}

// The chosen file's record, or false when the browser was cancelled.
bool VMKpinmainUI::BrowseEffect(fichier* chosen) {
  PinMainBridge link(this);
  VMKloadeff browser;
  browser.SetPinMain(&link);
  if (browser.Do_LoadEffDlg(family) != 1) return false;
  browser.GetSelecFich(chosen);
  return true;
}

// The layer's own operations are the chooser's "Current" slot, saved into
// the channel scratch file (replaced whole: a failed write keeps the old).
bool VMKpinmainUI::ComposeEffect(Laye* layer, fichier* chosen) {
  DocData* doc = CurrentDocData();
  File_kern scratch(&gPer->channelScratch);
  (void)doc->script->SaveScript(layer->oprnCount, layer->firstOprn, &scratch, nullptr, 0, 0, doc->secondName, 0);
  VMKcompeff chooser;
  chooser.SetSelecFich(&gPer->channelScratch);
  if (chooser.Do_CompEffDlg(family, layer->paths) != 1) return false;
  chooser.GetSelecFich(chosen);
  return true;
}

bool VMKpinmainUI::OwnLoadCommand(uint32_t command) {
  if (command != FourCC("Bloa") && command != FourCC("Bcom")) return false;
  DocData* doc = CurrentDocData();
  Laye* layer = doc != nullptr ? doc->layer : nullptr;
  fichier chosen;
  Init_FicStruct(&chosen);
  if (layer != nullptr && doc->script != nullptr && gPer != nullptr) {
    const bool picked = command == FourCC("Bloa") ? BrowseEffect(&chosen) : ComposeEffect(layer, &chosen);
    // A file that does not read leaves the layer as it was (the user is
    // told); an OK on a slot that names no file loads nothing.
    if (picked && chosen.name[0] != 0 && RecallEffectIntoLayer(chosen, doc->script, layer, doc->firstName, doc->secondName) == 0)
      PrepareBuf(1, nullptr);
  }
  refreshFlag = 1;
  return true;
}

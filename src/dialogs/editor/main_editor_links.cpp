// The windows the main editing window runs over itself: the operation-list
// editor on the current layer, the load-effect browser and the compose
// chooser, each of which may put an effect into the current layer.
#include "dialogs/editor/main_editor.h"
#include "dialogs/editor/tune_effect.h"
#include "script/document_data.h"

// While the editor runs this window's timer goes on rendering its changes
// (loop step 2).
void VMKpinmainUI::OpenOperationEditor() {}

bool VMKpinmainUI::OwnLoadCommand(uint32_t) { return false; }

// The owner's half of the colour-ramp hand-shake, written once for every
// dialog (and the operation-list editor's ramp effects) that opens the ramp
// editor on a ramp of its own:
//
//   1. the owner backs its record up (RunFor does it for a frame dialog);
//   2. a new editor gets the owner's ramp and its stored live-preview
//      choice, and a copy of the ramp is kept;
//   3. the editor runs; meanwhile the owner's loop timer goes on firing and
//      polls `*open` (the frame does it for its `rampEditor`): each change
//      the editor reports is given to the owner's ramp and previewed;
//   4. on OK the owner's ramp becomes the edited ramp (shifts applied);
//      otherwise the kept copy goes back, undoing the live previews;
//   5. the live-preview choice is read back, the editor deleted, the poll
//      pointer cleared and (RunFor) the owner refreshed.
#pragma once

#include <cstdint>

#include "dialogs/frame/effect_frame.h"
#include "dialogs/frame/live_preview.h"
#include "script/lut_vign.h"

class RampEditorSession {
 public:
  // `livePreview` null: the owner offers no live preview (no checkbox, no
  // polling); `open` null: nobody polls the editor.
  RampEditorSession(LutVign* ramp, int16_t* livePreview, LivePreviewSource** open)
      : ramp_(ramp), livePreview_(livePreview), open_(open) {}

  // 1 when the user confirmed; 0 leaves the ramp byte for byte as it was.
  int16_t Run();

  // The whole hand-shake for a dialog on the frame whose record carries a
  // ramp (FrameRecordOps::ramp): its backup, its `rampPreview` choice and
  // `rampEditor` poll (without live preview: neither), its refresh.
  static int16_t RunFor(EffectFrame& owner, bool livePreview = true);

 private:
  LutVign* ramp_;
  int16_t* livePreview_;
  LivePreviewSource** open_;
};

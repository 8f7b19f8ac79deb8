// The list of every dialog folder's effect rows, registered at session start.
#pragma once

// Fills the session's effect registry with the rows of the editor,
// correction, pattern and photo folders; calling it again changes nothing.
void RegisterEffectDialogs();

// Whose buffer swap slots (Effects::BufFile) the renders of a thread use.
//
// Slots 0 to 64 belong to one render: it clears them as it starts and reads
// back only what it saved. Two windows' previews render on two threads at
// once, so each render keeps those slots to itself, as files in a folder of
// its own below the maker's folder, made at its first save, locked while
// the render lives and removed with the slots when it ends, however it ends
// (done, failed or cancelled). No other render reads, clears or removes
// them, and they cost the disk what the maker's folder's files cost, never
// the process's memory. The render written back into the image keeps them
// the same way: a 6000 x 4000 slot is 72 MB and a render may fill 65, which
// must not stay on the user's disk once OK is over. Slots outside 0 to 64
// outlive a render by design: they stay the files of the maker's folder
// ("pspBuf<slot>.lst") for every render. Outside any render (a direct call
// of Effects::BufFile) every slot is the maker's folder's file.
#pragma once

#include <memory>

namespace swap_slots {

// The slots of the render that runs on this thread while the object lives.
// A render begun inside another on the same thread uses the outer one's
// slots (and clears them as it starts, as a render always has): only the
// outermost object on a thread keeps a folder.
class RenderSlots {
 public:
  RenderSlots();
  ~RenderSlots();
  RenderSlots(const RenderSlots&) = delete;
  RenderSlots& operator=(const RenderSlots&) = delete;

  struct Kept;

 private:
  std::unique_ptr<Kept> kept_;
  bool outermost_ = false;
};

// Removes what renders of this machine that ended without cleaning up (a
// crash, a kill) left in the maker's folder: the folders of their own slots
// that no render holds, and the files of slots 0 to 64 that a render of an
// earlier version wrote there. A session calls it as it starts, holding the
// maker's folder, so that a dead render's saved planes need not wait for the
// next save to go.
void RemoveLeftSlots();

}  // namespace swap_slots

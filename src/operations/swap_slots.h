// Whose buffer swap slots (Effects::BufFile) the renders of a thread use.
//
// Slots 0 to 64 belong to one render: it clears them as it starts and reads
// back only what it saved. Two windows' previews render on two threads at
// once, so each render keeps those slots to itself, as files in a folder of
// its own below the maker's folder, made at its first save, locked while
// the render lives and removed with the slots when it ends, however it ends
// (done, failed or cancelled). No other render reads, clears or removes
// them, and they cost the disk what the maker's folder's files cost, never
// the process's memory. The render whose result is written back into the
// image keeps them as the swap files in the maker's folder
// ("pspBuf<slot>.lst"), which stay there after it, as they always have.
// Slots outside 0 to 64 outlive a render by design: they stay the files of
// the maker's folder for every render. Outside any render (a direct call of
// Effects::BufFile) every slot is the maker's folder's file.
#pragma once

#include <memory>

namespace swap_slots {

// Where the slots of a render are kept.
enum class Keeping {
  kOwn,           // files in a folder of this render's own, gone when it ends
  kMakersFolder,  // the swap files of the maker's folder
};

// The slots of the render that runs on this thread while the object lives.
// A render begun inside another on the same thread uses the outer one's
// slots (and clears them as it starts, as a render always has): only the
// outermost object on a thread chooses.
class RenderSlots {
 public:
  explicit RenderSlots(Keeping keeping);
  ~RenderSlots();
  RenderSlots(const RenderSlots&) = delete;
  RenderSlots& operator=(const RenderSlots&) = delete;

  struct Kept;

 private:
  std::unique_ptr<Kept> kept_;
  bool outermost_ = false;
};

}  // namespace swap_slots

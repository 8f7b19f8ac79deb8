// A dialog's tile view, filled on its preview worker.
//
// The tile views of the tessellation and border dialogs show a tile's
// picture: an image file or the photo read at the view's size, or a ramp,
// made at the device pixels of the view's window (the view's size times its
// backing scale) and shown one to one there; the view's layout and presses
// stay in view pixels.
// Their redraws ask for it here; the picture is made on the dialog's preview
// worker and shown in the view's box from the window's thread, after what
// the worker was given before it (the box's own preview, asked for before
// the redraw, shows first: the picture asked for last is what stays), so a
// redraw never waits for an image to be decoded. The last picture made is
// kept under the key the dialog names it by: asked again, it is shown again
// without reading anything.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/toolbox/toolbox.h"

class PreviewWorker;
class VMKimabox;

class TileViewPicture {
 public:
  // What a build tells about the picture it made: whether an image file made it, and whether
  // it may be kept under its key (not a stand-in for a file that could not be read).
  struct Made {
    bool fromFile = false;
    bool keep = true;
  };
  // Any thread: the picture at w x h device pixels, `scale` of them per view pixel each way,
  // into three planes; false when there is none (the view keeps what it shows).
  using Build = std::function<bool(int32_t w, int32_t h, int32_t scale, uint8_t* red, uint8_t* green,
                                   uint8_t* blue, Made* made)>;
  // Window's thread, once the picture is in the box: whether an image file made it.
  using Shown = std::function<void(bool fromFile)>;

  // Window's thread: the picture `key` names (empty: made each time, never kept) at the size of
  // `view` times the backing scale of `box`, made by `build` unless it is the one kept, shown
  // in `box`.
  void Ask(PreviewWorker& worker, VMKimabox* box, plat::tb::ControlRef view,
           const std::string& key, Build build, Shown shown);
  // Window's thread: `paint` puts something cheap into the view's box in the pictures' line, so
  // that a picture still on its way cannot cover it.
  void Paint(PreviewWorker& worker, std::function<void()> paint);
  // Window's thread: whether the kept picture is `key` at w x h view pixels and `scale`.
  bool Keeps(const std::string& key, int32_t w, int32_t h, int32_t scale) const;
  // The density a picture for `box` is made at: its window's backing scale, at least 1.
  static int32_t ScaleOf(const VMKimabox* box);

  // Pictures shown in the box and pictures made (tests).
  int32_t picturesShown = 0;
  int32_t picturesMade = 0;

 private:
  struct Picture {
    std::string key;
    int32_t w = 0, h = 0;  // view pixels
    int32_t scale = 1;     // device pixels per view pixel each way
    Made made;
    std::vector<uint8_t> planes[3];
  };
  std::shared_ptr<const Picture> kept_;
};

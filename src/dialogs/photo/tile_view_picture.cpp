#include "dialogs/photo/tile_view_picture.h"

#include <algorithm>
#include <utility>

#include "dialogs/frame/preview_worker.h"
#include "views/image_box.h"

namespace tb = plat::tb;

namespace {

// A tile view's job on the worker, keyed by its tile view: a newer one takes the place of one
// still waiting, and the box's own previews keep theirs. Run first, then the picture: what
// was asked for last is what the view shows.
class PictureTask final : public WorkerTask {
 public:
  PictureTask(const void* key, std::function<bool()> work, std::function<void()> show)
      : WorkerTask(key), work_(std::move(work)), show_(std::move(show)) {}
  void Run() override {
    if (!stale()) ok_ = work_();
  }
  void Finish() override {
    if (ok_ && !stale()) show_();
  }

 private:
  std::function<bool()> work_;
  std::function<void()> show_;
  bool ok_ = false;
};

}  // namespace

void TileViewPicture::Ask(PreviewWorker& worker, VMKimabox* box, tb::ControlRef view,
                          const std::string& key, Build build, Shown shown) {
  if (box == nullptr || view == nullptr) return;
  const Rect b = tb::GetControlBounds(view);
  const int32_t w = b.right - b.left, h = b.bottom - b.top;
  if (w <= 0 || h <= 0) return;
  const int32_t k = ScaleOf(box);
  const bool again = !key.empty() && Keeps(key, w, h, k);
  auto picture = again ? std::const_pointer_cast<Picture>(kept_) : std::make_shared<Picture>();
  if (!again) picture->key = key;
  auto work = [picture, again, w, h, k, build = std::move(build)] {
    if (again) return true;
    Picture& p = *picture;
    p.w = w;
    p.h = h;
    p.scale = k;
    const size_t n = static_cast<size_t>(w) * static_cast<size_t>(k) * static_cast<size_t>(h) * static_cast<size_t>(k);
    for (auto& plane : p.planes) plane.assign(n, 0);
    return build(w * k, h * k, k, p.planes[0].data(), p.planes[1].data(), p.planes[2].data(), &p.made);
  };
  auto show = [this, picture, again, box, view, done = std::move(shown)] {
    // The box only reads the planes: a kept picture stays as it was made.
    Picture& p = *picture;
    box->SetFineBufRGB(p.scale, 0, 0, p.w, p.h, p.w, p.h, p.planes[0].data(), p.planes[1].data(),
                       p.planes[2].data(), nullptr, 255, 0);
    tb::SetControlNeedsDisplay(view);
    if (!again) {
      ++picturesMade;
      if (!p.key.empty() && p.made.keep) kept_ = picture;
    }
    ++picturesShown;
    if (done) done(p.made.fromFile);
  };
  worker.SubmitTask(std::make_shared<PictureTask>(this, std::move(work), std::move(show)));
}

void TileViewPicture::Paint(PreviewWorker& worker, std::function<void()> paint) {
  worker.SubmitTask(std::make_shared<PictureTask>(this, [] { return true; }, std::move(paint)));
}

bool TileViewPicture::Keeps(const std::string& key, int32_t w, int32_t h, int32_t scale) const {
  return kept_ != nullptr && kept_->key == key && kept_->w == w && kept_->h == h && kept_->scale == scale;
}

int32_t TileViewPicture::ScaleOf(const VMKimabox* box) {
  return box != nullptr ? std::max<int32_t>(box->backingScale(), 1) : 1;
}

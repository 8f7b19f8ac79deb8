#include "dialogs/frame/ok_render.h"

#include <utility>

namespace {

// The offer not yet taken, if any. Windows run on the interface thread only.
OkRenderOffer* gOffer = nullptr;
OkRender* gOffered = nullptr;

}  // namespace

OkRenderOffer::OkRenderOffer(OkRender render) : render_(std::move(render)), outer_(gOffer) {
  gOffer = this;
  gOffered = &render_;
}

OkRenderOffer::~OkRenderOffer() {
  if (gOffer != this) return;
  gOffer = outer_;
  gOffered = outer_ != nullptr ? &outer_->render_ : nullptr;
}

OkRender TakeOkRender(std::function<bool()> store) {
  if (gOffered == nullptr || !*gOffered) return {};
  OkRender render = std::exchange(*gOffered, {});
  if (!store) return render;
  return [store = std::move(store), render = std::move(render)] { return !store() || render(); };
}

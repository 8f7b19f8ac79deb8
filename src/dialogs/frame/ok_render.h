// OK that applies the effect before its window closes.
//
// The session launches an effect's window and renders what the user confirmed in it over the
// picture. A render run once the window had gone would, failing (memory refused, a step's file
// that could not be read or written, a layer file the folder would not take), take the user's
// work with the window. So the session offers its render to the window it launches, and the
// window runs it when OK is pressed, before its modal loop ends: the window closes only once
// the effect is applied. When it is not, the session has told the user why and the
// window stays open with everything the user set, for another OK (a value changed, space
// freed) or a Cancel, which leaves as a Cancel always has.
//
// Only the window the session launched takes the offer; the windows it opens in turn (an
// operation's dialog over the image tools, say) find none, so their OK only confirms.
#pragma once

#include <functional>

// The session's render of the work a window confirmed, once the window has put that work
// where the session reads it: true when the effect was applied.
using OkRender = std::function<bool()>;

// The session's render, offered to the window launched while the offer lives.
class OkRenderOffer {
 public:
  explicit OkRenderOffer(OkRender render);
  ~OkRenderOffer();
  OkRenderOffer(const OkRenderOffer&) = delete;
  OkRenderOffer& operator=(const OkRenderOffer&) = delete;

 private:
  OkRender render_;
  OkRenderOffer* outer_;
};

// Taken by the window the session launched, before it runs: the offered render after `store`
// (empty: nothing to store), which puts the window's work into the document's script. Empty
// when nothing is offered. A store that fails renders nothing and lets the window close, its
// owner then finding, as it always has, that the work cannot be stored.
OkRender TakeOkRender(std::function<bool()> store = {});

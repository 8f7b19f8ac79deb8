// The path lists work on the thread's drawing record (a render's own, or on the interface
// thread the session's); an engine that builds one keeps this on its stack so that the record
// is put back on every way out.
#pragma once

#include "paths/draw_par.h"

class DrawParKeeper {
 public:
  DrawParKeeper() : shared_(SessionDrawPar()) {
    if (shared_ == nullptr) return;
    Copy_DrawPar(shared_, &saved_);
    port_ = shared_->port;
  }
  // The port too: a list given a view's port for its drawing must not leave
  // the shared record naming a port that may be gone by the next drawing.
  ~DrawParKeeper() {
    if (shared_ == nullptr) return;
    Copy_DrawPar(&saved_, shared_);
    shared_->port = port_;
  }
  DrawParKeeper(const DrawParKeeper&) = delete;
  DrawParKeeper& operator=(const DrawParKeeper&) = delete;

 private:
  DrawPar* shared_;
  DrawPar saved_{};
  GrafPtr port_ = nullptr;
};

// The path lists work on the session's shared drawing parameters; an engine that builds one
// keeps this on its stack so that they are put back on every way out.
#pragma once

#include "paths/draw_par.h"

class DrawParKeeper {
 public:
  DrawParKeeper() : shared_(SessionDrawPar()) {
    if (shared_ != nullptr) Copy_DrawPar(shared_, &saved_);
  }
  ~DrawParKeeper() {
    if (shared_ != nullptr) Copy_DrawPar(&saved_, shared_);
  }
  DrawParKeeper(const DrawParKeeper&) = delete;
  DrawParKeeper& operator=(const DrawParKeeper&) = delete;

 private:
  DrawPar* shared_;
  DrawPar saved_{};
};

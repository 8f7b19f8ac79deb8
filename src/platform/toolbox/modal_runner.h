// The hook through which the test driver takes over modal loops. It lives
// apart from the toolbox's Qt internals so that the driver's header, and every
// test that includes it, stays free of Qt headers.
#pragma once

#include "platform/toolbox/toolbox.h"

namespace plat::tb {

// The modal-loop runner of the test driver (null when live).
class ModalRunner {
 public:
  virtual ~ModalRunner() = default;
  virtual void Run(Window* window) = 0;
};
void SetModalRunner(ModalRunner* runner);

}  // namespace plat::tb

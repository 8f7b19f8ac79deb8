#include "app/core/session_state.h"

TPermanent* gPer = nullptr;

#include "app/session_state.h"

TPermanent* gPer = nullptr;

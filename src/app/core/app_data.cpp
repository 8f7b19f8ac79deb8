#include "app/core/app_data.h"

TAppData* gappData = nullptr;

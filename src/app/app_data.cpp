#include "app/app_data.h"

TAppData* gappData = nullptr;

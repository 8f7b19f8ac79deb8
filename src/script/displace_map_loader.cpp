#include "script/displace_map_loader.h"

namespace {
DisplaceMapLoader gDisplaceMapLoader = nullptr;
}  // namespace

void SetDisplaceMapLoader(DisplaceMapLoader loader) { gDisplaceMapLoader = loader; }
DisplaceMapLoader GetDisplaceMapLoader() { return gDisplaceMapLoader; }

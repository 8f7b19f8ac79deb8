// A plain complementary colour model for tests: yellow, magenta and cyan are
// the complements of blue, green and red, trilinear weights are exact, the
// display planes give 255 - 4 * cell and the black factors 255 - k.
#pragma once

#include <memory>

#include "app/core/colour_model.h"

namespace vmktest {

std::unique_ptr<ModTemplate> MakeComplementModel();
std::unique_ptr<PhoModTemplate> MakeComplementPreviewModel();

}  // namespace vmktest

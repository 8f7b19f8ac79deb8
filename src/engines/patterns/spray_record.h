// The image record that sprays and picked library images share: a file and
// the size of the thumbnail made of it (600 bytes in the original layout,
// of which only these fields are used; it is never stored by itself).
#pragma once

#include <cstdint>

#include "app/core/file_records.h"

struct SprayPar {
  fichier file;
  int32_t width = 0;   // thumbnail width, 0..130
  int32_t height = 0;  // thumbnail height, 0..130
};

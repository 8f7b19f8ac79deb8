// The tile pictures that the tessellation and repeat engines read from file references.
//
// A reference is found as the engines have always found it: its specification is rebuilt
// from its folder path followed by its name, and when the file is not there the content
// folders are searched for the same name.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "platform/memory/block.h"

// The reference as it is read: a copy, its specification rebuilt and searched for.
fichier ResolveTileFile(const fichier& file);

// 0 and the picture's width and height, or -1 (outputs untouched) when it cannot be found
// or measured.
int32_t TilePictureSize(const fichier* file, int32_t* width, int32_t* height);

// A whole tile picture at its own size in four planes: red, green, blue and its fourth
// plane (255 where the file has no alpha).
struct TilePicture {
  plat::Block<uint8_t> block;
  int32_t width = 0;
  int32_t height = 0;
  uint8_t* plane(int k) const { return block.get() + int64_t{k} * width * height; }
};

// 0, or -1 when the picture cannot be found, measured, held in memory or read.
int32_t LoadTilePicture(const fichier* file, TilePicture* picture);

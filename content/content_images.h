// The default content library: small pictures made from formulas and seeded
// noise (tiles, textures, edges, mouldings, backdrops, sprays, painter brushes
// and papers, lights and displacement maps), written into the content folders
// of a maker's folder.
//
// Everything is drawn from fixed seeds, so two runs give the same files.
// Tiles wrap: their noise repeats with the picture's size, so they can be
// laid edge to edge without seams.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace content {

// An 8-bit RGB picture with a fourth byte per pixel: opaque unless the picture sets its
// alpha, and written only for the items that keep it.
struct Picture {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> pixels;  // width x height x 4 bytes, row 0 at the top

  Picture(uint32_t w, uint32_t h) : width(w), height(h), pixels(size_t{w} * h * 4, 0) {}
  void Set(uint32_t x, uint32_t y, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t* p = pixels.data() + (size_t{y} * width + x) * 4;
    p[0] = r;
    p[1] = g;
    p[2] = b;
    p[3] = 255;
  }
  void SetGrey(uint32_t x, uint32_t y, uint8_t v) { Set(x, y, v, v, v); }
  void SetAlpha(uint32_t x, uint32_t y, uint8_t a) { pixels[(size_t{y} * width + x) * 4 + 3] = a; }
};

// One file of the library: where it goes below the maker's folder
// ("Tiles1/Displace/ripple.tif"), how it is drawn, and whether its alpha is written
// (an RGBA TIFF with straight alpha; the others are written opaque).
struct Item {
  std::string path;
  Picture (*draw)();
  bool alpha = false;
};

// Every file of the library, folder by folder.
const std::vector<Item>& Library();

// Every content folder, relative to the maker's folder, in the order a
// missing file is looked for in them.
const std::vector<std::string>& ContentFolders();

// Makes the folders and writes every file below `makersFolder` (created
// when missing; files already there are replaced, others left alone).
// False, with a message, on the first failure.
bool MakeLibrary(const std::string& makersFolder, std::string* message);

}  // namespace content

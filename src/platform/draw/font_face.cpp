#include "platform/draw/font_face.h"

#include <cstdlib>

namespace plat::draw {
namespace {

struct Face {
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
  Face() {
    if (FT_Init_FreeType(&lib) != 0) {
      lib = nullptr;
      return;
    }
    const char* env = std::getenv("VMK_FONT_FILE");
    const char* candidates[] = {env, "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                                "/usr/share/fonts/dejavu/DejaVuSans.ttf"};
    for (const char* path : candidates) {
      if (path != nullptr && FT_New_Face(lib, path, 0, &face) == 0) return;
      face = nullptr;
    }
  }
  ~Face() {
    if (face != nullptr) FT_Done_Face(face);
    if (lib != nullptr) FT_Done_FreeType(lib);
  }
};

}  // namespace

FT_Face SharedFace() {
  static Face f;
  return f.face;
}

std::mutex& SharedFaceLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace plat::draw

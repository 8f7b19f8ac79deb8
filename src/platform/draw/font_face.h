// Internal to the drawing ports: the one FreeType face that text drawing and
// glyph outlines share (DejaVu Sans, or the file VMK_FONT_FILE names).
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

namespace plat::draw {

// The shared face, or null when no font file could be opened. Its size is
// whatever the last caller set; set it before every use.
FT_Face SharedFace();

}  // namespace plat::draw

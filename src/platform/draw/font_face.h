// Internal to the drawing ports: the one FreeType face that text drawing and
// glyph outlines share (DejaVu Sans, or the file VMK_FONT_FILE names).
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <mutex>

namespace plat::draw {

// The shared face, or null when no font file could be opened. Its size is
// whatever the last caller set; set it before every use.
FT_Face SharedFace();

// Held from setting the face's size to the last read of its glyph slot: labels are drawn on
// the interface thread while the previews set text on their workers, and a FreeType face
// serves one thread at a time.
std::mutex& SharedFaceLock();

}  // namespace plat::draw

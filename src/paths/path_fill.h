// Scan-line fill of path lists into opacity masks.
//
// The closed areas of a list's paths become an 8-bit (or 16-bit) mask: every
// path is flattened into horizontal crossings, one list per mask row, and
// each row is filled between its sorted crossings by the even-odd rule. Three
// finishes exist: a soft fill whose span ends and shallow edges carry
// fractional opacity, the same written as 16-bit samples, and a hard fill
// widened by a circular feather. FillColinPath fills the soft mask and blends
// a colour into up to four channel planes inside it at once.
//
// Masks are never cleared here: callers pass a zeroed mask. Every write stays
// inside the mask whatever the crossings say. Results are 0 (VFFillOpaCharBuf:
// 1) for success and -1 when work memory cannot be had; rows done before a
// failure stay written.
#pragma once

#include <cstdint>

class CPathList;

// One crossing of a mask row.
struct VFPt {
  float x = 0.0f;         // column in mask pixels, fractional
  VFPt* next = nullptr;   // following crossing, null at the end
};

// The crossings of one mask row, in the order they were found. The line owns
// its points. The count is 32-bit so that a row crossed by a dense figure
// (a spirograph of many turns) never wraps.
class VFLine {
 public:
  VFLine() = default;
  ~VFLine();
  VFLine(const VFLine&) = delete;
  VFLine& operator=(const VFLine&) = delete;

  // Appends a crossing at the tail; returns the new point.
  VFPt* Attach(float x);
  // Sorts the values ascending in place (the points keep their order, the
  // values move); left as it is when no work array can be had.
  void Sort();

  VFPt* head = nullptr;
  int32_t count = 0;

 private:
  VFPt* tail_ = nullptr;  // so that appending does not walk the row
};

// Flattens the paths of the list (mode 1: only the active ones) into the rows
// (height entries), crossings in mask pixels at x' = scaleX * x and
// y' = scaleY * (flipHeight - y). 0, or -1 when a sample table cannot be had
// (the crossings found so far stay in the rows).
int32_t Fill_Px_Py(int16_t mode, CPathList* list, VFLine** rows, int32_t height, int32_t width,
                   int32_t spare1, int32_t spare2, int32_t flipHeight, float scaleX, float scaleY);

// The soft 8-bit fill of the rows at value, and, when channels is not 0, the
// blend of colour into the planes inside it. 1 when every row is done, -1
// when a work array cannot be had.
int32_t VFFillOpaCharBuf(uint8_t* mask, int32_t height, int32_t width, VFLine** rows,
                         int32_t value, uint8_t* plane0, uint8_t* plane1, uint8_t* plane2,
                         uint8_t* plane3, int32_t planeHeight, int32_t planeWidth, int32_t left,
                         int32_t top, int32_t right, int32_t bottom, int16_t channels,
                         const uint8_t* selection, const uint8_t* colour, const int16_t* opacity);

// Fills the list into the mask: feather 0 the soft fill (depth 1 bytes, any
// other depth 16-bit samples), feather R > 0 a hard fill with a feather of
// radius R at the given scale.
int32_t FillColPath(int16_t mode, CPathList* list, int32_t height, int32_t width, uint8_t* mask,
                    int16_t depth, int32_t flipHeight, float scaleX, float scaleY,
                    int32_t spare1, int32_t spare2, int32_t value, int32_t feather);

// Fills the soft 8-bit mask at 255 and blends colour (one byte per channel) at
// *opacity into the planes inside it, through the selection plane, over the
// columns left to right (inclusive). Planes and selection share the row step
// planeWidth. At most 4 channels; a missing plane ends the channels there; no
// selection plane counts as fully selected.
int32_t FillColinPath(int16_t mode, CPathList* list, int32_t height, int32_t width,
                      uint8_t* mask, int32_t flipHeight, uint8_t* plane0, uint8_t* plane1,
                      uint8_t* plane2, uint8_t* plane3, int32_t planeHeight, int32_t planeWidth,
                      int32_t left, int32_t top, int32_t right, int32_t bottom,
                      int16_t channels, const uint8_t* selection, const uint8_t* colour,
                      const int16_t* opacity);

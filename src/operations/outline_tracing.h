// Outline tracing: the closed chains of pixel corners around every area of
// one sample value of an 8-bit plane (its outer boundary and each hole),
// the outline list's own bookkeeping, the mapping of a list into a
// quadrilateral, and a centre-line tracer for one-pixel strokes.
//
// Coordinates are pixel corners with y counted upward: the pixel at row r,
// column c of a plane of height H has its top-left corner at (c, H - r) and
// its bottom-right corner at (c + 1, H - r - 1).
//
// Lists and outlines are plain records that the edge layers and the
// extrusion engine walk by pointer and count. Their arrays live on the C
// heap; every array is held at the next power of two of its length, so an
// append may follow any copy and growth doubles. A list belongs to the
// caller, who frees it with free_pixel_outline_list.
//
// Errors: the caller's 16-bit abort flag is set to -1 on an edge number
// that cannot be, and when memory for the mark array or a growing array is
// refused; every routine stops as soon as it reads -1 and a tracing that
// stopped hands back an empty list.
#pragma once

#include <cstdint>
#include <optional>

struct coords {
  uint32_t x;
  uint32_t y;
};

struct pixel_outline_type {
  coords* data;        // the points, null when empty
  uint32_t length;     // number of points
  int16_t clockwise;   // 0 outer boundary, 1 hole
  unsigned char color; // the area's sample value
  int16_t open;        // 1 for a centre line that ends without closing
};

struct pixel_outline_list_type {
  pixel_outline_type* data;  // the outlines, null when empty
  uint32_t length;           // number of outlines
};

enum edge_type : int16_t { RIGHT = 0, TOP = 1, LEFT = 2, BOTTOM = 3, NO_EDGE = 4 };

enum direction_type : int16_t {
  NORTH = 0,
  NORTHWEST = 1,
  WEST = 2,
  SOUTHWEST = 3,
  SOUTH = 4,
  SOUTHEAST = 5,
  EAST = 6,
  NORTHEAST = 7
};

// ---- Tracing ----

// Every outline of every area whose value is not `background`, in the order
// their first pixels are met row by row: outer boundaries counter-clockwise
// (clockwise 0), holes of an area in the background clockwise (clockwise 1,
// the area's value). A hole filled by another value is walked but not
// recorded. Empty, abort flag -1, when memory is refused.
pixel_outline_list_type find_outline_pixels(const unsigned char* plane, int32_t height,
                                            int32_t width, unsigned char background,
                                            int16_t* abortFlag);

// One outline from `edge` of pixel (row, col), marking every edge walked in
// `marked` (one byte a pixel, bit 1 << edge). With `ignore` set nothing is
// recorded. Empty when the abort flag ends at -1.
pixel_outline_type find_one_outline(const unsigned char* plane, int32_t height, int32_t width,
                                    edge_type edge, int32_t row, int32_t col,
                                    unsigned char* marked, int16_t clockwise, int16_t ignore,
                                    int16_t* abortFlag);

// The start point of the edge that follows (edge, row, col) on the outline
// of `value`; all three are moved to it. The edge becomes NO_EDGE when the
// outline is closed.
coords next_point(const unsigned char* plane, int32_t height, int32_t width, edge_type* edge,
                  int32_t* row, int32_t* col, unsigned char value, int16_t clockwise,
                  const unsigned char* marked, int16_t* abortFlag);

// 1 when pixel (row, col) has `value` and its neighbour across `edge` is
// outside the plane or differs, else 0. An edge other than the four sides
// sets the abort flag to -1.
int16_t is_outline_edge(edge_type edge, const unsigned char* plane, int32_t height,
                        int32_t width, int32_t row, int32_t col, unsigned char value,
                        int16_t* abortFlag);

// 0 when the edge has been walked already, else is_outline_edge.
int16_t is_unmarked_outline_edge(int32_t row, int32_t col, edge_type edge,
                                 const unsigned char* plane, int32_t height, int32_t width,
                                 const unsigned char* marked, unsigned char value,
                                 int16_t* abortFlag);

// ---- List bookkeeping ----

// Appends a point; -1 with the outline as it was when memory is refused.
int16_t append_outline_pixel(pixel_outline_type* outline, coords point);
// Appends the record, taking over its point array; -1 with the list as it
// was (and the array still the caller's) when memory is refused.
int16_t append_pixel_outline(pixel_outline_list_type* list, pixel_outline_type outline);
// A deep copy into `dest` (whose old contents are not freed). -1 with an
// empty destination when memory is refused.
int16_t newcopy_pixel_outline_list(const pixel_outline_list_type* source,
                                   pixel_outline_list_type* dest);
// Frees every point array and the record array; the list becomes empty.
void free_pixel_outline_list(pixel_outline_list_type* list);

// Bounding box of an outline or a list, as the corners (min x, min y),
// (max x, min y), (max x, max y), (min x, max y). Bounds start at 64000 and
// 0, so an empty outline answers min 64000, max 0.
void MinMaxOutline(const pixel_outline_type* outline, float x[4], float y[4]);
void MinMaxOutlineList(const pixel_outline_list_type* list, float x[4], float y[4]);

// Joins consecutive points (the last back to the first) by unit steps along
// the major axis; `count` is the number of points emitted, written to
// output->data when output is not null (the caller sizes it with a first
// call with a null output).
void CountExpandedOutline(const pixel_outline_type* outline, pixel_outline_type* output,
                          uint32_t* count);

// Maps every point of `source` into the quadrilateral of corners 0..3
// (qx, qy) through its bounding box, and re-densifies each outline into
// the destination record of the same index; only as many records as
// `dest` holds are written, and their old point arrays are freed. The two
// float pointers are not read. -1 when memory is refused (the records not
// yet written keep their old contents).
int16_t DistortInQuadOutlineList(const pixel_outline_list_type* source,
                                 pixel_outline_list_type* dest, float* unusedA, float* unusedB,
                                 const float qx[4], const float qy[4]);

// ---- Centre lines ----

// The centre lines of one-pixel-wide strokes of every value but the
// background, as open (open 1) or closed outlines of pixel positions
// (column, H - row - 1). A line starts at a stroke pixel that is not a
// junction (at most two neighbours of its value), from which east is a
// valid step and where neither it nor its east neighbour has been walked.
pixel_outline_list_type find_centerline_pixels(const unsigned char* plane, int32_t height,
                                               int32_t width, unsigned char background,
                                               int16_t* abortFlag);

// One centre line from (row, col) leaving towards `dir`; `marked` holds one
// bit per direction and pixel.
pixel_outline_type find_one_centerline(const unsigned char* plane, int32_t height, int32_t width,
                                       int32_t row, int32_t col, direction_type dir,
                                       unsigned char* marked, int16_t* abortFlag);

// 1 when the step from (row, col) towards `dir` has not been taken, stays
// inside the plane and reaches the same sample.
int16_t is_valid_dir(int32_t row, int32_t col, direction_type dir, const unsigned char* plane,
                     int32_t height, int32_t width, const unsigned char* marked);

// Number of the eight neighbours of (row, col) with the same sample.
int16_t num_neighbors(int32_t row, int32_t col, const unsigned char* plane, int32_t height,
                      int32_t width);

// Lets a test refuse growth of the outline arrays after `allowed` more
// successful growths (nullopt lifts the limit).
void setOutlineGrowthLimitForTesting(std::optional<int64_t> allowed);

// The edge weighting shared by the sharpening and the median that spare
// flat areas (edge_filters.cpp).
#pragma once

#include <cstdint>

// For rows y0 <= y < y1 (the region's last row is left as it was) and
// columns x0..x1 of the clamped region: t = table[edge] * 100 / 255 of the
// raster core's contrast table of strength 40, and the sample becomes
// (t * sample + (100 - t) * other) / 100. Where the edge map is white (flat)
// the plane keeps its own samples, where it is dark `other` comes through.
void MixByEdges(unsigned char* plane, const unsigned char* edges, const unsigned char* other,
                int32_t width, int32_t height, int32_t x0, int32_t y0, int32_t x1, int32_t y1);

// Run-length streams as the resize and grid presets store them: (count, value) pairs of
// 32-bit words, the value sign-extended from the plane's sample (see raster/run_length.h).
//
// A stored plane is read back into a plane of another size by nearest sample: output row
// y reads stored row trunc((H / height) * y), column x stored column trunc((W / width) * x),
// the ratios in single precision. That walks the stored plane in increasing order, so the
// runs are followed with a cursor and the stored plane itself is never unpacked: a stream
// that claims a huge plane costs no memory, and what it claims is checked first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/bytes/byte_order.h"

namespace vmkrec {

// Reads `count` stream words at the reader's position, in its order, into host-order
// words. False (nothing kept) for a negative or odd count or one that runs past the end.
bool ReadRunWords(plat::bytes::Reader& reader, int32_t count, std::vector<uint32_t>* words);

// True when the runs of `words` (runs of 0 or less add nothing) cover at most
// `samples` samples: a stream that fits a plane of that many samples.
bool RunsFit(const std::vector<uint32_t>& words, int64_t samples);

// Nearest-sample copy of the stored srcWidth x srcHeight plane coded by `words` (checked
// with RunsFit) into `dst`, dstWidth x dstHeight samples with rows dstWidth apart.
// Samples the runs do not reach read as 0. Nothing is written when a size is not positive.
void ResampleRuns(const std::vector<uint32_t>& words, int32_t srcWidth, int32_t srcHeight,
                  uint8_t* dst, int32_t dstWidth, int32_t dstHeight);
void ResampleRuns(const std::vector<uint32_t>& words, int32_t srcWidth, int32_t srcHeight,
                  int16_t* dst, int32_t dstWidth, int32_t dstHeight);

// Appends the host-order stream words little-endian.
void WriteRunWords(plat::bytes::Writer& writer, const std::vector<uint32_t>& words);

}  // namespace vmkrec

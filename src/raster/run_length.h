// Run-length coding of 8-, 16- and 32-bit buffers, as carried in preset
// files.
//
// The coded form is a sequence of (run length, value) pairs of 32-bit words
// in buffer order; runs are maximal and do not stop at row ends. The value
// word holds the sample sign-extended to 32 bits (8-bit 200 is 0xFFFFFFC8);
// a decoder uses only the sample's low bits. The words are in the host's
// memory order; the file writers convert them.
//
// mode 0 measures: *count receives the word count (2 x number of runs).
// mode 1 encodes into `coded`, which holds the count that mode 0 found;
//        *count is not written.
// mode 2 decodes *count words into the buffer of width x height samples; a
//        pair whose run length is 0 or less writes nothing.
// Any other mode does nothing. Returns 0, or -1 for a buffer of no samples
// and for a damaged stream (an odd or negative word count, or runs that add
// up to more than the buffer holds), which leaves the buffer untouched.
#pragma once

#include <cstdint>

// The sample a value word carries, as the type that `tag` points to (the
// pointer only picks the overload).
inline uint8_t RunSample(uint32_t word, uint8_t* /*tag*/) {
  return static_cast<uint8_t>(word & 0xFFu);
}
inline int16_t RunSample(uint32_t word, int16_t* /*tag*/) {
  return static_cast<int16_t>(static_cast<uint16_t>(word & 0xFFFFu));
}
inline uint32_t RunSample(uint32_t word, uint32_t* /*tag*/) { return word; }

int32_t encodeRLEcharbuf(int16_t mode, int32_t* count, int32_t width, int32_t height,
                         uint8_t* buffer, uint32_t* coded);
int32_t encodeRLEshortbuf(int16_t mode, int32_t* count, int32_t width, int32_t height,
                          int16_t* buffer, uint32_t* coded);
int32_t encodeRLElongbuf(int16_t mode, int32_t* count, int32_t width, int32_t height,
                         uint32_t* buffer, uint32_t* coded);

// Percentages of 0..255. The user sees and types percent where the records
// and the kernels keep 0..255 (opacities, strengths, selection levels): one
// conversion each way for every dialog, engine and the host, each rounded
// once in double precision, (long)(percent x 2.55 + 0.5) and
// (long)(value / 2.55 + 0.5). So 50 % is 127 (the single-precision product
// made it 128), 90 % is 229 and 128 shows as 50 %.
#pragma once

#include <cstdint>

// percent as 0..255, truncated toward zero like the long it always was; not
// held to any range (an int's percentage always fits the result).
inline int64_t PercentTo255(int32_t percent) {
  return static_cast<int64_t>(static_cast<double>(percent) * 2.55 + 0.5);
}

// The same as the 16-bit word the kernels take, held to its range first: a
// damaged record's percentage of millions is no wrapped or undefined number.
inline int16_t PercentTo255Int16(int32_t percent) {
  const int64_t v = PercentTo255(percent);
  return static_cast<int16_t>(v < INT16_MIN ? INT16_MIN : (v > INT16_MAX ? INT16_MAX : v));
}

// value of 0..255 as the whole percent a field or slider shows.
inline int32_t PercentOf255(int32_t value) { return static_cast<int32_t>(static_cast<double>(value) / 2.55 + 0.5); }

// What a percent field gives back. The two roundings do not undo each other
// (100 shows as 39 %, which is 99; 128 shows as 50 %, which is 127), so a
// field that still shows the percent of the stored value leaves that value
// as it is: opening a dialog and pressing OK changes nothing. A percent the
// user typed or slid is converted.
inline int64_t PercentFieldTo255(int32_t stored, int32_t shown) {
  return PercentOf255(stored) == shown ? stored : PercentTo255(shown);
}

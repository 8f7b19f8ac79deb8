// Small helpers for text, numbers, measuring units,
// rectangles, sorting and run-length coding. None keeps state.
#pragma once

#include <cstdint>

#include "app/core/pascal_strings.h"
#include "platform/types/mac_types.h"

// ---- numbers and text ----

// The integer at the start of a C string (leading blanks skipped, a sign
// allowed); 0 when the text does not begin with a number. Values beyond the
// 32-bit range are held at its ends.
void VMK_StringToNum(const char* text, int32_t* value);
// Decimal text of a value as a length-prefixed string.
void VMK_NumToString(int32_t value, unsigned char* text);
// 1 and the value when the text is all digits (at least one) and its value
// lies in minimum..maximum; else 0 and `value` is not written.
int16_t ConvertString(const unsigned char* text, int16_t* value, int16_t minimum, int16_t maximum);
// Fixed-point text with decimals + 1 fraction digits, e.g. 1.05 with 3 gives
// "1.0500" and -0.5 gives "-0.5000"; a fraction that rounds up to a whole
// unit raises the integer part (1.99999 gives "2.0000"). Negative decimals
// count as 0, more than 9 as 9. Returns the end of the text (its zero); the
// buffer needs room for 64 characters.
char* FloatToStr(char* text, float value, int16_t decimals);

// ---- measuring units ----

// Unit codes shared by every dialog that shows a length.
enum : int16_t {
  kUnitPixels = 1,
  kUnitMillimetres = 2,
  kUnitInches = 3,
  kUnitPoints = 4,
  kUnitPicas = 5,
};

// Pixels for a value in a unit at `resolution` pixels per inch; nothing is
// written for an unknown unit.
void pixfromunit(int32_t* pixels, int16_t unit, float value, float resolution);
// The value in a unit for a pixel count; nothing is written for an unknown
// unit.
void valfromunit(int32_t pixels, int16_t unit, float* value, float resolution);

// ---- rectangles ----

void ConvertCGRecttoRect(CGRect r, Rect* out);
void ConvertCGRecttoRect(float x, float y, float width, float height, Rect* out);
void ConvertRecttoCGRect(Rect r, CGRect* out);
void VMK_SetRect(Rect* r, int16_t left, int16_t top, int16_t right, int16_t bottom);
// The rectangle spanned by two points.
void setuprect(Rect* r, Point a, Point b);
// 1 when the point lies strictly inside (no edge counts), else 0.
int16_t InRect(Rect r, Point p);

// ---- sorting and run-length coding ----

// Sorts a[lo..hi] (both included) ascending in place.
void QuickSort(int32_t* a, int32_t lo, int32_t hi);
// PackBits coding of `count` bytes; `*length` receives the bytes written.
// The destination needs count + (count + 127) / 128 bytes.
void PackBit(const uint8_t* source, int32_t count, uint8_t* destination, int32_t* length);
// Decodes until `count` bytes are written (never more); returns the source
// position of the header being worked on when it stopped.
const uint8_t* UnPackBit(const uint8_t* source, uint8_t* destination, int32_t count);

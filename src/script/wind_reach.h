// How far the wind carries a picture along its direction, for the previews that draw a wind
// of the picture's pixels on planes of another scale.
//
// Each pixel's streak pulls the samples 4 to S - 1 steps ahead toward the pixel's value, by
// floor(k / 4) / L at step k, and the pixels after it read what the streaks before them
// wrote: the picture is carried on from streak to streak, much further than a streak is long,
// and the first four steps carry nothing. A streak's length in the picture's pixels scaled
// down with the picture draws a far shorter wind (length 18 on a fifth of a photograph's
// planes is 3 steps, which draw nothing at all); the preview takes the length whose wind
// carries its planes as far as the picture's wind carries the picture, scaled.
#pragma once

#include <cstdint>

// The mean and the standard deviation, in samples along the wind, of how far the wind of
// `length` and `randomness` (0 .. 10) carries a sample's value on the average over its
// random streaks: the pull a smooth picture shows, the rounding of the samples left aside.
// Infinite where the carried share of a sample's own value is too small to hold in a double.
struct WindPull {
  double mean = 0.0;
  double spread = 0.0;
};
WindPull WindPullOf(int32_t length, int32_t randomness);

// The length of the wind that, on planes `scale` times the picture's size each way (smaller
// or larger), carries its planes as the wind of `length` and `randomness` carries the picture
// once that is scaled as much: the nearest mean and spread. A length of 4 or less carries
// nothing at any scale and stays at most itself. A randomness outside 0 .. 10 (streaks
// longer than the length) gives the length scaled as a length.
int16_t FittedWindLength(int16_t length, int16_t randomness, float scale);

// How far around a sample a render reads the samples it writes that sample from, for the
// previews that render only the part of a picture a zoomed view shows: that part and a margin
// of the reach around it give the same samples there as a render of the whole picture at the
// same scale.
//
// Only operations whose result at a sample is a function of the samples within a fixed
// distance of it have a reach: those that map each sample by its value (tables, arithmetic of
// two planes, colour shifts, fills of one colour) reach 0; the rank filters, the pyramid blur,
// relief, contour growth, median and motion blur reach as far as their radius or length. Every
// other operation reaches the whole picture (kReachesWhole): one that places what it draws by
// where the sample lies (the transform, offsets, waves, twirl, mirror, kaleidoscope, gradients,
// frames, tiles, paths, a colour selection's circle), reads the whole picture or a file
// (histogram levels, palettes, loaded planes, swap slots), draws random numbers by position
// (noise, grain, fog, plasma, the wind's streaks, which also carry a row on from streak to
// streak without end), and every engine and render step.
#pragma once

#include <cstdint>

class ScriptFile;
struct Oprn;

inline constexpr int32_t kReachesWhole = -1;

// The reach of one operation as the script holds it (its lengths read at the planes' scale),
// in plane samples each way; kReachesWhole when it has none.
int32_t OperationReach(const Oprn& op);

// The reach of everything a render of `stack` runs (the active operations of the active
// layers, each reading what the ones before it wrote): the sum of their reaches, or
// kReachesWhole when one of them has none.
int32_t StackReach(const ScriptFile& s, int16_t stack);

// How far the pyramid blur of `radius` reads (halvings, box passes and doublings together).
int32_t BlurReach(int32_t radius);

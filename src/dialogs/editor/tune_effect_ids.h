// The controls of the operation-list editor's two windows ("TuneEff" and
// "ImaEff", signature 'Teff'), by number.
#pragma once

#include <cstdint>

#include "platform/types/mac_types.h"

namespace tuneeff {

inline constexpr OSType kSignature = FourCC("Teff");

enum : int32_t {
  kOperationPopup = 41,
  kActiveCheck = 47,
  kKindPopup = 42,
  kSourcePopup = 43,
  kSourceLabel = 37,
  kDestPopup = 44,
  kMaskModePopup = 45,
  kMaskChannelPopup = 46,
  kMaskChannelLabel = 40,
  kBlendPopup = 31,
  kBlendLabel = 34,
  kOpacitySlider = 29,
  kOpacityLabel = 13,
  kOpacityEdit = 30,
  kAdjustButton = 33,
  kSwatch1 = 49,
  kSwatch2 = 50,
  kSwatch3 = 72,
  kSelectionPopup = 70,
  kPreviewCheck = 32,
  kChannelPopup = 52,
  kAlwaysOne = 51,
  kRedText = 73,
  kGreenText = 74,
  kBlueText = 75,
  kStoredPopup = 67,
  kThumbScroll = 65,
  kImageToolsPopup = 69,
  kPreviewFrame = 68,
  kAddButton = 71,
};

// Rows 1 to 5: minimum and maximum texts, title, slider and number field.
inline constexpr int32_t kRowMinimum[5] = {2, 4, 6, 8, 10};
inline constexpr int32_t kRowMaximum[5] = {3, 5, 7, 9, 11};
inline constexpr int32_t kRowTitle[5] = {14, 17, 20, 23, 26};
inline constexpr int32_t kRowSlider[5] = {15, 18, 21, 24, 27};
inline constexpr int32_t kRowEdit[5] = {16, 19, 22, 25, 28};
// Thumbnail slots 1 to 3: view and name.
inline constexpr int32_t kThumbView[3] = {59, 57, 55};
inline constexpr int32_t kThumbName[3] = {60, 58, 56};

// Every control the editor looks up, in the order of its table.
inline constexpr int32_t kLookup[] = {
    41, 47, 42, 43, 37, 44, 45, 46, 40, 31, 34, 29, 13, 30, 33, 49, 50, 72, 70, 32, 52,
    51, 73, 74, 75, 2,  4,  6,  8,  10, 3,  5,  7,  9,  11, 14, 17, 20, 23, 26, 15, 18,
    21, 24, 27, 16, 19, 22, 25, 28, 67, 65, 59, 57, 55, 60, 58, 56, 69, 68, 71};
static_assert(sizeof(kLookup) / sizeof(kLookup[0]) == 61);

}  // namespace tuneeff

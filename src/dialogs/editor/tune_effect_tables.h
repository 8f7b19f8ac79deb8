// The operation-list editor's tables, kept as data so that the window code
// only looks things up and the tests can walk every row:
//   - the families: each family's kind menu (item 1 is "no effect", items 2
//     onward the effect codes in menu order), the string list that names
//     its items, the file type of its effect files and the codes whose
//     adjust button it shows;
//   - the slider layout of every effect code: up to five rows, each editing
//     Param n of the operation, with a title from list 16000 (or a text of
//     its own), a range and, for a few rows, a title chosen by the row's
//     value; a second layout where the code lays out differently on the
//     composite destination (channel 2);
//   - the change of kind: what an operation gets when its kind becomes a
//     code (record, channels, mask, ramp, file record, whether the effect's
//     dialog opens at once);
//   - the code sets of the window's show flags and of the operation lines.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/types/mac_types.h"

struct ColCorPar;
struct PlaidPar;

namespace tuneeff {

// String lists of the bundle's resource file.
inline constexpr int16_t kSliderTitles = 16000;
inline constexpr int16_t kChannelNames = 16010;
inline constexpr int16_t kMaskTexts = 16012;
// The image-tools window's family.
inline constexpr int16_t kImageTools = 118;

struct Family {
  int16_t family;
  int16_t nameList;  // operation names: item k names kind-menu item k
  OSType fileType;   // of its effect files (0: it saves none)
  std::span<const int16_t> codes;  // kind-menu items 2 onward
  // The codes whose adjust button shows in this family's window; empty:
  // the common set (AdjustShown).
  std::span<const int16_t> adjust;
};

std::span<const Family> Families();
// The family's row, or null for a code that is no family.
const Family* FamilyOf(int16_t family);
// The name an operation list gives the effect code (from the first family whose kind menu
// holds it, the image tools' first); empty when no kind menu holds it.
std::string OperationName(int16_t code);

// ---- slider layout ----
// How a row's title follows its value: titles first + (v - low) for
// low <= v <= high, else `otherwise`; with zeroOutside a value outside
// low..high is shown as 0.
struct ValueTitles {
  int16_t first = 0;
  int16_t low = 0;
  int16_t high = -1;  // high < low: the title does not follow the value
  int16_t otherwise = 0;
  bool zeroOutside = false;
};

struct SliderRow {
  int16_t title = 0;            // item of list 16000; 0 with `text`, or a row not in use
  const char* text = nullptr;   // a title of its own ("red", "25%")
  int32_t minimum = 0;
  int32_t maximum = 0;
  ValueTitles byValue;
  bool used() const { return title != 0 || text != nullptr; }
  bool rgb() const;  // one of the "red", "green", "blue" rows
};

struct SliderLayout {
  std::span<const int16_t> codes;
  SliderRow rows[5];
};

// The rows of a code, on the composite destination or not; null: no rows.
const SliderLayout* LayoutOf(int16_t code, bool composite);
std::span<const SliderLayout> Layouts();
std::span<const SliderLayout> CompositeLayouts();

// ---- show flags ----
bool BlendShown(int16_t code);
bool SourceShown(int16_t code);
bool AdjustShown(int16_t family, int16_t code);

// ---- operation lines and the source popup ----
// The codes whose line names their file record.
bool LineNamesFile(int16_t code);
// The codes whose line says " from " the source, and whose source popup
// ('Pafr') acts.
bool TakesSource(int16_t code);

// ---- change of kind ----
enum class KindRecord : uint8_t { kNone, kColourMatrix, kRecord };

struct KindChange {
  std::span<const int16_t> codes;
  KindRecord record = KindRecord::kNone;
  int16_t recordKind = 0;  // with kRecord: the record kind of the operation's block
  int16_t ramp = -1;       // the preset of a ramp made when the operation has none; -1 none
  int16_t source = 0;      // 0: left as it is
  int16_t maskMode = 0;
  int16_t maskChannel = 0;
  bool paramOneOpacity = false;  // Param1 = the window's opacity
};

// The row of a code, or null (the destination still becomes 2).
const KindChange* KindChangeOf(int16_t code);
std::span<const KindChange> KindChanges();
// The operation gets an empty file record.
bool KindClearsFile(int16_t code);
// The effect's dialog opens at once.
bool KindOpensDialog(int16_t code);

// ---- swatch colours kept in records ----
// Colour `which` (0 first, 1 second) of a plaid (entry 0 of its palettes)
// and of a colour range (the colour matched, the colour put in), as red,
// green, blue 0..255.
void PlaidColour(const PlaidPar& plaid, int which, int16_t rgb[3]);
void SetPlaidColour(PlaidPar* plaid, int which, const int16_t rgb[3]);
void RangeColour(const ColCorPar& record, int which, int16_t rgb[3]);
void SetRangeColour(ColCorPar* record, int which, const int16_t rgb[3]);

}  // namespace tuneeff

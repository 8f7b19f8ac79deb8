#include "dialogs/editor/tune_effect_tables.h"

#include <cstring>

#include "platform/resources/resource_file.h"

namespace tuneeff {
namespace {

// A run of effect codes, both ends included.
struct Run {
  int16_t low;
  int16_t high;
};

template <size_t N>
bool In(const Run (&runs)[N], int16_t code) {
  for (const Run& r : runs)
    if (code >= r.low && code <= r.high) return true;
  return false;
}

bool In(std::span<const int16_t> codes, int16_t code) {
  for (int16_t c : codes)
    if (c == code) return true;
  return false;
}

// ---- the families' kind menus ----
// clang-format off
constexpr int16_t k41[] = {24, 25, 43, 41, 19, 56};
constexpr int16_t k42[] = {24, 25, 42, 53};
constexpr int16_t k58[] = {2, 10, 27, 20, 24, 25, 58};
constexpr int16_t k92[] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                           23, 24, 25, 29, 32, 33, 34, 53, 54, 43, 56, 71, 69, 63, 81, 77, 92};
constexpr int16_t k94[] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                           23, 22, 24, 25, 29, 32, 33, 34, 53, 54, 43, 56, 71, 69, 63, 79, 77, 94};
constexpr int16_t k100[] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 16, 17, 18, 23, 53, 56, 96, 97, 100};
constexpr int16_t k106[] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                            23, 24, 25, 29, 32, 53, 54, 107, 96, 97, 106};
constexpr int16_t k111[] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                            23, 24, 25, 29, 32, 53, 54, 107, 96, 97, 111};
constexpr int16_t k114[] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                            23, 24, 25, 29, 32, 33, 53, 54, 37, 38, 39, 40, 61, 75};
constexpr int16_t k115[] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                            22, 23, 24, 25, 26, 27, 63, 29, 32, 33, 34, 44, 53, 54, 43, 71, 79, 69,
                            83, 84, 96, 97, 109};
constexpr int16_t k116[] = {25, 77, 17, 10, 33, 54, 53, 52};
constexpr int16_t k117[] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                            22, 23, 24, 25, 26, 27, 63, 29, 32, 33, 34, 44, 53, 54, 43, 71, 79, 77,
                            86, 91, 96, 97};
constexpr int16_t k118[] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 78, 16, 17, 18, 60, 19, 20,
                            21, 22, 23, 24, 25, 112, 119, 63, 29, 79, 32, 33, 34, 44, 53, 54, 43,
                            71, 77, 86, 95, 83, 84, 96, 97, 120, 121, 122, 123};

// The adjust button of the families that only adjust their own effects and files.
constexpr int16_t a41[] = {41, 43, 24, 25};
constexpr int16_t a42[] = {42, 24, 25};
constexpr int16_t a58[] = {58, 93, 24, 25};
constexpr int16_t a106[] = {106, 24, 25};
constexpr int16_t a111[] = {111, 24, 25};

const Family kFamilies[] = {
    {41, 16170, FourCC("aCH5"), k41, a41},
    {42, 16160, FourCC("aCH7"), k42, a42},
    {58, 16150, FourCC("aC15"), k58, a58},
    {92, 16100, FourCC("aCH3"), k92, {}},
    {94, 16190, FourCC("aC14"), k94, {}},
    {100, 16140, FourCC("aC20"), k100, {}},
    {106, 16200, FourCC("aC27"), k106, a106},
    {111, 16202, 0, k111, a111},
    {114, 16110, FourCC("aCH4"), k114, {}},
    {115, 16130, FourCC("aC12"), k115, {}},
    {116, 16120, FourCC("aC10"), k116, {}},
    {117, 16180, FourCC("aCH1"), k117, {}},
    {118, 16204, FourCC("aC28"), k118, {}},
};

// ---- the slider layouts ----
constexpr SliderRow Row(int16_t title, int32_t minimum, int32_t maximum) {
  return SliderRow{title, nullptr, minimum, maximum, {}};
}
constexpr SliderRow Text(const char* text, int32_t minimum, int32_t maximum) {
  return SliderRow{0, text, minimum, maximum, {}};
}
constexpr SliderRow ByValue(int32_t minimum, int32_t maximum, ValueTitles titles) {
  return SliderRow{titles.otherwise, nullptr, minimum, maximum, titles};
}
constexpr SliderRow kRed = Text("red", 0, 255);
constexpr SliderRow kGreen = Text("green", 0, 255);
constexpr SliderRow kBlue = Text("blue", 0, 255);
constexpr SliderRow kNo{};

constexpr int16_t c2_6[] = {2, 3, 4, 5, 6};
constexpr int16_t c7_8[] = {7, 8};
constexpr int16_t c10[] = {10};
constexpr int16_t c27[] = {27};
constexpr int16_t c34_48[] = {34, 48};
constexpr int16_t c47[] = {47};
constexpr int16_t c11[] = {11};
constexpr int16_t c12[] = {12};
constexpr int16_t c13[] = {13};
constexpr int16_t c14[] = {14};
constexpr int16_t c15[] = {15};
constexpr int16_t c16[] = {16};
constexpr int16_t c17[] = {17};
constexpr int16_t c18[] = {18};
constexpr int16_t c19[] = {19};
constexpr int16_t c20[] = {20};
constexpr int16_t c21[] = {21};
constexpr int16_t c22[] = {22};
constexpr int16_t c23[] = {23};
constexpr int16_t c24[] = {24};
constexpr int16_t c25[] = {25};
constexpr int16_t c28[] = {28};
constexpr int16_t c29[] = {29};
constexpr int16_t c32[] = {32};
constexpr int16_t c33[] = {33};
constexpr int16_t c35[] = {35};
constexpr int16_t c36[] = {36};
constexpr int16_t c51[] = {51};
constexpr int16_t c37[] = {37};
constexpr int16_t c38_40[] = {38, 39, 40};
constexpr int16_t c43[] = {43};
constexpr int16_t c41[] = {41};
constexpr int16_t c42_49[] = {42, 49};
constexpr int16_t c44[] = {44};
constexpr int16_t c50[] = {50};
constexpr int16_t c52[] = {52};
constexpr int16_t c53[] = {53};
constexpr int16_t c54[] = {54};
constexpr int16_t c55[] = {55};
constexpr int16_t c56[] = {56};
constexpr int16_t c60[] = {60};
constexpr int16_t c61[] = {61};
constexpr int16_t c63[] = {63};
constexpr int16_t c66[] = {66};
constexpr int16_t c68[] = {68};
constexpr int16_t c69[] = {69};
constexpr int16_t c71[] = {71};
constexpr int16_t c72[] = {72};
constexpr int16_t c75[] = {75};
constexpr int16_t c78[] = {78};
constexpr int16_t c79[] = {79};
constexpr int16_t c83[] = {83};
constexpr int16_t c84[] = {84};
constexpr int16_t c86[] = {86};
constexpr int16_t c87[] = {87};
constexpr int16_t c88[] = {88};
constexpr int16_t c91[] = {91};
constexpr int16_t c95[] = {95};
constexpr int16_t c96_97[] = {96, 97};
constexpr int16_t c98[] = {98};
constexpr int16_t c99[] = {99};
constexpr int16_t c107[] = {107};
constexpr int16_t c108[] = {108};
constexpr int16_t c112[] = {112};
constexpr int16_t c120[] = {120};
constexpr int16_t c121[] = {121};
constexpr int16_t c122[] = {122};

const SliderLayout kLayouts[] = {
    {c2_6, {Row(11, 0, 255)}},
    {c7_8, {Row(24, 0, 100), Row(25, 0, 100)}},
    {c10, {Row(22, 0, 255), Row(23, 0, 255)}},
    {c27, {Row(7, 0, 255), Row(23, 0, 255)}},
    {c34_48, {Row(7, 0, 255), Row(23, 0, 255), Row(22, 0, 255)}},
    {c47, {Row(7, -512, 512), Row(23, 0, 255)}},
    {c11, {Row(7, 1, 60)}},
    {c12, {Row(7, 1, 10), Row(8, 0, 255), Row(9, 0, 359), Row(10, 1, 4)}},
    {c13, {Text("0%", 0, 255), Text("25%", 0, 255), Text("50%", 0, 255), Text("75%", 0, 255),
           Text("100%", 0, 255)}},
    {c14, {Row(15, 0, 255), Row(16, 0, 255)}},
    {c15, {Row(12, 2, 128)}},
    {c16, {Row(13, -255, 255)}},
    {c17, {Row(14, -128, 128), Row(13, -255, 255), Row(87, 0, 1)}},
    {c18, {Row(19, -180, 180), Row(20, -100, 100), Row(13, -100, 100)}},
    {c19, {Row(5, -500, 500), Row(6, -500, 500)}},
    {c20, {Row(27, 1, 100), Row(28, 1, 100), Row(23, 0, 255)}},
    {c21, {Row(27, 1, 100), Row(28, 1, 100), Row(29, 10, 255), Row(30, 10, 255), Row(23, 0, 255)}},
    {c22, {Row(26, 0, 100), Row(19, -180, 180), Row(20, -100, 100), Row(13, -100, 100),
           Row(14, -128, 128)}},
    {c23, {Row(22, 0, 255), Row(32, 0, 255)}},
    {c24, {Row(65, 0, 360), Row(66, 0, 100), Row(86, 0, 1)}},
    {c25, {Row(17, 10, 1000), Row(18, 10, 1000), Row(65, 0, 360), Row(66, 0, 100)}},
    {c28, {Row(32, 0, 255), Row(31, 1, 255)}},
    {c29, {Row(9, 0, 359), Row(32, 0, 255)}},
    {c32, {Row(8, 0, 50), Row(9, 0, 360), Row(26, 0, 10)}},
    {c33, {Row(7, 1, 60), Row(5, -100, 100), Row(6, -100, 100), Row(22, 0, 255), Row(32, 0, 255)}},
    {c35, {Row(22, 0, 255), Row(17, 1, 300), Row(18, 1, 300), Row(33, 0, 2000),
           ByValue(0, 5, {36, 0, 5, 33})}},
    {c36, {Row(22, 0, 255), Row(17, 1, 300), Row(18, 1, 300), Row(34, 1, 100),
           ByValue(1, 3, {37, 1, 3, 34})}},
    {c51, {Row(22, 0, 255), Row(17, 1, 128), Row(59, 1, 128), ByValue(1, 3, {37, 1, 3, 59}),
           Row(9, -100, 100)}},
    {c37, {Row(52, 0, 100), Row(53, 0, 100), Row(23, 0, 255), Row(54, 0, 100), Row(55, 0, 100)}},
    {c38_40, {Row(22, 0, 255), Row(52, 1, 100), Row(53, 1, 100), Row(54, 1, 100), Row(55, 1, 100)}},
    {c43, {Row(57, 0, 2)}},
    {c41, {Row(22, 0, 255), Row(29, 1, 100), Row(30, 1, 100)}},
    {c42_49, {Row(22, 0, 255)}},
    {c44, {Row(22, 0, 255), Row(7, 1, 10), Row(14, -128, 128)}},
    {c50, {Row(17, 1, 200), Row(18, 1, 200), Row(13, -255, 255), Row(14, -128, 128)}},
    {c52, {Row(17, 10, 1000), Row(27, 0, 100), Row(8, 0, 255), Row(9, 0, 359), Row(13, -255, 255)}},
    {c53, {Row(5, -1000, 1000), Row(6, -1000, 1000), Row(17, 10, 1000), Row(18, 10, 1000),
           Row(9, 0, 359)}},
    {c54, {Row(61, 0, 1), Row(62, 0, 1)}},
    {c55, {Row(31, 1, 100), Row(7, 1, 16)}},
    {c56, {Row(17, 1, 999), Row(18, 1, 999), Row(5, -999, 999), Row(6, -999, 999)}},
    {c60, {Row(23, -100, 100), kNo, kNo, Row(14, -128, 128)}},
    {c61, {Row(54, 1, 100), Row(52, 1, 100), Row(23, 0, 255)}},
    {c63, {Row(23, 0, 4), Row(7, 0, 60), Row(14, -128, 128), Row(13, -255, 255), Row(82, 0, 10000)}},
    {c66, {Row(7, 1, 60), Row(74, 1, 100), Row(83, 1, 255)}},
    {c68, {Row(75, 1, 10), Row(74, 0, 100), Row(14, 0, 100)}},
    {c69, {Row(7, 0, 60), Row(14, -128, 128), Row(21, -255, 255), Row(13, -255, 255),
           Row(26, 0, 10000)}},
    {c71, {ByValue(0, 2, {67, 0, 2, 67, true}), Row(72, 0, 100), Row(70, 0, 100), Row(73, 0, 100),
           Row(71, 0, 100)}},
    {c72, {Row(31, 1, 100)}},
    {c75, {Row(17, 10, 1000), Row(52, 1, 100), Row(53, 1, 100), Row(54, 1, 100), Row(55, 1, 100)}},
    {c78, {Row(12, 1, 255)}},
    {c79, {Row(32, 0, 255), Row(5, 0, 100), Row(6, 0, 100), Row(7, 0, 100), Row(56, 0, 2)}},
    {c83, {Row(7, 0, 100), Row(5, 0, 100), Row(6, 0, 100), Row(56, 0, 1)}},
    {c84, {Row(8, 0, 500), Row(9, 0, 360)}},
    {c86, {Row(60, 0, 100), Row(23, 0, 255)}},
    {c87, {Row(75, 0, 20), Row(12, 0, 100)}},
    {c88, {Row(23, 0, 1)}},
    {c91, {Row(80, 0, 128), kNo, Row(23, 0, 255)}},
    {c95, {Row(23, -1000, 1000), Row(5, 0, 100), Row(6, 0, 100)}},
    {c96_97, {Row(23, 0, 64)}},
    {c98, {Row(82, 0, 10000), Row(7, 0, 20), Row(14, -128, 128), Row(13, -255, 255)}},
    {c99, {Row(82, 0, 10000), Row(23, 1, 10000), Row(7, 1, 200)}},
    {c107, {Row(23, 0, 7)}},
    {c108, {Row(23, 0, 4), Row(7, 0, 20), Row(14, -128, 128), Row(13, -255, 255)}},
    {c112, {Row(84, 0, 1), Row(85, 0, 1)}},
    {c120, {Row(29, 1, 200), Row(30, 1, 200)}},
    {c121, {Row(88, -180, 180), Row(44, 0, 100), Row(14, -128, 128), Row(19, -180, 180), Row(20, 0, 100)}},
    {c122, {Row(93, 1, 20), Row(90, 0, 100), Row(91, 0, 100), Row(92, 0, 100), Row(20, 0, 100)}},
};

// What the composite destination (channel 2) lays out instead.
const SliderLayout kCompositeLayouts[] = {
    {c10, {Row(22, 0, 255), kRed, kGreen, kBlue}},
    {c27, {Row(7, 0, 255), kRed, kGreen, kBlue}},
    {c34_48, {Row(7, 0, 255), kRed, kGreen, kBlue, Row(22, 0, 255)}},
    {c47, {Row(7, -512, 512), kRed, kGreen, kBlue}},
    {c37, {Row(52, 0, 100), Row(53, 0, 100), kRed, kGreen, kBlue}},
    {c60, {Row(45, -100, 100), Row(46, -100, 100), Row(47, -100, 100), Row(14, -128, 128),
           ByValue(0, 3, {89, 0, 3, 14})}},
    {c61, {Row(54, 1, 100), Row(52, 1, 100), kRed, kGreen, kBlue}},
    {c86, {Row(60, 0, 100)}},
    {c91, {Row(80, 0, 128), kNo, kRed, kGreen, kBlue}},
};

// ---- show flags ----
constexpr Run kBlend[] = {{2, 18},   {20, 25},  {27, 27},  {29, 29},   {32, 34},   {41, 44},
                          {48, 48},  {50, 50},  {52, 56},  {58, 58},   {60, 60},   {63, 63},
                          {65, 66},  {69, 75},  {77, 88},  {90, 102},  {106, 113}, {119, 122}};
constexpr Run kSource[] = {{2, 6}, {20, 20}, {23, 23}, {33, 34}, {51, 51}, {80, 80}, {86, 86}, {90, 91}};
constexpr Run kTakesSource[] = {{2, 6}, {20, 20}, {23, 23}, {33, 34}, {80, 80}, {86, 86}, {90, 91}};
constexpr Run kAdjust[] = {{21, 26}, {28, 29},  {31, 31},  {33, 33},   {35, 36},  {38, 43},
                           {49, 52}, {58, 58},  {61, 61},  {72, 72},   {75, 75},  {77, 77},
                           {79, 82}, {85, 85},  {90, 90},  {92, 94},   {98, 102}, {106, 106},
                           {108, 110}, {113, 113}, {119, 119}};
constexpr Run kLineFile[] = {{21, 21}, {24, 26}, {35, 36}, {38, 39}, {52, 52}, {61, 61}, {75, 75}};

// ---- change of kind ----
constexpr int16_t r22[] = {22};
constexpr int16_t r119[] = {119};
constexpr int16_t r86[] = {86};
constexpr int16_t r111[] = {111};
constexpr int16_t r106[] = {106};
constexpr int16_t r92[] = {92};
constexpr int16_t r94[] = {94};
constexpr int16_t r100[] = {100};
constexpr int16_t r61[] = {61};
constexpr int16_t r102[] = {102, 113, 101};
constexpr int16_t r51[] = {51};
constexpr int16_t r90[] = {90};
constexpr int16_t r91[] = {91};
constexpr int16_t r99[] = {99, 29, 79};
constexpr int16_t r98[] = {98, 23, 108};
constexpr int16_t r33[] = {33};
constexpr int16_t r80[] = {80};
constexpr int16_t r49[] = {49, 93, 50};
constexpr int16_t r42[] = {42, 40, 43};
constexpr int16_t r58[] = {58};
constexpr int16_t r77[] = {77};
constexpr int16_t r81[] = {81};
constexpr int16_t r109[] = {109, 110};
constexpr int16_t r41[] = {41};

// Record kinds of the operation's parameter block.
enum : int16_t {
  kPlaid = 2, kRep = 3, kTess = 6, kFram = 7, kTextu = 10, kCookiCut = 12, kCombIma = 17,
  kFract = 20, kColCor = 23, kBord = 24, kShape = 26, kCompo = 27,
};

using K = KindRecord;
const KindChange kKindChanges[] = {
    {r22, K::kColourMatrix},
    {r119, K::kRecord, kColCor},
    {r86, K::kRecord, kColCor, -1, 2},
    {r111, K::kRecord, kCompo},
    {r106, K::kRecord, kBord},
    {r92, K::kRecord, kCombIma},
    {r94},
    {r100, K::kRecord, kFract},
    {r61, K::kRecord, kFram},
    {r102},
    {r51, K::kNone, 0, -1, 2},
    {r90, K::kNone, 0, 4, 6, 2, 6},
    {r91, K::kNone, 0, -1, 2, 3},
    {r99, K::kNone, 0, 2},
    {r98, K::kNone, 0, 0, 2},
    {r33, K::kNone, 0, 2, 6, 2, 6},
    {r80, K::kNone, 0, -1, 6, 1, 6},
    {r49, K::kNone, 0, -1, 6, 3},
    {r42, K::kRecord, kPlaid, -1, 6, 3, 0, true},
    {r58, K::kRecord, kTess, -1, 6, 3},
    {r77, K::kRecord, kTextu, -1, 6, 3},
    {r81, K::kRecord, kCookiCut, -1, 6, 3},
    {r109, K::kRecord, kShape, -1, 6, 3},
    {r41, K::kRecord, kRep, -1, 6, 3},
};

constexpr Run kClearsFile[] = {{21, 21}, {24, 26}, {35, 36}, {38, 39}, {41, 41}, {52, 52}, {61, 61}, {75, 75}};
constexpr Run kOpensDialog[] = {{21, 26}, {28, 29}, {31, 31}, {33, 33}, {35, 36}, {38, 41},
                                {43, 43}, {46, 46}, {51, 52}, {58, 58}, {61, 61}, {72, 72},
                                {75, 75}, {77, 77}, {79, 79}, {81, 82}, {85, 85}, {90, 90},
                                {98, 98}, {101, 102}, {108, 110}, {113, 113}};
// clang-format on

const SliderLayout* Find(std::span<const SliderLayout> layouts, int16_t code) {
  for (const SliderLayout& l : layouts)
    if (In(l.codes, code)) return &l;
  return nullptr;
}

}  // namespace

bool SliderRow::rgb() const {
  return text != nullptr && (std::strcmp(text, "red") == 0 || std::strcmp(text, "green") == 0 ||
                             std::strcmp(text, "blue") == 0);
}

std::span<const Family> Families() { return kFamilies; }

const Family* FamilyOf(int16_t family) {
  for (const Family& f : kFamilies)
    if (f.family == family) return &f;
  return nullptr;
}

std::string OperationName(int16_t code) {
  const auto nameIn = [code](const Family& f) -> std::string {
    for (size_t i = 0; i < f.codes.size(); ++i)
      if (f.codes[i] == code) return plat::res::GetIndString(f.nameList, static_cast<int16_t>(i + 2));
    return {};
  };
  // The image tools' names first: theirs is the widest menu.
  if (const Family* tools = FamilyOf(kImageTools))
    if (std::string name = nameIn(*tools); !name.empty()) return name;
  for (const Family& f : kFamilies)
    if (std::string name = nameIn(f); !name.empty()) return name;
  return {};
}

std::span<const SliderLayout> Layouts() { return kLayouts; }
std::span<const SliderLayout> CompositeLayouts() { return kCompositeLayouts; }

const SliderLayout* LayoutOf(int16_t code, bool composite) {
  if (composite)
    if (const SliderLayout* l = Find(kCompositeLayouts, code)) return l;
  return Find(kLayouts, code);
}

bool BlendShown(int16_t code) { return In(kBlend, code); }
bool SourceShown(int16_t code) { return In(kSource, code); }

bool AdjustShown(int16_t family, int16_t code) {
  const Family* f = FamilyOf(family);
  if (f != nullptr && !f->adjust.empty()) return In(f->adjust, code);
  return In(kAdjust, code);
}

bool LineNamesFile(int16_t code) { return In(kLineFile, code); }
bool TakesSource(int16_t code) { return In(kTakesSource, code); }

const KindChange* KindChangeOf(int16_t code) {
  for (const KindChange& k : kKindChanges)
    if (In(k.codes, code)) return &k;
  return nullptr;
}

std::span<const KindChange> KindChanges() { return kKindChanges; }
bool KindClearsFile(int16_t code) { return In(kClearsFile, code); }
bool KindOpensDialog(int16_t code) { return In(kOpensDialog, code); }

}  // namespace tuneeff

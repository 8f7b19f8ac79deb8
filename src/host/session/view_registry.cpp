#include "host/session/view_registry.h"

#include <array>
#include <optional>

#include "host/session/app_object.h"
#include "views/colour_box.h"
#include "views/image_box.h"

namespace {

constexpr ViewKind I = ViewKind::kImage;
constexpr ViewKind C = ViewKind::kColour;

struct ArrayRun {
  const char* dialog;
  const char* prefix;
  int first;  // number of the first view
  int used;
  int room;
  ViewKind kind;
};

struct Single {
  const char* dialog;
  const char* view;
  ViewKind kind;
};

// The dialogs in registration order: their single views, then their arrays.
struct DialogViews {
  const char* dialog;
  std::array<Single, 6> singles;
  int singleCount;
  std::array<ArrayRun, 2> arrays;
  int arrayCount;
};

constexpr ArrayRun kNoRun{"", "", 0, 0, 0, I};
constexpr Single kNo{"", "", I};

constexpr DialogViews kDialogs[] = {
    {"pinmain", {{{"pinmain", "HIima", I}, {"pinmain", "HIpan", I}, kNo, kNo, kNo, kNo}}, 2, {{kNoRun, kNoRun}}, 0},
    {"adjvign", {{{"adjvign", "HIvigfr", I}, {"adjvign", "HIvigto", I}, {"adjvign", "HIopafr", I},
                  {"adjvign", "HIopato", I}, {"adjvign", "HIslid", I}, {"adjvign", "HIcolfr", C}}}, 6,
     {{kNoRun, kNoRun}}, 0},
    {"livi", {{kNo, kNo, kNo, kNo, kNo, kNo}}, 0, {{{"livi", "HIvig", 0, 12, 12, I}, kNoRun}}, 1},
    {"liim", {{kNo, kNo, kNo, kNo, kNo, kNo}}, 0, {{{"liim", "HIima", 0, 12, 12, I}, kNoRun}}, 1},
    {"tgen", {{{"tgen", "HIima", I}, {"tgen", "HIvig", I}, kNo, kNo, kNo, kNo}}, 2, {{kNoRun, kNoRun}}, 0},
    {"cook", {{{"cook", "HIima", I}, {"cook", "HIvig", I}, kNo, kNo, kNo, kNo}}, 2, {{kNoRun, kNoRun}}, 0},
    {"cwea", {{{"cwea", "HIima", I}, {"cwea", "HIcolwa", C}, {"cwea", "HIcolwe", C}, kNo, kNo, kNo}}, 3,
     {{kNoRun, kNoRun}}, 0},
    {"copt", {{{"copt", "HIcol", C}, kNo, kNo, kNo, kNo, kNo}}, 1, {{kNoRun, kNoRun}}, 0},
    {"teff", {{{"teff", "HIcol0", C}, {"teff", "HIcol1", C}, {"teff", "HIcol2", C}, kNo, kNo, kNo}}, 3,
     {{kNoRun, kNoRun}}, 0},
    {"cmix", {{{"cmix", "HIima", I}, {"cmix", "HIpan", I}, kNo, kNo, kNo, kNo}}, 2, {{kNoRun, kNoRun}}, 0},
    {"dnoi", {{{"dnoi", "HIima", I}, {"dnoi", "HIpan", I}, kNo, kNo, kNo, kNo}}, 2, {{kNoRun, kNoRun}}, 0},
    {"glim", {{{"glim", "HIima", I}, {"glim", "HIpan", I}, kNo, kNo, kNo, kNo}}, 2, {{kNoRun, kNoRun}}, 0},
    {"kevra", {{{"kevra", "HIima", I}, {"kevra", "HIpan", I}, kNo, kNo, kNo, kNo}}, 2, {{kNoRun, kNoRun}}, 0},
    {"zond", {{{"zond", "HIima", I}, {"zond", "HIpan", I}, kNo, kNo, kNo, kNo}}, 2, {{kNoRun, kNoRun}}, 0},
    {"yoxl", {{{"yoxl", "HIima", I}, {"yoxl", "HIpan", I}, kNo, kNo, kNo, kNo}}, 2, {{kNoRun, kNoRun}}, 0},
    {"grid", {{{"grid", "HIima", I}, {"grid", "HIpan", I}, kNo, kNo, kNo, kNo}}, 2, {{kNoRun, kNoRun}}, 0},
    {"ppla", {{{"ppla", "HIima", I}, {"ppla", "HIwwa", I}, {"ppla", "HIwwe", I}, {"ppla", "HIswa", I},
               {"ppla", "HIswe", I}, kNo}}, 5,
     {{{"ppla", "HIcwa", 1, 16, 16, C}, {"ppla", "HIcwe", 1, 16, 16, C}}}, 2},
    {"lvign", {{kNo, kNo, kNo, kNo, kNo, kNo}}, 0, {{{"lvign", "HIvig", 0, 6, 6, I}, kNoRun}}, 1},
    {"leff", {{kNo, kNo, kNo, kNo, kNo, kNo}}, 0, {{{"leff", "HIeff", 0, 15, 15, I}, kNoRun}}, 1},
    {"lima", {{kNo, kNo, kNo, kNo, kNo, kNo}}, 0, {{{"lima", "HIima", 0, 15, 15, I}, kNoRun}}, 1},
    {"spir", {{{"spir", "HIima", I}, {"spir", "HIvig", I}, {"spir", "HIcol", C}, kNo, kNo, kNo}}, 3,
     {{kNoRun, kNoRun}}, 0},
    {"star", {{{"star", "HIima", I}, {"star", "HIvig", I}, {"star", "HIcol", C}, kNo, kNo, kNo}}, 3,
     {{kNoRun, kNoRun}}, 0},
    {"cmat", {{{"cmat", "HIima", I}, {"cmat", "HIcol", C}, kNo, kNo, kNo, kNo}}, 2, {{kNoRun, kNoRun}}, 0},
    // The effect array has room for five; four views use it.
    {"ceff", {{kNo, kNo, kNo, kNo, kNo, kNo}}, 0, {{{"ceff", "HIeff", 0, 4, 5, I}, kNoRun}}, 1},
    {"cima", {{{"cima", "HIima", I}, {"cima", "HIvig", I}, {"cima", "HIcol", C}, kNo, kNo, kNo}}, 3,
     {{{"cima", "HIss", 0, 4, 4, I}, kNoRun}}, 1},
    {"qorl", {{{"qorl", "HIima", I}, {"qorl", "HIori", I}, kNo, kNo, kNo, kNo}}, 2, {{kNoRun, kNoRun}}, 0},
    {"cbor", {{{"cbor", "HIima", I}, {"cbor", "HIori", I}, kNo, kNo, kNo, kNo}}, 2, {{kNoRun, kNoRun}}, 0},
    {"crep", {{{"crep", "HIima", I}, {"crep", "HIori", I}, kNo, kNo, kNo, kNo}}, 2, {{kNoRun, kNoRun}}, 0},
    {"oima", {{{"oima", "HIima", I}, kNo, kNo, kNo, kNo, kNo}}, 1, {{kNoRun, kNoRun}}, 0},
    {"orrl", {{{"orrl", "HIima", I}, {"orrl", "HIvig", I}, kNo, kNo, kNo, kNo}}, 2,
     {{{"orrl", "HIss", 1, 3, 3, I}, kNoRun}}, 1},
    {"ieff", {{{"ieff", "HIima", I}, kNo, kNo, kNo, kNo, kNo}}, 1,
     {{{"ieff", "HIss", 1, 3, 3, I}, kNoRun}}, 1},
};

struct Table {
  std::array<CustomViewEntry, kCustomViewCount> entries{};
  std::array<std::string, kCustomViewCount> names;
  std::array<int32_t, kViewArrayCount> room{};
  std::array<int32_t, kViewArrayCount> used{};
};

const Table& TheTable() {
  static const Table table = [] {
    Table t;
    int n = 0;
    int16_t k = 0;
    for (const DialogViews& d : kDialogs) {
      for (int s = 0; s < d.singleCount; ++s) {
        t.names[n] = d.singles[s].view;
        t.entries[n] = {d.dialog, nullptr, d.singles[s].kind, -1, 0};
        ++n;
      }
      for (int a = 0; a < d.arrayCount; ++a, ++k) {
        const ArrayRun& run = d.arrays[a];
        t.room[k] = run.room;
        t.used[k] = run.used;
        for (int e = 0; e < run.used; ++e) {
          t.names[n] = std::string(run.prefix) + std::to_string(run.first + e);
          t.entries[n] = {d.dialog, nullptr, run.kind, k, static_cast<int16_t>(e)};
          ++n;
        }
      }
    }
    for (int i = 0; i < n; ++i) t.entries[i].view = t.names[i].c_str();
    return t;
  }();
  return table;
}

}  // namespace

const CustomViewEntry& CustomViewAt(int index) { return TheTable().entries[index]; }

std::string CustomViewClassId(int index) {
  const CustomViewEntry& e = CustomViewAt(index);
  return std::string("com.vellmarkstead.") + e.dialog + "." + e.view;
}

int FindCustomView(const std::string& classId) {
  for (int i = 0; i < kCustomViewCount; ++i)
    if (CustomViewClassId(i) == classId) return i;
  return -1;
}

int32_t ViewArraySize(int k) { return TheTable().room[k]; }
int32_t ViewArrayUsed(int k) { return TheTable().used[k]; }

OSStatus CustomViewEventHandler(int index, plat::tb::EventHandlerCallRef call,
                                plat::tb::EventRef event, void* userData) {
  if (gVMKapp == nullptr) return plat::tb::eventNotHandledErr;
  if (CustomViewAt(index).kind == ViewKind::kImage) {
    VMKimabox* box = gVMKapp->ImageView(index);
    return box != nullptr ? box->ImaBoxEventHandler(call, event, userData)
                          : plat::tb::eventNotHandledErr;
  }
  VMKcolbox* box = gVMKapp->ColourView(index);
  return box != nullptr ? box->ColBoxEventHandler(call, event, userData)
                        : plat::tb::eventNotHandledErr;
}

const plat::tb::EventHandlerProc& GetCustomViewEventHandlerUPP(int index) {
  // Made once for the process, so that a second session reuses them.
  static std::array<std::optional<plat::tb::EventHandlerProc>, kCustomViewCount> cache;
  if (!cache[index]) {
    cache[index] = [index](plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                           void* userData) {
      return CustomViewEventHandler(index, call, event, userData);
    };
  }
  return *cache[index];
}

OSStatus pinmainImaBoxEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                   void* userData) {
  return CustomViewEventHandler(0, call, event, userData);
}

const plat::tb::EventHandlerProc& GetpinmainImaBoxEventHandlerUPP() {
  return GetCustomViewEventHandlerUPP(0);
}

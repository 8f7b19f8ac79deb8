// The custom views of every window: one VMKimabox or VMKcolbox instance per
// class identifier "com.vellmarkstead.<dialog>.<view>", created and
// registered when the application object opens its nib and deleted (which
// unregisters the class) when it ends.
//
// The 165 views are one table; the handler routine of each class looks its
// instance up in the application object at event time, so an instance
// replaced later serves the next event.
#pragma once

#include <cstdint>
#include <string>

#include "platform/toolbox/toolbox.h"

class VMKimabox;
class VMKcolbox;

enum class ViewKind : uint8_t { kImage, kColour };

struct CustomViewEntry {
  const char* dialog;  // dialog key
  const char* view;    // view name
  ViewKind kind;
  int16_t array;       // -1 for a single view, else the array it belongs to
  int16_t entry;       // entry in the array
};

inline constexpr int kCustomViewCount = 165;
inline constexpr int kSingleViewCount = 59;
inline constexpr int kViewArrayCount = 11;

// The views in registration order.
const CustomViewEntry& CustomViewAt(int index);
// "com.vellmarkstead." + dialog + "." + view.
std::string CustomViewClassId(int index);
// Index of a class identifier in the table, or -1.
int FindCustomView(const std::string& classId);
// Entries of view array k (room, which may exceed the views in it).
int32_t ViewArraySize(int k);
int32_t ViewArrayUsed(int k);

// The platform handler of view `index`: forwards every event to the
// instance that the application object holds for it now.
OSStatus CustomViewEventHandler(int index, plat::tb::EventHandlerCallRef call,
                                plat::tb::EventRef event, void* userData);
// The handler reference of view `index`, made once for the whole process.
const plat::tb::EventHandlerProc& GetCustomViewEventHandlerUPP(int index);

// The first pair of the family by its own name: "com.vellmarkstead.pinmain.HIima".
OSStatus pinmainImaBoxEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                   void* userData);
const plat::tb::EventHandlerProc& GetpinmainImaBoxEventHandlerUPP();

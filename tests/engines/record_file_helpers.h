// Helpers of the record-file tests: saving and loading through the scripted dialogs, and
// the stored form a big-endian writer would have made of a record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engines/records/preset_file.h"
#include "platform/bytes/byte_order.h"
#include "platform/files/file_types.h"
#include "platform/toolbox/api/scripted_ui.h"
#include "support/preset_files.h"

namespace vmktest {

// Mode 1 through the save dialog answered with `base`; the bytes of the file written (the
// type's extension is added to the name). Empty when the call failed.
template <class R, class DoFile>
std::vector<uint8_t> SaveByDialog(plat::ui::ScriptedUi& ui, DoFile doFile, R* record,
                                  const std::string& base, OSType type) {
  ui.AnswerSaveFile(base);
  if (doFile(int16_t{1}, FSSpec{}, record) != 0) return {};
  return ReadBytes(base + plat::files::ExtensionForType(type));
}

// Writes every number big-endian and every byte-order flag as 0: a file of an older
// big-endian writer.
class BigEndianWriter : public vmkrec::StoreVisitor {
 public:
  BigEndianWriter() : vmkrec::StoreVisitor(true) {}
  void flag(int32_t&) {
    int32_t zero = 0;
    i32(zero);
  }
  void flag8(uint8_t&) {
    uint8_t zero = 0;
    bytes(&zero, 1);
  }
};

template <class R>
std::vector<uint8_t> BigEndianImage(const vmkrec::PresetFormat& format, R& record) {
  plat::bytes::setHostOrderForTesting(plat::bytes::Order::Big);
  BigEndianWriter v;
  VisitPresetFile(v, format, record);
  plat::bytes::setHostOrderForTesting(std::nullopt);
  return v.take();
}

inline int32_t LittleWord(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<int32_t>(b.at(at) | (b.at(at + 1) << 8) | (b.at(at + 2) << 16) |
                              (static_cast<uint32_t>(b.at(at + 3)) << 24));
}

inline bool AllZero(const std::vector<uint8_t>& b, size_t from, size_t count) {
  for (size_t i = from; i < from + count; ++i)
    if (b.at(i) != 0) return false;
  return true;
}

// A preset-file test whose dialogs are answered by a script and whose forced host order
// is undone afterwards.
class RecordFileTest : public PresetFileTest {
 protected:
  void TearDown() override { plat::bytes::setHostOrderForTesting(std::nullopt); }
  plat::ui::ScriptedUi ui_;
  plat::ui::ScopedServices scoped_{&ui_};
};

}  // namespace vmktest

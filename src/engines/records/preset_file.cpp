#include "engines/records/preset_file.h"

#include <algorithm>

#include "app/core/pascal_strings.h"
#include "app/file_access.h"
#include "app/file_dialogs.h"

namespace vmkrec {

namespace {

// Every preset file goes through slot 0 of the open-file table and is closed before the
// call that opened it returns.
constexpr int16_t kSlot = 0;

}  // namespace

int16_t PickPresetFile(int16_t save, fichier* file, const OSType* types, int16_t typeCount,
                       const unsigned char* prompt) {
  if (file == nullptr) return 0;
  // The save dialog has no prompt of its own; it offers the record's name.
  if (save == 1) return VMK_PutFile(file);
  return VMK_GetFile(file, types, prompt, typeCount);
}

PresetFile::PresetFile() : file_(std::make_unique<fichier>()) {}
PresetFile::~PresetFile() = default;

PresetAction PresetFile::Choose(int16_t mode, const FSSpec& spec, const PresetFormat& format) {
  fichier& f = *file_;
  switch (mode) {
    case 0: {
      f.creator = kPresetCreator;
      f.type = format.type;
      unsigned char prompt[256];
      CToPStrCopy(prompt, format.prompt);
      return PickPresetFile(0, &f, &format.type, 1, prompt) == 1 ? kPresetRead
                                                                 : kPresetCancelled;
    }
    case 1:
      Init_FicStruct(&f);
      f.creator = kPresetCreator;
      f.type = format.type;
      return PickPresetFile(1, &f, &format.type, 1, nullptr) == 1 ? kPresetWrite
                                                                 : kPresetCancelled;
    case 2:
      Copy_FSSpeStruct(&spec, &f);
      return kPresetRead;
    case 3:
      if (!format.writesGivenFile) return kPresetNothing;
      Copy_FSSpeStruct(&spec, &f);
      f.creator = kPresetCreator;
      f.type = format.type;
      return kPresetWrite;
    default:
      return kPresetNothing;
  }
}

int16_t PresetFile::Read(size_t limit, std::unique_ptr<ScratchBytes>* out) {
  if (limit == 0 || limit > 0x7FFFFFFFu) return -1;
  if (S_open(file_.get(), 1, kSlot) != 0) {
    S_close(kSlot);
    return -1;
  }
  // A file longer than the stored form is read only as far as the form goes; a shorter one
  // is read whole and then fails its parse, before anything reaches the caller's record.
  int32_t length = 0;
  bool ok = S_getEOF(kSlot, &length) == 0 && length > 0;
  std::unique_ptr<ScratchBytes> block;
  if (ok) {
    const size_t n = std::min(static_cast<size_t>(length), limit);
    block = std::make_unique<ScratchBytes>(n);
    ok = block->valid() && S_read(kSlot, block->data(), 0, static_cast<int32_t>(n)) == 0;
  }
  S_close(kSlot);
  if (!ok) return -1;
  *out = std::move(block);
  return 0;
}

int16_t PresetFile::Write(const uint8_t* data, size_t size) {
  if (data == nullptr || size > 0x7FFFFFFFu) return -1;
  if (S_open(file_.get(), 3, kSlot) != 0) {
    S_close(kSlot);
    return -1;
  }
  const bool written = S_write(kSlot, data, 0, static_cast<int32_t>(size)) == 0;
  // The replacement only takes the old file's place when everything was written.
  const bool closed = S_close(kSlot) == 0;
  return written && closed ? 0 : -1;
}

}  // namespace vmkrec

// The stored script record as bytes, for the script's own files: the record file's entry
// points (ScriptFile::SaveScriptAtPos and the rest), the layer records that hold one each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/core/file_records.h"

class File_kern;
class ScriptFile;
struct Oprn;

namespace scriptrecord {

inline constexpr size_t kScriptTextSize = 255;
inline constexpr size_t kScriptPreviewSize = 67600;
inline constexpr size_t kOprnHeadSize = 56;
// Offsets in the record: the operation count and the first operation.
inline constexpr size_t kCountOffset = 68128;
inline constexpr size_t kFirstOprnOffset = 68130;

// The whole record of up to `count` operations of the chain from `first`; `target` is the
// file it goes to (its name is stored). -1, nothing built, when an operation's blocks cannot
// be written.
int32_t BuildScriptRecord(ScriptFile& s, int16_t count, Oprn* first, const fichier& target,
                          const char* preview, int16_t value1, int16_t value2, const char* text,
                          int16_t scaleFlag, std::vector<uint8_t>* out);

struct ParsedScript {
  Oprn* first = nullptr;  // the caller owns it, also after a failure
  int16_t count = 0;
  int32_t width = 0;
  int32_t height = 0;
  size_t used = 0;  // bytes of the record
};

// Parses a whole record; -1 on a damaged or unknown record.
int32_t ParseScriptRecord(ScriptFile& s, const uint8_t* data, size_t size, int16_t quiet,
                          ParsedScript* parsed);

// RecallScriptAtPos over the bytes [*pos, end) of the file (end -1: to its end).
int32_t RecallScriptSpan(ScriptFile& s, int32_t* pos, int32_t end, int16_t quiet, int16_t* count,
                         Oprn** first, File_kern* file, int16_t mode, char* preview,
                         int16_t* value1, int16_t* value2, char* name, char* text, float fx,
                         float fy, int16_t scaleFlag);

// The largest blur amount (effect 11's Param1) worth offering in an editor of `s`, at most
// `upTo`: saved at the picture's size the amount is scaled as a length, and the blur holds its
// radius at its largest, so every amount from the one returned on renders as that one does.
int16_t LargestBlurAmount(const ScriptFile& s, int16_t upTo);

}  // namespace scriptrecord

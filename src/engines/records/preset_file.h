// Preset files of the effect families: the Do_A<X>_file modes over one stored form.
//
// Modes: 0 asks for a file with the open dialog (filtered on the family's type, with its
// prompt) and reads it; 1 asks for a name with the save dialog (the record's name empty, so
// the dialog offers the Save... command's name, see SaveDialogScope) and writes; 2 reads
// the given file; 3 writes the given file (only families whose format says so; for the
// others it is "any other mode"); any other mode does nothing and returns 0.
// Result 0, or -1 when the dialog is cancelled or the file cannot be opened, read or written.
//
// A read takes the whole stored form into a scratch block, checks its length and parses it
// into a zeroed scratch record; only when all of that succeeded does the family's `take`
// move the values into the caller's record, so a short, foreign or damaged file leaves the
// caller's record exactly as it was. A write copies the record into a zeroed scratch record
// (Copy_<X>), so words the copy skips are written as zeros, never as stale memory, and the
// caller's record is never changed. The file is opened in slot 0 and closed on every path.
//
// A family with the usual layouts needs only:
//
//   constexpr vmkrec::PresetFormat kLensFile{FourCC("hZnd"), "Load a New Lens...",
//                                            vmkrec::PresetLayout::HeadAndRecord, 1, false};
//   int16_t Do_AZondrac_file(int16_t mode, FSSpec spec, ZondracPar* rec) {
//     return vmkrec::DoPresetFile(mode, spec, rec, kLensFile, Copy_ZondracPar);
//   }
//
// with an optional last argument `take(const R& loaded, R* caller)` for families whose load
// keeps some of the caller's fields. A family whose file is not one record (ramps, sectioned
// files with heads of their own) writes its own field list of the whole file, or builds its
// bytes itself, and uses PresetFile directly for the modes and the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/core/file_records.h"
#include "engines/records/param_record.h"
#include "platform/types/mac_types.h"

namespace vmkrec {

// Creator of every preset file of the system.
inline constexpr OSType kPresetCreator = FourCC("vMkC");

enum class PresetLayout : int16_t {
  // The converted record at offset 0 and nothing else.
  RecordOnly,
  // A 32-bit 1 in the writer's order, the family's 32-bit format number little-endian,
  // then the converted record at offset 8.
  HeadAndRecord,
  // The record in the host's order, no conversion and no byte-order test.
  Raw,
};

struct PresetFormat {
  OSType type;
  const char* prompt;  // the open dialog's prompt
  PresetLayout layout;
  int32_t formatNumber;  // head-and-record only
  bool writesGivenFile;  // mode 3 writes the given file
};

// What a Do_A..._file mode asks for.
enum PresetAction : int16_t {
  kPresetCancelled = -1,
  kPresetNothing = 0,
  kPresetRead = 1,
  kPresetWrite = 2,
};

// Asks the user for a preset file through the toolbox's pickers (which tests answer): `save`
// 0 is the open dialog over the listed types with a length-prefixed prompt, 1 the save
// dialog for the record's creator and type, offering the record's name (or, when it has
// none, the innermost SaveDialogScope's). Returns 1 when a
// file was chosen (the record then names it), 0 when cancelled.
int16_t PickPresetFile(int16_t save, fichier* file, const OSType* types, int16_t typeCount,
                       const unsigned char* prompt);

// The one preset file of a Do_A..._file call.
class PresetFile {
 public:
  PresetFile();
  ~PresetFile();
  PresetFile(const PresetFile&) = delete;
  PresetFile& operator=(const PresetFile&) = delete;

  // Resolves `mode` to a file (asking the user for modes 0 and 1) and says what to do.
  PresetAction Choose(int16_t mode, const FSSpec& spec, const PresetFormat& format);
  // Reads the file from offset 0, at most `limit` bytes, into a fresh zeroed block; -1 when
  // it cannot be opened or read, is empty, or memory runs out. A short file is the parser's
  // to refuse.
  int16_t Read(size_t limit, std::unique_ptr<ScratchBytes>* out);
  // Replaces the file with `size` bytes; -1 on any failure (the old file stays whole).
  int16_t Write(const uint8_t* data, size_t size);

  fichier& file() { return *file_; }

 private:
  std::unique_ptr<fichier> file_;
};

// Size of the whole preset file of a record of stored size `recordSize`.
inline size_t PresetFileSize(const PresetFormat& format, size_t recordSize) {
  return recordSize + (format.layout == PresetLayout::HeadAndRecord ? 8 : 0);
}

// A record whose stored size depends on its own counts (sections repeated per layer, say)
// declares `static constexpr int32_t kMaxStoredSize`, the most its file can hold; its field
// list then checks the counts as it reads them (v.fail() when absurd).
template <class R>
constexpr bool kVariableSize = requires { R::kMaxStoredSize; };

template <class R>
size_t PresetReadLimit(const PresetFormat& format) {
  if constexpr (kVariableSize<R>)
    return PresetFileSize(format, static_cast<size_t>(R::kMaxStoredSize));
  else
    return PresetFileSize(format, static_cast<size_t>(R::kStoredSize));
}

// The field list of a whole preset file: the head of the layout, then the record. A family
// whose file has a head or sections of its own overloads this for its record type
// (template <class V> void VisitPresetFile(V&, const vmkrec::PresetFormat&, BordPar&)):
// the more specialised overload is the one every reader and writer uses.
template <class V, class R>
void VisitPresetFile(V& v, const PresetFormat& format, R& record) {
  if (format.layout == PresetLayout::HeadAndRecord) {
    int32_t one = 1;
    v.hostI32(one);
    int32_t number = format.formatNumber;
    v.i32(number);
  }
  VisitRecord(v, record);
}

// The stored file image of a prepared record (or file form); false when its field list
// refused it or it does not come to its stored size.
template <class R>
bool StorePresetImage(const PresetFormat& format, R& prepared, std::vector<uint8_t>* out) {
  StoreVisitor v(format.layout == PresetLayout::Raw);
  VisitPresetFile(v, format, prepared);
  if (!v.ok() || v.size() > PresetReadLimit<R>(format)) return false;
  if (!kVariableSize<R> && v.size() != PresetFileSize(format, R::kStoredSize)) return false;
  *out = v.take();
  return true;
}

// The stored file image of `record`: copied into a zeroed scratch record by `copy`
// (Copy_<X>(source, destination)), then stored. False when memory runs out.
template <class R, class CopyFn>
bool BuildPresetImage(const PresetFormat& format, const R& record, CopyFn copy,
                      std::vector<uint8_t>* out) {
  ScratchRecord<R> scratch;
  if (!scratch.valid()) return false;
  copy(&record, scratch.get());
  return StorePresetImage(format, *scratch, out);
}

// Parses a file image into `record` (a zeroed scratch record). False for a short or
// refused image.
template <class R>
bool ParsePresetImage(const PresetFormat& format, const uint8_t* data, size_t size, R* record) {
  LoadVisitor v(data, size, format.layout == PresetLayout::Raw);
  VisitPresetFile(v, format, *record);
  return v.ok();
}

// Do_A<X>_file for a family whose file holds a form F of its own (floats as integer pairs,
// sections of another order) rather than the record R itself. `toFile(const R&, F*)` fills
// a zeroed form for writing; `fromFile(const F&, R*)` hands a successful read to the caller.
template <class F, class R, class ToFileFn, class FromFileFn>
int16_t DoPresetFileForm(int16_t mode, const FSSpec& spec, R* record, const PresetFormat& format,
                         ToFileFn toFile, FromFileFn fromFile) {
  if (record == nullptr)
    return mode == 0 || mode == 1 || mode == 2 || (mode == 3 && format.writesGivenFile) ? -1 : 0;
  PresetFile file;
  const PresetAction action = file.Choose(mode, spec, format);
  if (action == kPresetNothing) return 0;
  if (action == kPresetCancelled) return -1;
  if (action == kPresetWrite) {
    ScratchRecord<F> form;
    std::vector<uint8_t> image;
    if (!form.valid()) return -1;
    toFile(*record, form.get());
    if (!StorePresetImage(format, *form, &image)) return -1;
    return file.Write(image.data(), image.size());
  }
  std::unique_ptr<ScratchBytes> bytes;
  if (file.Read(PresetReadLimit<F>(format), &bytes) != 0) return -1;
  ScratchRecord<F> loaded;
  if (!loaded.valid() || !ParsePresetImage(format, bytes->data(), bytes->size(), loaded.get()))
    return -1;
  fromFile(*loaded, record);
  return 0;
}

// A read that hands over every field the file holds, including those that Copy_<X>
// leaves out.
template <class R>
void TakeWhole(const R& loaded, R* record) {
  *record = loaded;
}

// Do_A<X>_file for a record stored whole. `copy` is Copy_<X>(source, destination); `take`
// (loaded scratch, caller's record) hands a successful read to the caller.
template <class R, class CopyFn, class TakeFn>
int16_t DoPresetFile(int16_t mode, const FSSpec& spec, R* record, const PresetFormat& format,
                     CopyFn copy, TakeFn take) {
  return DoPresetFileForm<R>(
      mode, spec, record, format, [&copy](const R& r, R* scratch) { copy(&r, scratch); }, take);
}

// The same where a read hands the caller every field that Copy_<X> copies.
template <class R, class CopyFn>
int16_t DoPresetFile(int16_t mode, const FSSpec& spec, R* record, const PresetFormat& format,
                     CopyFn copy) {
  return DoPresetFile(mode, spec, record, format, copy,
                      [&copy](const R& loaded, R* dst) { copy(&loaded, dst); });
}

}  // namespace vmkrec

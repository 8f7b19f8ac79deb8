#include "engines/correction/resize_record.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "engines/correction/run_stream.h"
#include "engines/records/param_record.h"
#include "engines/records/preset_file.h"
#include "platform/memory/memory.h"
#include "raster/run_length.h"

namespace {

constexpr vmkrec::PresetFormat kResizeFile{FourCC("hYxl"), "Load a New Yoxel...",
                                           vmkrec::PresetLayout::RecordOnly, 0, true};

// Offsets of the mask section.
constexpr size_t kMaskSizeAt = YoxelPar::kStoredSize;

// A coded mask holds at most two words per sample; keep the count a 32-bit word.
constexpr int64_t kMaxMaskSamples = 0x3FFFFFFF;

int64_t SparedEntries(int32_t width, int32_t height) {
  if (width < 0 || height < 0) return -1;
  return (static_cast<int64_t>(width) + 1) * (static_cast<int64_t>(height) + 1);
}

// Entries a mask array holds; -1 when it is not a block of ours (its size is then the
// record's word).
int64_t Capacity(const int16_t* mask) {
  const int64_t bytes = plat::GetPtrSize(mask);
  return bytes < 0 ? -1 : bytes / 2;
}

// Makes *mask hold at least `need` entries: kept when large enough, else freed and made
// anew (zeros). False, the mask absent, when memory runs out.
bool EnsureMask(int16_t** mask, int64_t need) {
  if (*mask != nullptr) {
    const int64_t cap = Capacity(*mask);
    if (cap < 0 || cap >= need) return true;
    plat::DisposePtr(*mask);
    *mask = nullptr;
  }
  *mask = reinterpret_cast<int16_t*>(plat::NewPtrClear(need * 2));
  return *mask != nullptr;
}

// Words 0-45 and 48-55: everything but the mask references.
void CopyWords(const YoxelPar& s, YoxelPar& d) {
  int16_t* protect = d.protectMask;
  int16_t* remove = d.removeMask;
  d = s;
  d.protectMask = protect;
  d.removeMask = remove;
}

// A mask too small for width x height entries cannot be read from or written into.
bool MaskHolds(const int16_t* mask, int64_t samples) {
  if (mask == nullptr) return true;
  const int64_t cap = Capacity(mask);
  return cap < 0 || cap >= samples;
}

bool AppendMask(plat::bytes::Writer& w, int32_t width, int32_t height, int16_t* mask) {
  std::vector<uint32_t> words;
  if (width > 0 && height > 0) {
    if (mask == nullptr) {
      // Nothing painted: one run of zeros.
      words = {static_cast<uint32_t>(width * height), 0u};
    } else {
      int32_t count = 0;
      if (encodeRLEshortbuf(0, &count, width, height, mask, nullptr) != 0 || count < 0) return false;
      words.resize(static_cast<size_t>(count));
      if (count > 0 && encodeRLEshortbuf(1, &count, width, height, mask, words.data()) != 0)
        return false;
    }
  }
  w.i32(static_cast<int32_t>(words.size()));
  vmkrec::WriteRunWords(w, words);
  return true;
}

bool BuildResizeFile(const YoxelPar& record, int32_t width, int32_t height, int16_t* protect,
                     int16_t* remove, std::vector<uint8_t>* out) {
  const int64_t samples =
      width > 0 && height > 0 ? static_cast<int64_t>(width) * height : 0;
  if (samples > kMaxMaskSamples || !MaskHolds(protect, samples) || !MaskHolds(remove, samples))
    return false;
  vmkrec::ScratchRecord<YoxelPar> scratch;
  if (!scratch.valid()) return false;
  CopyWords(record, *scratch);
  scratch->protectMask = scratch->removeMask = nullptr;
  vmkrec::StoreVisitor v;
  VisitRecord(v, *scratch);
  std::vector<uint8_t> bytes = v.take();
  plat::bytes::Writer w;
  w.raw(bytes.data(), bytes.size());
  w.i32(width);
  w.i32(height);
  if (!AppendMask(w, width, height, protect) || !AppendMask(w, width, height, remove)) return false;
  *out = w.take();
  return true;
}

struct StoredMasks {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> protect;
  std::vector<uint32_t> remove;
};

bool ParseMasks(const uint8_t* data, size_t size, StoredMasks* m) {
  if (size < kMaskSizeAt) return false;
  plat::bytes::Reader r(data + kMaskSizeAt, size - kMaskSizeAt);
  m->width = r.i32();
  m->height = r.i32();
  if (!r.ok()) return false;
  const int64_t samples =
      m->width > 0 && m->height > 0 ? static_cast<int64_t>(m->width) * m->height : 0;
  const int32_t lp = r.i32();
  if (!vmkrec::ReadRunWords(r, lp, &m->protect)) return false;
  const int32_t lr = r.i32();
  if (!vmkrec::ReadRunWords(r, lr, &m->remove)) return false;
  return r.ok() && vmkrec::RunsFit(m->protect, samples) && vmkrec::RunsFit(m->remove, samples);
}

}  // namespace

void Init_YoxelPar(YoxelPar* r, int32_t width, int32_t height, int32_t resolution,
                   int32_t maskMode, int32_t kind) {
  if (r == nullptr) return;
  static constexpr int32_t kWholeQuad[8] = {0, 100000, 100000, 0, 0, 0, 100000, 100000};
  r->byteOrderFlag = HostOrderFlag();
  r->recordVersion = 1;
  r->imageWidth = width;
  r->imageHeight = height;
  r->imageResolution = resolution;
  r->overlayOn = 0;
  r->overlayOpacity = 128;
  r->resizeMethod = kind;
  std::copy(kWholeQuad, kWholeQuad + 8, r->sourceQuad);
  std::copy(kWholeQuad, kWholeQuad + 8, r->targetQuad);
  std::copy(kWholeQuad, kWholeQuad + 8, r->middleQuad);
  r->noiseAmount = 0;
  r->sharpenAmount = 5;
  r->fillMode = 1;
  r->fillRed = r->fillGreen = r->fillBlue = 0;
  if (kind != 8) r->twoStage = 0;
  r->energySpread = 5;
  r->contrast = 0;
  r->edgeKernel = 2;
  r->maskWidth = 1000;
  r->maskHeight = 1000;
  r->protectWeight = 100;
  r->removeWeight = 100;
  static constexpr int32_t kDialog[5] = {0, 40, 100, 0, 1};
  std::copy(kDialog, kDialog + 5, r->dialogSettings);
  r->flipMode = 2;
  if (maskMode == 0) {
    r->protectMask = nullptr;
    r->removeMask = nullptr;
  } else if (maskMode == 1) {
    Dele_YoxelMsk(r);
    Init_YoxelMsk(r, 0);
  }
}

void Init_YoxelMsk(YoxelPar* r, int16_t value) {
  if (r == nullptr) return;
  const int64_t need = SparedEntries(r->maskWidth, r->maskHeight);
  if (need < 0) return;
  for (int16_t** mask : {&r->protectMask, &r->removeMask}) {
    if (!EnsureMask(mask, need)) return;
    std::fill(*mask, *mask + need, value);
  }
}

void Dele_YoxelMsk(YoxelPar* r) {
  if (r == nullptr) return;
  plat::DisposePtr(r->protectMask);
  r->protectMask = nullptr;
  plat::DisposePtr(r->removeMask);
  r->removeMask = nullptr;
}

void Copy_YoxelPar(const YoxelPar* source, YoxelPar* destination) {
  if (source == nullptr || destination == nullptr || source == destination) return;
  CopyWords(*source, *destination);
  Copy_YoxelMsk(destination, source->maskWidth, source->maskHeight, source->protectMask,
                source->removeMask);
}

void Copy_YoxelMsk(YoxelPar* d, int32_t width, int32_t height, const int16_t* protect,
                   const int16_t* remove) {
  if (d == nullptr || width <= 0 || height <= 0) return;
  const int64_t samples = static_cast<int64_t>(width) * height;
  // Room for the destination's own size with its spare row and column, and for what comes.
  const int64_t need = std::max(SparedEntries(d->maskWidth, d->maskHeight), samples);
  const int16_t* sources[2] = {protect, remove};
  int16_t** targets[2] = {&d->protectMask, &d->removeMask};
  for (int k = 0; k < 2; ++k) {
    if (sources[k] == nullptr) continue;
    if (sources[k] == *targets[k]) continue;
    if (!EnsureMask(targets[k], need)) return;
    std::memmove(*targets[k], sources[k], static_cast<size_t>(samples) * sizeof(int16_t));
  }
}

void SwapYoxelPar(YoxelPar* record, int16_t direction, int16_t force) {
  if (record != nullptr) vmkrec::SwapRecord(*record, direction, force);
}

int16_t Do_AYoxel_file(int16_t mode, FSSpec spec, YoxelPar* record, int16_t withMasks,
                       int32_t maskWidth, int32_t maskHeight, int16_t* protect, int16_t* remove) {
  if (record == nullptr) return mode >= 0 && mode <= 3 ? -1 : 0;
  vmkrec::PresetFile file;
  const vmkrec::PresetAction action = file.Choose(mode, spec, kResizeFile);
  if (action == vmkrec::kPresetNothing) return 0;
  if (action == vmkrec::kPresetCancelled) return -1;
  if (action == vmkrec::kPresetWrite) {
    std::vector<uint8_t> image;
    if (!BuildResizeFile(*record, maskWidth, maskHeight, protect, remove, &image)) return -1;
    return file.Write(image.data(), image.size());
  }

  std::unique_ptr<vmkrec::ScratchBytes> bytes;
  if (file.Read(0x7FFFFFFF, &bytes) != 0) return -1;
  vmkrec::ScratchRecord<YoxelPar> loaded;
  // The length first: the record is parsed from its stored size, never past the file's end.
  if (!loaded.valid() || bytes->size() < static_cast<size_t>(YoxelPar::kStoredSize) ||
      !vmkrec::LoadRecord(bytes->data(), YoxelPar::kStoredSize, *loaded))
    return -1;
  StoredMasks masks;
  const bool readMasks = withMasks == 1;
  const int64_t samples =
      maskWidth > 0 && maskHeight > 0 ? static_cast<int64_t>(maskWidth) * maskHeight : 0;
  if (readMasks && (!ParseMasks(bytes->data(), bytes->size(), &masks) ||
                    !MaskHolds(protect, samples) || !MaskHolds(remove, samples)))
    return -1;

  // A preset keeps the current picture and the masks' own size.
  const int32_t width = record->imageWidth, height = record->imageHeight;
  const int32_t resolution = record->imageResolution;
  const int32_t mw = record->maskWidth, mh = record->maskHeight;
  loaded->protectMask = loaded->removeMask = nullptr;
  Copy_YoxelPar(loaded.get(), record);
  record->imageWidth = width;
  record->imageHeight = height;
  record->imageResolution = resolution;
  record->maskWidth = mw;
  record->maskHeight = mh;
  if (readMasks) {
    vmkrec::ResampleRuns(masks.protect, masks.width, masks.height, protect, maskWidth, maskHeight);
    vmkrec::ResampleRuns(masks.remove, masks.width, masks.height, remove, maskWidth, maskHeight);
  }
  return 0;
}

Yoxel::Yoxel() {
  void* block = vmkrec::NewScratch(sizeof(YoxelPar));
  if (block != nullptr) par = new (block) YoxelPar{};
}

Yoxel::~Yoxel() {
  if (par == nullptr) return;
  Dele_YoxelMsk(par);
  vmkrec::DeleteScratch(par);
}

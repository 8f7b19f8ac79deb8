// Damaged-file sweep over every reader of a stored file: preset files of every effect family,
// the ramp file, the path-list file, the buffer swap file, the preview model file, the
// run-length streams and file records read from bytes.
//
// Each reader starts from a valid file made by its own writer, then is offered the file
// empty, cut at a spread of lengths, replaced by seeded noise of the right length, with
// seeded bit flips, and with 32-bit words that look like counts or sizes set to huge or
// negative values. Whatever it is given, it must not crash, must answer 0 or -1, and on -1
// must leave everything the caller handed it exactly as it was. Where noise is accepted
// (a record of fixed size may legitimately take any bytes), what was read must still be
// something its own writer can store again.
//
// A new reader is one row of Families().
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/colour_model.h"
#include "app/core/file_records.h"
#include "app/file_access.h"
#include "engines/correction/colour_correction.h"
#include "engines/correction/colour_matrix.h"
#include "engines/correction/grid_record.h"
#include "engines/correction/lens_correction.h"
#include "engines/correction/resize_record.h"
#include "engines/correction/run_stream.h"
#include "engines/patterns/backdrop_compo_records.h"
#include "engines/patterns/border_record.h"
#include "engines/patterns/cast_shadow_record.h"
#include "engines/patterns/cookie_cutter_record.h"
#include "engines/patterns/fractal_record.h"
#include "engines/patterns/image_combination_record.h"
#include "engines/patterns/lens_flare_gradient_records.h"
#include "engines/patterns/painter_strokes_record.h"
#include "engines/patterns/screen_record.h"
#include "engines/patterns/shape_record.h"
#include "engines/patterns/texture_record.h"
#include "engines/patterns/weave_plaid_record.h"
#include "engines/tessellation/photo_repeat_record.h"
#include "engines/tessellation/tessellation_record.h"
#include "engines/tessellation/twin_tessellation_record.h"
#include "operations/effects.h"
#include "paths/draw_par.h"
#include "paths/path.h"
#include "paths/path_fixture.h"
#include "paths/path_list.h"
#include "platform/bytes/byte_order.h"
#include "platform/random/random.h"
#include "raster/preview/ymck_preview.h"
#include "raster/run_length.h"
#include "record_file_helpers.h"
#include "engines/families/effect_families.h"
#include "script/layers.h"
#include "script/lut_vign.h"
#include "script/misc_render.h"
#include "script/operation.h"
#include "script/script_file.h"
#include "script/script_record_file.h"

namespace {

using Bytes = std::vector<uint8_t>;

// What a row needs of the test: the scripted dialogs and a folder for its files.
struct SweepContext {
  plat::ui::ScriptedUi& ui;
  vmktest::TempDir& dir;
};

// The caller's side of one reader: the record (and planes, masks, texts) it reads into.
class Subject {
 public:
  virtual ~Subject() = default;
  // The stored form made by the reader's own writer; empty when the writer failed.
  virtual Bytes Store() = 0;
  // Offers `bytes` to the reader as its file; the reader's answer.
  virtual int32_t Read(const Bytes& bytes) = 0;
  // Everything the reader may change, byte for byte.
  virtual Bytes Snapshot() = 0;
  // True when a failed read keeps what it completed before the damage (by design).
  virtual bool KeepsCompletedParts() const { return false; }
  // What the caller holds after any read still hangs together.
  virtual bool Consistent() { return true; }
  // False where a cut can itself be a whole, shorter stored form.
  virtual bool CutsAreRefused() const { return true; }
};

struct Family {
  const char* name;
  // variant 0 makes the valid file's side, 1 the caller's side of a read.
  std::function<std::unique_ptr<Subject>(SweepContext&, int variant)> make;
  // Byte offsets of 32-bit counts or sizes in the valid file, beside those the sweep finds.
  std::vector<size_t> counts = {};
  // Where the counts sit only the valid file's own words can tell: finds them.
  std::function<std::vector<size_t>(const Bytes&)> walk = nullptr;
};

template <class R>
Bytes RawBytes(const R& r) {
  Bytes b(sizeof(R));
  std::memcpy(b.data(), static_cast<const void*>(&r), sizeof(R));
  return b;
}

// ---------------------------------------------------------------------------------------
// Preset files read through Do_A..._file.
// ---------------------------------------------------------------------------------------

template <class R>
class PresetSubject : public Subject {
 public:
  using DoFile = std::function<int16_t(int16_t, FSSpec, R*)>;
  PresetSubject(SweepContext& c, OSType type, DoFile doFile, const std::function<void(R*)>& init)
      : c_(c), type_(type), doFile_(std::move(doFile)), r_(std::make_unique<R>()) {
    init(r_.get());
  }
  Bytes Store() override {
    return vmktest::SaveByDialog(c_.ui, doFile_, r_.get(), c_.dir.file("stored"), type_);
  }
  int32_t Read(const Bytes& bytes) override {
    const std::string path = c_.dir.file("offered");
    vmktest::WriteBytes(path, bytes);
    return doFile_(2, vmktest::SpecForPath(path), r_.get());
  }
  Bytes Snapshot() override { return RawBytes(*r_); }

 protected:
  SweepContext& c_;
  OSType type_;
  DoFile doFile_;
  std::unique_ptr<R> r_;
};

// A row for a family whose Do_A..._file takes (mode, spec, record); `init(record, variant)`.
template <class R>
Family PresetRow(const char* name, OSType type, int16_t (*doFile)(int16_t, FSSpec, R*),
                 std::function<void(R*, int)> init) {
  return Family{name, [=](SweepContext& c, int variant) -> std::unique_ptr<Subject> {
                  return std::make_unique<PresetSubject<R>>(
                      c, type, doFile, [&](R* r) { init(r, variant); });
                }};
}

// The ramp file: the ramp and the two caller texts.
class RampSubject : public Subject {
 public:
  RampSubject(SweepContext& c, int variant) : c_(c) {
    Init_LutVign(variant == 0 ? 6 : 2, &lut_, 10, 200, 30, 90);
    std::snprintf(text1_, sizeof text1_, "%s", variant == 0 ? "Category" : "Kept");
    std::snprintf(text2_, sizeof text2_, "%s", variant == 0 ? "A ramp" : "Also kept");
  }
  Bytes Store() override {
    auto save = [this](int16_t mode, FSSpec spec, LutVign* l) {
      return Do_ALutVign_file(mode, spec, l, text1_, text2_, 0, 0, 0, 0);
    };
    return vmktest::SaveByDialog(c_.ui, save, &lut_, c_.dir.file("ramp"), FourCC("hVig"));
  }
  int32_t Read(const Bytes& bytes) override {
    const std::string path = c_.dir.file("offered.hvig");
    vmktest::WriteBytes(path, bytes);
    return Do_ALutVign_file(2, vmktest::SpecForPath(path), &lut_, text1_, text2_, 0, 0, 0, 0);
  }
  Bytes Snapshot() override {
    Bytes b = RawBytes(lut_);
    b.insert(b.end(), text1_, text1_ + sizeof text1_);
    b.insert(b.end(), text2_, text2_ + sizeof text2_);
    return b;
  }

 private:
  SweepContext& c_;
  LutVign lut_{};
  char text1_[256] = {};
  char text2_[256] = {};
};

// Colour correction: one file type per effect kind.
Family ColCorRow(const char* name, int16_t kind) {
  return Family{name, [=](SweepContext& c, int variant) -> std::unique_ptr<Subject> {
                  auto doFile = [kind](int16_t mode, FSSpec spec, ColCorPar* r) {
                    return Do_AColCor_file(mode, spec, r, kind);
                  };
                  return std::make_unique<PresetSubject<ColCorPar>>(
                      c, ColCorFileType(kind), doFile, [&](ColCorPar* r) {
                        Init_ColCorPar(r, variant == 0 ? 640 : 300, 480, 72, kind, 0, 0);
                        if (variant == 0)
                          for (int32_t i = 2; i < 200; ++i) r->w[i] += i % 13;
                      });
                }};
}

// The grid file: the record and the selection plane it carries.
class GridSubject : public PresetSubject<GridPar> {
 public:
  static constexpr int32_t kW = 8, kH = 6;
  GridSubject(SweepContext& c, int variant)
      : PresetSubject<GridPar>(
            c, FourCC("hXgr"),
            [this](int16_t mode, FSSpec spec, GridPar* r) {
              return Do_AGrid_file(mode, spec, r, 1, kW, kH, plane_);
            },
            [variant](GridPar* r) {
              Init_GridPar(r, 640, 480, variant == 0 ? 4 : 9, variant == 0 ? 3 : 9, 1, 3, 1, 1);
            }) {
    for (int32_t i = 0; i < kW * kH; ++i)
      plane_[i] = static_cast<uint8_t>(variant == 0 ? (i % 5 == 0 ? 200 : 0) : 1 + i);
  }
  Bytes Snapshot() override {
    Bytes b(sizeof(GridPar) + sizeof plane_);
    std::memcpy(b.data(), static_cast<const void*>(r_.get()), sizeof(GridPar));
    std::memcpy(b.data() + sizeof(GridPar), plane_, sizeof plane_);
    return b;
  }

 private:
  uint8_t plane_[kW * kH] = {};
};

// The resize file: the record and its two masks (owned outside the record).
class ResizeSubject : public Subject {
 public:
  static constexpr int32_t kW = 6, kH = 4;
  ResizeSubject(SweepContext& c, int variant) : c_(c) {
    Init_YoxelPar(&r_, variant == 0 ? 3000 : 640, variant == 0 ? 2000 : 480, 300, 0, 8);
    r_.maskWidth = kW;
    r_.maskHeight = kH;
    Init_YoxelMsk(&r_, 0);
    for (int32_t k = 0; k < kW * kH; ++k) {
      r_.protectMask[k] = static_cast<int16_t>(variant == 0 ? (k / 3) % 7 * 1000 : k + 1);
      r_.removeMask[k] = static_cast<int16_t>(variant == 0 && k % kW < 2 ? -16384 : 0);
    }
  }
  ~ResizeSubject() override { Dele_YoxelMsk(&r_); }
  Bytes Store() override {
    const std::string path = c_.dir.file("stored.hyxl");
    if (Do_AYoxel_file(3, vmktest::SpecForPath(path), &r_, 1, kW, kH, r_.protectMask,
                       r_.removeMask) != 0)
      return {};
    return vmktest::ReadBytes(path);
  }
  int32_t Read(const Bytes& bytes) override {
    const std::string path = c_.dir.file("offered.hyxl");
    vmktest::WriteBytes(path, bytes);
    return Do_AYoxel_file(2, vmktest::SpecForPath(path), &r_, 1, kW, kH, r_.protectMask,
                          r_.removeMask);
  }
  Bytes Snapshot() override {
    Bytes b = RawBytes(r_);
    const size_t masks = static_cast<size_t>(kW + 1) * (kH + 1) * sizeof(int16_t);
    const auto* p = reinterpret_cast<const uint8_t*>(r_.protectMask);
    const auto* q = reinterpret_cast<const uint8_t*>(r_.removeMask);
    b.insert(b.end(), p, p + masks);
    b.insert(b.end(), q, q + masks);
    return b;
  }

 private:
  SweepContext& c_;
  YoxelPar r_{};
};

// ---------------------------------------------------------------------------------------
// Files in the maker's folder: buffer swap slots and the preview model.
// ---------------------------------------------------------------------------------------

class SwapSubject : public Subject {
 public:
  static constexpr int32_t kW = 5, kH = 3;
  static constexpr int16_t kSlot = 7;
  SwapSubject(SweepContext& c, int variant) : c_(c) {
    for (int p = 0; p < 3; ++p)
      for (int32_t i = 0; i < kW * kH; ++i)
        planes_[p][i] = static_cast<uint8_t>(variant == 0 ? 40 * p + 3 * i : 250 - i);
  }
  Bytes Store() override {
    if (Effects::BufFile(0, kSlot, planes_[0], planes_[1], planes_[2], kH, kW, 3) != 0) return {};
    return vmktest::ReadBytes(SlotPath());
  }
  int32_t Read(const Bytes& bytes) override {
    vmktest::WriteBytes(SlotPath(), bytes);
    return Effects::BufFile(1, kSlot, planes_[0], planes_[1], planes_[2], kH, kW, 3);
  }
  Bytes Snapshot() override {
    Bytes b;
    for (const auto& p : planes_) b.insert(b.end(), p, p + sizeof p);
    return b;
  }

 private:
  std::string SlotPath() const { return c_.dir.file("pspBuf" + std::to_string(kSlot) + ".lst"); }
  SweepContext& c_;
  uint8_t planes_[3][kW * kH] = {};
};

class PreviewModelSubject : public Subject {
 public:
  PreviewModelSubject(SweepContext& c, int variant) : c_(c), model_(new PhoModTemplate{}) {
    for (size_t i = 0; i < sizeof model_->bytes; ++i)
      model_->bytes[i] = static_cast<unsigned char>(variant == 0 ? i * 7 : i >> 3);
  }
  Bytes Store() override {
    if (LoadPhoMod(1, model_.get()) != 0) return {};
    return vmktest::ReadBytes(c_.dir.file("VMKphop"));
  }
  int32_t Read(const Bytes& bytes) override {
    vmktest::WriteBytes(c_.dir.file("VMKphop"), bytes);
    return LoadPhoMod(0, model_.get());
  }
  Bytes Snapshot() override { return Bytes(model_->bytes, model_->bytes + sizeof model_->bytes); }

 private:
  SweepContext& c_;
  std::unique_ptr<PhoModTemplate> model_;
};

// ---------------------------------------------------------------------------------------
// The path-list file, read into a list that holds one path already.
// ---------------------------------------------------------------------------------------

class PathListSubject : public Subject {
 public:
  PathListSubject(SweepContext& c, int variant) : c_(c), list_(std::make_unique<CPathList>(0)) {
    if (variant == 0) {
      list_->first = pathtest::OpenPath({{10.25f, 20.5f}, {-3.75f, 0.0f}, {40.0f, 41.0f}});
      list_->first->next = pathtest::OpenPath({{1.0f, 2.0f}, {3.0f, 4.0f}});
      list_->count = 2;
    } else {
      list_->first = pathtest::OpenPath({{5.0f, 6.0f}, {7.0f, 8.0f}});
      list_->count = 1;
      held_ = list_->first;
    }
  }
  Bytes Store() override { return StoreList("stored.path"); }
  int32_t Read(const Bytes& bytes) override {
    const std::string path = c_.dir.file("offered.path");
    vmktest::WriteBytes(path, bytes);
    fichier f = FileAt(path);
    File_kern file(&f);
    int32_t pos = 0;
    return list_->ReadPathList(0, &file, &pos, -1, RGBColor{}, 100, 100);
  }
  // The list through its own writer.
  Bytes Snapshot() override { return StoreList("snapshot.path"); }
  // The count against the chain, and the path the list held before stays first.
  bool Consistent() override {
    int32_t chain = 0;
    for (CPath* p = list_->first; p != nullptr && chain <= list_->count; p = p->next) ++chain;
    return chain == list_->count && list_->first != nullptr && list_->first == held_;
  }
  bool KeepsCompletedParts() const override { return true; }

 private:
  static fichier FileAt(const std::string& posix) {
    fichier f;
    Init_FicStruct(&f);
    f.creator = FourCC("vMkC");
    f.type = FourCC("pAth");
    EXPECT_TRUE(SetFicFromPosix(&f, posix));
    return f;
  }
  Bytes StoreList(const std::string& name) {
    const std::string posix = c_.dir.file(name);
    vmktest::WriteBytes(posix, {});
    fichier f = FileAt(posix);
    File_kern file(&f);
    int32_t pos = 0;
    if (list_->WritePathList(0, &file, &pos, 100, 100) != 0) return {};
    return vmktest::ReadBytes(posix);
  }
  SweepContext& c_;
  std::unique_ptr<CPathList> list_;
  CPath* held_ = nullptr;
};

// ---------------------------------------------------------------------------------------
// Readers of bytes in memory: run-length streams and file records.
// ---------------------------------------------------------------------------------------

Bytes WordsToBytes(const std::vector<uint32_t>& words) {
  plat::bytes::Writer w(plat::bytes::Order::Little);
  vmkrec::WriteRunWords(w, words);
  return w.take();
}

std::vector<uint32_t> BytesToWords(const Bytes& bytes) {
  std::vector<uint32_t> words(bytes.size() / 4);
  for (size_t i = 0; i < words.size(); ++i) words[i] = plat::bytes::loadLE32(&bytes[4 * i]);
  return words;
}

// A width x height buffer of samples of type T decoded from stored words.
template <class T>
class RunLengthSubject : public Subject {
 public:
  using Coder = int32_t (*)(int16_t, int32_t*, int32_t, int32_t, T*, uint32_t*);
  static constexpr int32_t kW = 9, kH = 5;
  RunLengthSubject(Coder coder, int variant) : coder_(coder), buffer_(kW * kH) {
    for (int32_t i = 0; i < kW * kH; ++i)
      buffer_[i] = static_cast<T>(variant == 0 ? (i / 4) * 37 + (i % 9 == 0 ? 200 : 0) : 3 + i);
  }
  Bytes Store() override {
    int32_t count = 0;
    if (coder_(0, &count, kW, kH, buffer_.data(), nullptr) != 0 || count <= 0) return {};
    std::vector<uint32_t> words(static_cast<size_t>(count));
    if (coder_(1, &count, kW, kH, buffer_.data(), words.data()) != 0) return {};
    return WordsToBytes(words);
  }
  int32_t Read(const Bytes& bytes) override {
    std::vector<uint32_t> words = BytesToWords(bytes);
    words.push_back(0);  // a valid pointer even for no words
    int32_t count = static_cast<int32_t>(bytes.size() / 4);
    // An odd byte count leaves a word short: say so as an odd word count.
    if (bytes.size() % 4 != 0) count |= 1;
    return coder_(2, &count, kW, kH, buffer_.data(), words.data());
  }
  bool CutsAreRefused() const override { return false; }
  Bytes Snapshot() override {
    Bytes b(buffer_.size() * sizeof(T));
    std::memcpy(b.data(), buffer_.data(), b.size());
    return b;
  }

 private:
  Coder coder_;
  std::vector<T> buffer_;
};

// The stored streams of the resize and grid files: a word count, the words, then a
// resampling into a plane of another size.
class RunStreamSubject : public Subject {
 public:
  static constexpr int32_t kW = 7, kH = 4, kOutW = 11, kOutH = 3;
  explicit RunStreamSubject(int variant) : out_(kOutW * kOutH, static_cast<uint8_t>(variant + 1)) {}
  Bytes Store() override {
    std::vector<uint8_t> plane(kW * kH);
    for (size_t i = 0; i < plane.size(); ++i) plane[i] = static_cast<uint8_t>(i / 5 * 40);
    int32_t count = 0;
    encodeRLEcharbuf(0, &count, kW, kH, plane.data(), nullptr);
    std::vector<uint32_t> words(static_cast<size_t>(count));
    encodeRLEcharbuf(1, &count, kW, kH, plane.data(), words.data());
    plat::bytes::Writer w(plat::bytes::Order::Little);
    w.i32(kW);
    w.i32(kH);
    w.i32(count);
    vmkrec::WriteRunWords(w, words);
    return w.take();
  }
  int32_t Read(const Bytes& bytes) override {
    plat::bytes::Reader r(bytes.data(), bytes.size(), plat::bytes::Order::Little);
    const int32_t w = r.i32(), h = r.i32(), count = r.i32();
    std::vector<uint32_t> words;
    if (!r.ok() || !vmkrec::ReadRunWords(r, count, &words)) return -1;
    if (w <= 0 || h <= 0 || !vmkrec::RunsFit(words, static_cast<int64_t>(w) * h)) return -1;
    vmkrec::ResampleRuns(words, w, h, out_.data(), kOutW, kOutH);
    return 0;
  }
  Bytes Snapshot() override { return out_; }

 private:
  std::vector<uint8_t> out_;
};

class FileRecordSubject : public Subject {
 public:
  explicit FileRecordSubject(int variant) {
    Init_FicStruct(&f_);
    SetFicFromPosix(&f_, variant == 0 ? "/tmp/some folder/a preset.hvig" : "/x/y");
    f_.creator = FourCC("vMkC");
    f_.type = variant == 0 ? FourCC("hVig") : FourCC("TEXT");
    f_.spare[1] = variant == 0 ? 77 : -5;
  }
  Bytes Store() override {
    plat::bytes::Writer w(plat::bytes::Order::Little);
    Write_FicStruct(w, f_);
    return w.take();
  }
  int32_t Read(const Bytes& bytes) override {
    plat::bytes::Reader r(bytes.data(), bytes.size(), plat::bytes::Order::Little);
    return Read_FicStruct(r, &f_) ? 0 : -1;
  }
  Bytes Snapshot() override { return RawBytes(f_); }

 private:
  fichier f_;
};

// ---------------------------------------------------------------------------------------
// Script records, layer records, combined-layer files and the render file.
// ---------------------------------------------------------------------------------------

// A script of 40 x 30 planes whose first layer holds operations with blocks of their own
// (variant 0) or one plain operation (variant 1).
std::unique_ptr<ScriptFile> SweepScript(int variant) {
  RegisterEffectFamilies();
  auto s = std::make_unique<ScriptFile>();
  s->I_ScriptFile(3, 40, 30, 72.0f, 40, 30, 0, 0, 39, 39);
  const std::vector<int16_t> effects =
      variant == 0 ? std::vector<int16_t>{11, 23, 28, 22, 113, 106, 61} : std::vector<int16_t>{16};
  for (size_t k = 0; k < effects.size(); ++k) {
    const auto o = static_cast<int16_t>(k + 1);
    s->SetEffect(0, 1, o, effects[k], 0, 0, 0, 0);
    s->SetParam1(0, 1, o, static_cast<int16_t>(3 + k));
  }
  return s;
}

// The operations of a chain as their stored record, with the count and the chain's head.
Bytes ChainImage(ScriptFile& s, int16_t count, Oprn* first) {
  Bytes b;
  scriptrecord::BuildScriptRecord(s, 32767, first, fichier{}, nullptr, 0, 0, nullptr, 1, &b);
  const auto head = reinterpret_cast<uintptr_t>(first);
  for (size_t k = 0; k < sizeof head; ++k) b.push_back(static_cast<uint8_t>(head >> (8 * k)));
  b.push_back(static_cast<uint8_t>(count));
  b.push_back(static_cast<uint8_t>(count >> 8));
  return b;
}

class ScriptRecordSubject : public Subject {
 public:
  ScriptRecordSubject(SweepContext& c, int variant) : c_(c), s_(SweepScript(variant)) {}
  Laye* Layer() { return s_->GetStack(0)->GetLaye(1); }
  Bytes Store() override {
    fichier f;
    SetFicFromPosix(&f, c_.dir.file("script.eff"));
    File_kern file(&f);
    if (s_->SaveScript(Layer()->oprnCount, Layer()->firstOprn, &file, nullptr, 1, 2, nullptr, 1) != 0)
      return {};
    return vmktest::ReadBytes(c_.dir.file("script.eff"));
  }
  int32_t Read(const Bytes& bytes) override {
    vmktest::WriteBytes(c_.dir.file("offered.eff"), bytes);
    fichier f;
    SetFicFromPosix(&f, c_.dir.file("offered.eff"));
    File_kern file(&f);
    return s_->RecallScript(1, &Layer()->oprnCount, &Layer()->firstOprn, &file, 0, nullptr,
                            nullptr, nullptr, nullptr, nullptr, 1.0f, 1.0f, 1);
  }
  Bytes Snapshot() override { return ChainImage(*s_, Layer()->oprnCount, Layer()->firstOprn); }

 protected:
  SweepContext& c_;
  std::unique_ptr<ScriptFile> s_;
};

class LayerRecordSubject : public ScriptRecordSubject {
 public:
  using ScriptRecordSubject::ScriptRecordSubject;
  Bytes Store() override {
    fichier f;
    SetFicFromPosix(&f, c_.dir.file("layer.lay"));
    File_kern file(&f);
    int32_t pos = 0;
    if (file.CreateFile() != 0 && file.S_test_exist() != 1) return {};
    if (s_->SaveLay(0, &file, Layer(), &pos) != 0) return {};
    return vmktest::ReadBytes(c_.dir.file("layer.lay"));
  }
  int32_t Read(const Bytes& bytes) override {
    vmktest::WriteBytes(c_.dir.file("offered.lay"), bytes);
    fichier f;
    SetFicFromPosix(&f, c_.dir.file("offered.lay"));
    File_kern file(&f);
    int32_t pos = 0;
    return s_->RecallLay(&file, Layer(), &pos, 0);
  }
  Bytes Snapshot() override {
    Bytes b = ScriptRecordSubject::Snapshot();
    const Laye* l = Layer();
    for (int16_t v : {l->LayFlag, l->active, l->lock}) b.push_back(static_cast<uint8_t>(v));
    b.insert(b.end(), l->name, l->name + sizeof l->name);
    const auto paths = reinterpret_cast<uintptr_t>(l->paths);
    for (size_t k = 0; k < sizeof paths; ++k) b.push_back(static_cast<uint8_t>(paths >> (8 * k)));
    return b;
  }
};

class CombinedLayersSubject : public ScriptRecordSubject {
 public:
  using ScriptRecordSubject::ScriptRecordSubject;
  Bytes Store() override {
    fichier f;
    SetFicFromPosix(&f, c_.dir.file("all.lay"));
    File_kern file(&f);
    if (s_->SaveCombiLay(&file, 99, nullptr) != 0) return {};
    return vmktest::ReadBytes(c_.dir.file("all.lay"));
  }
  int32_t Read(const Bytes& bytes) override {
    vmktest::WriteBytes(c_.dir.file("offered.lay"), bytes);
    fichier f;
    SetFicFromPosix(&f, c_.dir.file("offered.lay"));
    File_kern file(&f);
    int32_t value = 0;
    return s_->RecallCombiLay(&file, 1, &value, nullptr);
  }
  Bytes Snapshot() override {
    Bytes b = ScriptRecordSubject::Snapshot();
    for (int32_t v : {s_->width, s_->height, static_cast<int32_t>(s_->resolution)})
      b.push_back(static_cast<uint8_t>(v));
    for (int16_t k = 0; k < ScriptFile::kStacks; ++k) {
      const LayerFile* st = s_->GetStack(k);
      const auto first = reinterpret_cast<uintptr_t>(st->firstLaye);
      for (size_t i = 0; i < sizeof first; ++i) b.push_back(static_cast<uint8_t>(first >> (8 * i)));
      b.push_back(static_cast<uint8_t>(st->layerCount));
      b.push_back(static_cast<uint8_t>(st->stackValue));
    }
    return b;
  }
};

class RenderFileSubject : public Subject {
 public:
  static constexpr int32_t kW = 12, kH = 9;
  RenderFileSubject(SweepContext&, int variant) {
    for (int c = 0; c < 4; ++c)
      for (size_t i = 0; i < planes_[c].size(); ++i)
        planes_[c][i] = static_cast<uint8_t>(variant == 0 ? i * (c + 1) : 200 - c);
  }
  Bytes Store() override {
    MiscRender r;
    if (r.ReadWriteRendFile(0, kW, kH, planes_[0].data(), planes_[1].data(), planes_[2].data(),
                            planes_[3].data(), kW, kH - 2) != 0)
      return {};
    fichier f;
    RenderFileRecord(&f);
    return vmktest::ReadBytes(FicToPosix(f));
  }
  int32_t Read(const Bytes& bytes) override {
    fichier f;
    RenderFileRecord(&f);
    vmktest::WriteBytes(FicToPosix(f), bytes);
    MiscRender r;
    return r.ReadWriteRendFile(1, kW, kH, planes_[0].data(), planes_[1].data(), planes_[2].data(),
                               planes_[3].data(), kW, kH);
  }
  Bytes Snapshot() override {
    Bytes b;
    for (const Bytes& p : planes_) b.insert(b.end(), p.begin(), p.end());
    return b;
  }

 private:
  std::vector<Bytes> planes_ = std::vector<Bytes>(4, Bytes(kW * kH));
};

// ---------------------------------------------------------------------------------------
// The table.
// ---------------------------------------------------------------------------------------

std::vector<Family> Families() {
  std::vector<Family> f;
  // The operation count, and the resize record's mask size behind the last operation.
  f.push_back(Family{"script record", [](SweepContext& c, int v) -> std::unique_ptr<Subject> {
                       return std::make_unique<ScriptRecordSubject>(c, v);
                     }, {68126}});
  f.push_back(Family{"layer record", [](SweepContext& c, int v) -> std::unique_ptr<Subject> {
                       return std::make_unique<LayerRecordSubject>(c, v);
                     }, {0, 8}});
  // Directory entries of stacks 0 and 1: position, count.
  f.push_back(Family{"combined layers", [](SweepContext& c, int v) -> std::unique_ptr<Subject> {
                       return std::make_unique<CombinedLayersSubject>(c, v);
                     }, {16, 20, 28, 32}});
  f.push_back(Family{"render file", [](SweepContext& c, int v) -> std::unique_ptr<Subject> {
                       return std::make_unique<RenderFileSubject>(c, v);
                     }});
  f.push_back(Family{"ramp", [](SweepContext& c, int v) -> std::unique_ptr<Subject> {
                       return std::make_unique<RampSubject>(c, v);
                     }});
  f.push_back(PresetRow<ColMatPar>("colour matrix", FourCC("hCma"), Do_AColMatPar_file,
                                   [](ColMatPar* r, int v) {
                                     Init_ColMatPar(r);
                                     if (v == 0) r->contrast = 1234;
                                   }));
  f.push_back(ColCorRow("colour correction Sse2", 119));
  f.push_back(ColCorRow("colour correction Sse3", 105));
  f.push_back(ColCorRow("colour correction Sse4", 103));
  f.push_back(ColCorRow("colour correction Sse5", 104));
  f.push_back(PresetRow<ZondracPar>("lens correction", FourCC("hZnd"), Do_AZondrac_file,
                                    [](ZondracPar* r, int v) {
                                      Init_ZondracPar(r, v == 0 ? 3000 : 640, 480, 72, 20, 20, 2);
                                    }));
  // The mask head after the record: sizes and word counts.
  f.push_back(Family{"resize",
                     [](SweepContext& c, int v) -> std::unique_ptr<Subject> {
                       return std::make_unique<ResizeSubject>(c, v);
                     },
                     {4316, 4320, 4324, 4328, 4332}});
  // The grid count, then the word count of the first coded grid.
  f.push_back(Family{"grid",
                     [](SweepContext& c, int v) -> std::unique_ptr<Subject> {
                       return std::make_unique<GridSubject>(c, v);
                     },
                     {16},
                     [](const Bytes& b) {
                       // After the head and one file reference per grid, each coded grid
                       // (word count, words), then the plane's width, height and word count.
                       std::vector<size_t> found;
                       const uint32_t grids = plat::bytes::loadLE32(&b[16]);
                       size_t at = 4160 + 538 * size_t{grids};
                       for (uint32_t i = 0; i < grids && at + 4 <= b.size(); ++i) {
                         found.push_back(at);
                         at += 4 + 4 * size_t{plat::bytes::loadLE32(&b[at])};
                       }
                       for (size_t k = 0; k < 3; ++k) found.push_back(at + 4 * k);
                       return found;
                     }});
  f.push_back(PresetRow<CombImaPar>("image combination", FourCC("hCim"), Do_ACombIma_file,
                                    [](CombImaPar* r, int v) { Init_CombImaPar(r, v == 0); }));
  f.push_back(PresetRow<BordPar>("border", FourCC("hBor"), Do_ABordPar_file,
                                 [](BordPar* r, int v) {
                                   Init_BordPar(r, 640, 480, 1, 1, 1, v == 0 ? 1 : 2);
                                 }));
  f.back().counts = {24};  // the layer count
  f.push_back(PresetRow<TextuPar>("texture", FourCC("hTex"), Do_ATextu_file,
                                  [](TextuPar* r, int) { Init_TextuPar(r); }));
  f.push_back(PresetRow<WeaveInfo>("weave", FourCC("hWea"), Do_AWeaveInfo_file,
                                   [](WeaveInfo* r, int v) {
                                     Init_WeaveInfo(r, v == 0 ? 6 : 3, v == 0 ? 10 : 4);
                                   }));
  f.push_back(PresetRow<PlaidPar>("plaid", FourCC("hPld"), Do_APlaidPar_file,
                                  [](PlaidPar* r, int v) { Init_PlaidPar(r, v == 0); }));
  f.push_back(PresetRow<FractPar>("fractal", FourCC("hFra"), Do_AFract_file,
                                  [](FractPar* r, int v) { Init_FractPar(r, v == 0 ? 1 : 2, 0); }));
  f.push_back(PresetRow<CookiCutPar>("cookie cutter", FourCC("hCoo"), Do_ACookiCut_file,
                                     [](CookiCutPar* r, int) { Init_CookiCutPar(r); }));
  f.push_back(PresetRow<ShapePar>("shape", FourCC("hShp"), Do_AShapePar_file,
                                  [](ShapePar* r, int v) {
                                    Init_ShapePar(r, v == 0 ? 100 : 30, 60, v == 0 ? 1 : 2);
                                  }));
  f.push_back(PresetRow<ScreenPar>("screen", FourCC("hScr"), Do_AScreenPar_file,
                                   [](ScreenPar* r, int v) { Init_ScreenPar(r, v == 0); }));
  f.push_back(PresetRow<BDropPar>("backdrop", FourCC("hCbd"), Do_ABDrop_file,
                                  [](BDropPar* r, int v) { Init_BDropPar(r, v == 0); }));
  f.push_back(PresetRow<CompoPar>("compo", FourCC("hCom"), Do_ACompoPar_file,
                                  [](CompoPar* r, int v) {
                                    Init_CompoPar(r, v == 0 ? 320 : 64, 200, 1, 1, 1, 1);
                                  }));
  f.push_back(PresetRow<SupVigPar>("super gradient", FourCC("hSvr"), Do_ASupVigPar_file,
                                   [](SupVigPar* r, int v) {
                                     Init_SupVigPar(r);
                                     r->w[3] = v == 0 ? 77 : 5;
                                   }));
  f.push_back(PresetRow<StrokPar>("strokes", FourCC("hSto"), Do_AStrok_file,
                                  [](StrokPar* r, int) { Init_StrokPar(r); }));
  f.push_back(PresetRow<ShadoPar>("cast shadow", FourCC("hShs"), Do_AShadoPar_file,
                                  [](ShadoPar* r, int v) {
                                    Init_ShadoPar(r, 0);
                                    r->w[kShaCornerX + 1] = v == 0 ? 333 : -9;
                                  }));
  f.push_back(PresetRow<TessPar>("tessellation", FourCC("hPts"), Do_ATessPar_file,
                                 [](TessPar* r, int v) { Init_TessPar(r, v == 0, 0, v == 0); }));
  f.push_back(PresetRow<HeschPar>("twin tessellation", FourCC("hHhs"), Do_AHeschPar_file,
                                  [](HeschPar* r, int v) { Init_HeschPar(r, 1, 1, v == 0); }));
  f.push_back(PresetRow<RepPar>("photo repeat", FourCC("hPre"), Do_ARepPar_file,
                                [](RepPar* r, int v) {
                                  Init_RepPar(r, 1, v == 0 ? 5 : 2, v == 0 ? 4 : 2);
                                }));
  f.push_back(Family{"path list",
                     [](SweepContext& c, int v) -> std::unique_ptr<Subject> {
                       return std::make_unique<PathListSubject>(c, v);
                     },
                     // The list head, then each path's knot count and block switches.
                     {2, 6, 10, 14, 14 + 520, 14 + 524, 686, 686 + 520, 686 + 524}});
  f.push_back(Family{"buffer swap file",
                     [](SweepContext& c, int v) -> std::unique_ptr<Subject> {
                       return std::make_unique<SwapSubject>(c, v);
                     },
                     {2, 6}});
  f.push_back(Family{"preview model", [](SweepContext& c, int v) -> std::unique_ptr<Subject> {
                       return std::make_unique<PreviewModelSubject>(c, v);
                     }});
  f.push_back(Family{"run lengths 8-bit", [](SweepContext&, int v) -> std::unique_ptr<Subject> {
                       return std::make_unique<RunLengthSubject<uint8_t>>(encodeRLEcharbuf, v);
                     }});
  f.push_back(Family{"run lengths 16-bit", [](SweepContext&, int v) -> std::unique_ptr<Subject> {
                       return std::make_unique<RunLengthSubject<int16_t>>(encodeRLEshortbuf, v);
                     }});
  f.push_back(Family{"run lengths 32-bit", [](SweepContext&, int v) -> std::unique_ptr<Subject> {
                       return std::make_unique<RunLengthSubject<uint32_t>>(encodeRLElongbuf, v);
                     }});
  f.push_back(Family{"stored run stream",
                     [](SweepContext&, int v) -> std::unique_ptr<Subject> {
                       return std::make_unique<RunStreamSubject>(v);
                     },
                     {0, 4, 8}});
  f.push_back(Family{"file record", [](SweepContext&, int v) -> std::unique_ptr<Subject> {
                       return std::make_unique<FileRecordSubject>(v);
                     }});
  return f;
}

// ---------------------------------------------------------------------------------------
// The damage.
// ---------------------------------------------------------------------------------------

struct Damaged {
  std::string what;
  Bytes bytes;
  bool noise;  // noise of the right length: may legitimately be accepted
};

std::vector<size_t> CutLengths(size_t size) {
  std::vector<size_t> cuts = {0, 1, 4, 8, size / 2, size - 1};
  for (size_t k = 1; k < 20; ++k) cuts.push_back(size * k / 20);
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  cuts.erase(std::remove_if(cuts.begin(), cuts.end(), [size](size_t n) { return n >= size; }),
             cuts.end());
  return cuts;
}

void PutWord(Bytes& b, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k) b[at + k] = static_cast<uint8_t>(v >> (8 * k));
}

// Offsets of words that look like counts or sizes (small and positive, little-endian), an
// even spread of at most `most` of them, with the row's own.
std::vector<size_t> CountLikeWords(const Bytes& valid, const std::vector<size_t>& own,
                                   size_t most) {
  std::vector<size_t> found;
  for (size_t at = 0; at + 4 <= valid.size(); at += 2) {
    const uint32_t v = plat::bytes::loadLE32(&valid[at]);
    if (v >= 1 && v <= 100000) found.push_back(at);
  }
  std::vector<size_t> picked;
  for (size_t k = 0; k < most && !found.empty(); ++k)
    picked.push_back(found[found.size() * k / most]);
  for (size_t at : own)
    if (at + 4 <= valid.size()) picked.push_back(at);
  std::sort(picked.begin(), picked.end());
  picked.erase(std::unique(picked.begin(), picked.end()), picked.end());
  return picked;
}

std::vector<Damaged> DamageOf(const Bytes& valid, const std::vector<size_t>& own) {
  std::vector<Damaged> out;
  out.push_back({"empty", {}, false});
  for (size_t n : CutLengths(valid.size()))
    out.push_back({"cut to " + std::to_string(n), Bytes(valid.begin(), valid.begin() + n), false});

  plat::SeedRandom(20240613);
  for (int k = 0; k < 3; ++k) {
    Bytes noise(valid.size());
    for (auto& b : noise) b = static_cast<uint8_t>(plat::Random() & 0xFF);
    if (k == 1 && noise.size() >= 12) {
      // The big-endian branch, whether the flag is word 0 or follows an 8-byte head.
      PutWord(noise, 0, 0);
      PutWord(noise, 8, 0);
    }
    if (k == 2 && noise.size() >= 8) {
      PutWord(noise, 0, 1);  // a plausible head over noise
      std::copy(valid.begin(), valid.begin() + 8, noise.begin());
    }
    out.push_back({"noise " + std::to_string(k), std::move(noise), true});
  }
  // The valid file's own head with its words in big-endian order: the old writer's flag 0.
  if (valid.size() >= 16) {
    for (size_t at : {0, 8}) {
      Bytes big = valid;
      PutWord(big, at, 0);
      out.push_back({"word at " + std::to_string(at) + " = 0", std::move(big), true});
    }
  }

  for (int k = 0; k < 6; ++k) {
    Bytes flipped = valid;
    const int flips = 1 + 3 * k;
    for (int i = 0; i < flips && !flipped.empty(); ++i) {
      const uint32_t bit = static_cast<uint32_t>(plat::Random()) % (flipped.size() * 8);
      flipped[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
    }
    out.push_back({std::to_string(flips) + " bit flips", std::move(flipped), true});
  }

  for (size_t at : CountLikeWords(valid, own, 16)) {
    for (uint32_t v : {0x7FFFFFFFu, 0xFFFFFFFFu, 0x80000000u, 0x40000000u}) {
      Bytes b = valid;
      PutWord(b, at, v);
      out.push_back({"word at " + std::to_string(at) + " = " + std::to_string(v), std::move(b),
                     true});
    }
  }
  return out;
}

class DamagedFileSweep : public vmktest::RecordFileTest {
 protected:
  void SetUp() override {
    gPer->previewWidth = 640;
    gPer->previewHeight = 480;
    Init_DrawPar(&drawPar_);
    gPer->drawPar = &drawPar_;
    ASSERT_TRUE(SetFicFromPosix(&appData_.data().makersFolder, dir_.path().string()));
  }
  void TearDown() override {
    gPer->drawPar = nullptr;
    vmktest::RecordFileTest::TearDown();
  }

  void Sweep(const Family& family) {
    SCOPED_TRACE(family.name);
    SweepContext c{ui_, dir_};
    const Bytes valid = family.make(c, 0)->Store();
    ASSERT_FALSE(valid.empty()) << "the writer made no file";
    {
      // The harness itself: the valid file reads back.
      auto reader = family.make(c, 1);
      ASSERT_EQ(reader->Read(valid), 0) << "the valid file was refused";
    }
    std::vector<size_t> counts = family.counts;
    if (family.walk) {
      const std::vector<size_t> more = family.walk(valid);
      counts.insert(counts.end(), more.begin(), more.end());
    }
    for (const Damaged& d : DamageOf(valid, counts)) {
      SCOPED_TRACE(d.what);
      auto subject = family.make(c, 1);
      const Bytes before = subject->Snapshot();
      const int32_t rc = subject->Read(d.bytes);
      ASSERT_TRUE(rc == 0 || rc == -1) << "answer " << rc;
      EXPECT_TRUE(subject->Consistent()) << "left inconsistent";
      if (rc == -1 && !subject->KeepsCompletedParts()) {
        EXPECT_TRUE(subject->Snapshot() == before) << "changed by a refused file";
      } else if (rc == 0 && !d.noise && subject->CutsAreRefused()) {
        ADD_FAILURE() << "an empty or cut file was accepted";
      }
      if (rc == 0 || subject->KeepsCompletedParts()) {
        // Whatever was taken in can be stored again by the reader's own writer.
        EXPECT_FALSE(subject->Store().empty()) << "what was read cannot be stored again";
      }
    }
  }

  DrawPar drawPar_;
};

TEST_F(DamagedFileSweep, EveryReaderRefusesDamageAndKeepsTheCallersRecord) {
  for (const Family& family : Families()) Sweep(family);
}

}  // namespace

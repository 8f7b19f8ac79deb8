// Fuzz target: a record file taken by the dialog that edits it, the way a
// user's file reaches it, and the dialog's own arithmetic run on what was
// read. The first byte of an input picks the dialog; the rest is the file.
// The seeds libFuzzer starts from: what each dialog saves from its defaults
// (those within its input size). The replay runs those that are larger too,
// the content library's presets of each dialog's type and the damaged
// settings files the dialog tests keep.
// Each input opens the dialog twice on the offscreen test driver:
//   * with the file as its settings file (read when the window opens) and
//     as the only preset of its popup: the first tick and redraw, the
//     popup's hover preview, its choice, Load... of the same file, a few
//     more ticks, then the close box;
//   * with the record the family's reader took from the file handed over by
//     the owner (Set<X>Par), as the operation-list editor hands a stored
//     record: the first tick and redraw, then the close box.
// The dialogs' previews render through their engines on a small picture
// (VMK_FUZZ_NO_ENGINES=1, as scripts/fuzz runs the family, leaves them
// unrendered, for a faster search of the dialogs' and the views' own
// arithmetic; the replay renders every input's previews).
// The sanitizers are the check: nothing the readers accept may overflow,
// index outside a table or convert out of range on the way to the screen.
#include <QApplication>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/core/file_records.h"
#include "app/core/session_state.h"
#include "app/folder_scans.h"
#include "content/combine_presets.h"
#include "content/generator_presets.h"
#include "content/photo_effect_presets.h"
#include "dialogs/correction/channel_mixer_dialog.h"
#include "dialogs/correction/content_aware_dialog.h"
#include "dialogs/correction/focus_dialog.h"
#include "dialogs/correction/grid_warp_dialog.h"
#include "dialogs/correction/lens_correction_dialog.h"
#include "dialogs/correction/noise_dialog.h"
#include "dialogs/correction/smoothing_dialog.h"
#include "dialogs/frame/effect_registry.h"
#include "dialogs/patterns/colour_matrix_dialog.h"
#include "dialogs/patterns/cookie_dialog.h"
#include "dialogs/patterns/plaid_dialog.h"
#include "dialogs/patterns/shape_dialogs.h"
#include "dialogs/patterns/texture_dialog.h"
#include "dialogs/patterns/weave_dialog.h"
#include "dialogs/photo/border_dialog.h"
#include "dialogs/photo/combine_dialog.h"
#include "dialogs/photo/fractal_dialog.h"
#include "dialogs/photo/image_library.h"
#include "dialogs/photo/repeat_dialog.h"
#include "dialogs/photo/tessellation_dialog.h"
#include "engines/families/effect_families.h"
#include "fuzz/fuzz_support.h"
#include "host/ApePlugInUtilities/ape_spans.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "host/session/app_object.h"
#include "host/session/document.h"
#include "platform/files/file_types.h"
#include "platform/toolbox/test_driver.h"
#include "platform/toolbox/toolbox.h"
#include "views/preview_engines.h"

namespace vmkfuzz {
namespace {

namespace tb = plat::tb;
namespace fs = std::filesystem;

// The document every dialog opens on: small, so that each preview renders
// quickly, and not square, so that the fits of both axes are worked out.
constexpr int16_t kPictureWidth = 96;
constexpr int16_t kPictureHeight = 64;

// The session the dialogs need, made once: the offscreen application, the
// project's bundle (its windows and resource file) linked into the work
// folder, the maker's folder there, the application object with one
// document, its picture, and the test driver that runs the windows.
struct Session {
  QApplication* app = nullptr;
  FilterRecord filter{};
  VMKapp* vmkApp = nullptr;
  PixelBuffer photo;
  PixelBuffer unused;
  tb::test::Driver* driver = nullptr;
  fs::path makers;
};

// Qt's offscreen platform says once a window that it cannot raise one:
// nothing the fuzzing looks at, so not said at every input.
QtMessageHandler gQtMessages = nullptr;
void QtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (text.contains("does not support raise")) return;
  if (gQtMessages != nullptr) gQtMessages(type, context, text);
}

Session& TheSession() {
  static Session* s = [] {
    auto* s = new Session;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    gQtMessages = qInstallMessageHandler(QtMessage);
    static int argc = 1;
    static char name[] = "fuzz_dialog";
    static char* argv[] = {name, nullptr};
    s->app = new QApplication(argc, argv);
    const fs::path root = File("session");
    const fs::path resources = root / "ApeVMKPlugin.bundle" / "Resources";
    fs::create_directories(resources);
    fs::create_directory_symlink(fs::path(VMK_SOURCE_DIR) / "resources" / "nib", resources / "VMKmain_pin.nib");
    fs::create_directory_symlink(fs::path(VMK_SOURCE_DIR) / "resources" / "rsrc", resources / "ApeVMKPlugin.rsrc");
    s->makers = root / "support" / "Vellmarkstead";
    fs::create_directories(s->makers);
    ::setenv("VMK_SUPPORT_DIR", (root / "support").c_str(), 1);
    SetBundleFolder((root / "ApeVMKPlugin.bundle").string());
    s->filter.planeCount = 3;
    s->filter.imageMode = 3;
    s->filter.imageWidth = kPictureWidth;
    s->filter.imageHeight = kPictureHeight;
    s->filter.imageRect = Rect{0, 0, kPictureHeight, kPictureWidth};
    s->filter.resolutionH = 300 << 16;
    s->filter.inLastPlane = 2;
    gFilterRecord = &s->filter;
    if (LocateMakersFolder(&gPer->makersFolder) != 1) Violation("harness: maker's folder");
    // The application object brings the session's memory manager.
    delete gPer->memMan;
    gPer->memMan = nullptr;
    RegisterEffectFamilies();
    s->vmkApp = new VMKapp();
    if (s->vmkApp->InitNibRef(1) != 0) Violation("harness: the bundle's windows");
    s->vmkApp->appData.documents[0] = new VMKdoc();
    s->photo = PixelBuffer(kPictureWidth, kPictureHeight, 1, 4);
    for (uint32_t y = 0; y < static_cast<uint32_t>(kPictureHeight); ++y)
      for (uint32_t x = 0; x < static_cast<uint32_t>(kPictureWidth); ++x) {
        uint8_t* p = s->photo.rowPtr(y) + 4 * x;
        p[0] = static_cast<uint8_t>(40 + x * 2);
        p[1] = static_cast<uint8_t>(30 + y * 3);
        p[2] = static_cast<uint8_t>((x * y) % 251);
        p[3] = 255;
      }
    SetSessionSpanImages(&s->photo, &s->unused);
    vmkviews::RegisterPreviewEngines();
    if (std::getenv("VMK_FUZZ_NO_ENGINES") != nullptr) {
      for (int16_t routine = vmkviews::kPreviewYoxel; routine < vmkviews::kPreviewEffect; ++routine)
        vmkviews::RegisterPreviewEngine(routine, 0, nullptr);
      for (int16_t code = 0; code < 128; ++code) vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, code, nullptr);
    }
    s->driver = new tb::test::Driver;
    // The image library's list, made once: a dialog that finds none asks
    // the user to build it first.
    if (VMKlistima(3).PrepareImaListFile(1) != 0) Violation("harness: the image library's list");
    s->driver->Settle();
    // Taken down at exit in the order it was made, so that the sanitizers'
    // leak check finds nothing of the session's. The application object
    // stays: by then Qt's own statics are gone, and it owns nothing of ours.
    std::atexit([] {
      Session& t = TheSession();
      t.driver->Settle();
      delete t.driver;
      SetSessionSpanImages(nullptr, nullptr);
      delete t.vmkApp;
      gFilterRecord = nullptr;
    });
    return s;
  }();
  return *s;
}

std::string MakersPath(const std::string& name) { return (TheSession().makers / name).string(); }

// Sends a command to the window as its button or menu would.
void Command(tb::WindowRef w, OSType code) {
  tb::Event e;
  e.eventClass = tb::kEventClassCommand;
  e.kind = tb::kEventCommandProcess;
  e.command = code;
  e.window = w;
  tb::SendEventToEventTarget(&e, w);
}

// Removes the files an input and the seeds left in the maker's folder (the
// offered file, the saved ones, the dialogs' settings files), so that a
// popup lists only this input's file and a dialog opens on no earlier one.
void ClearPresets() {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(TheSession().makers, ec)) {
    const std::string name = e.path().filename().string();
    if (e.is_regular_file() && (name.starts_with("offered") || name.starts_with("seed") || name.starts_with("tmpvmk")))
      fs::remove(e.path(), ec);
  }
}

struct DialogEntry {
  const char* name;
  OSType type;
  // The file the dialog itself saves from its defaults (its 'Bsav').
  std::function<Bytes()> seed;
  std::function<void(const uint8_t* data, size_t size)> one;
};

// A dialog D editing records R: `make` builds it, `set` hands it the
// owner's record, `run` runs it with a flag.
template <class D, class R>
struct DialogKit {
  const char* name;
  OSType type;
  std::function<std::unique_ptr<D>()> make;
  std::function<void(D&, R*)> set;
  std::function<int16_t(D&, int16_t)> run;
  // What the seed's user changes before saving, when the dialog's defaults
  // make every redraw slow; empty for most.
  std::function<void(tb::test::Driver&)> lighten;

  std::string PresetPath() const { return MakersPath("offered" + plat::files::ExtensionForType(type)); }

  // The dialog's settings file in the maker's folder, or empty.
  static std::string SettingsPath(const D& d) {
    const char* temp = d.frameDesc().tempFile;
    fichier f;
    if (temp == nullptr || !MakersFolderItem(temp, &f)) return {};
    return FicToPosix(f);
  }

  Bytes Seed() {
    Session& s = TheSession();
    ClearPresets();
    std::unique_ptr<D> d = make();
    const std::string path = MakersPath("seed");
    s.driver->ui().AnswerSaveFile(path);
    s.driver->Advance(0.1);
    if (lighten) lighten(*s.driver);
    s.driver->Do([](tb::WindowRef w) { Command(w, FourCC("Bsav")); }).CloseBox();
    (void)run(*d, 0);
    s.driver->Settle();
    Bytes b = GetFile(path + plat::files::ExtensionForType(type));
    ClearPresets();
    return b;
  }

  void FileRoutes(const uint8_t* data, size_t size) {
    Session& s = TheSession();
    std::unique_ptr<D> d = make();
    const std::string preset = PresetPath();
    PutFile(preset, data, size);
    const std::string settings = SettingsPath(*d);
    if (!settings.empty()) PutFile(settings, data, size);
    const EffectFrameDesc& desc = d->frameDesc();
    const OSType sig = desc.signature;
    const int32_t popup = desc.presetPopup;
    s.driver->Advance(0.6);
    if (popup >= 0) {
      s.driver->Hover(sig, popup, {1}).Advance(0.6);
      s.driver->Choose(sig, popup, 1).Advance(0.6);
    }
    s.driver->ui().AnswerOpenFile(preset);
    s.driver->Do([](tb::WindowRef w) { Command(w, FourCC("Bloa")); }).Advance(0.6).Advance(1.0).CloseBox();
    (void)run(*d, 0);
    s.driver->Settle();
  }

  void OwnerRoute(const uint8_t* data, size_t size) {
    Session& s = TheSession();
    std::unique_ptr<D> d = make();
    const FrameRecordOps* ops = d->frameDesc().record;
    if (ops == nullptr || ops->file == nullptr || ops->init == nullptr) return;
    ScratchRecord<R> record;
    if (!record) return;
    ops->init(record.get(), d->context);
    const std::string path = File("owner" + plat::files::ExtensionForType(type));
    PutFile(path, data, size);
    if (ops->file(2, SpecForPath(path), record.get(), d->context.effect) != 0) {
      RefusedChecked();
      return;
    }
    Accepted();
    // No settings file: the owner's record is what the window shows.
    if (const std::string settings = SettingsPath(*d); !settings.empty()) {
      std::error_code ec;
      fs::remove(settings, ec);
    }
    set(*d, record.get());
    s.driver->Advance(0.6).Advance(0.6).CloseBox();
    (void)run(*d, 1);
    s.driver->Settle();
  }

  void One(const uint8_t* data, size_t size) {
    ClearPresets();
    FileRoutes(data, size);
    OwnerRoute(data, size);
    ClearPresets();
  }
};

template <class D, class R>
DialogEntry Entry(const char* name, OSType type, std::function<void(D&, R*)> set,
                  std::function<int16_t(D&, int16_t)> run,
                  std::function<void(tb::test::Driver&)> lighten = {}) {
  auto kit = std::make_shared<DialogKit<D, R>>();
  kit->name = name;
  kit->type = type;
  kit->make = [] { return std::make_unique<D>(); };
  kit->set = std::move(set);
  kit->run = std::move(run);
  kit->lighten = std::move(lighten);
  return DialogEntry{name, type, [kit] { return kit->Seed(); },
                     [kit](const uint8_t* d, size_t n) { kit->One(d, n); }};
}

std::vector<DialogEntry>& Table() {
  static std::vector<DialogEntry> t;
  if (!t.empty()) return t;
  // The colour-correction family: one record, four dialogs.
  t.push_back(Entry<VMKcmixUI, ColCorPar>(
      "channel mixer", FourCC("Sse2"), [](VMKcmixUI& d, ColCorPar* r) { d.SetColCorPar(r); },
      [](VMKcmixUI& d, int16_t) { return d.Do_CMixDlg(); }));
  t.push_back(Entry<VMKkevrUI, ColCorPar>(
      "focus", FourCC("Sse3"), [](VMKkevrUI& d, ColCorPar* r) { d.SetColCorPar(r); },
      [](VMKkevrUI& d, int16_t) { return d.Do_KevrDlg(); }));
  t.push_back(Entry<VMKdnoiUI, ColCorPar>(
      "noise", FourCC("Sse4"), [](VMKdnoiUI& d, ColCorPar* r) { d.SetColCorPar(r); },
      [](VMKdnoiUI& d, int16_t) { return d.Do_DNoiDlg(); }));
  t.push_back(Entry<VMKglimUI, ColCorPar>(
      "smoothing", FourCC("Sse5"), [](VMKglimUI& d, ColCorPar* r) { d.SetColCorPar(r); },
      [](VMKglimUI& d, int16_t) { return d.Do_GlimDlg(); }));
  t.push_back(Entry<VMKzondracUI, ZondracPar>(
      "lens correction", FourCC("hZnd"), [](VMKzondracUI& d, ZondracPar* r) { d.SetZondracPar(r); },
      [](VMKzondracUI& d, int16_t) { return d.Do_ZondracDlg(); }));
  t.push_back(Entry<VMKgridUI, GridPar>(
      "grid warp", FourCC("hXgr"), [](VMKgridUI& d, GridPar* r) { d.SetGridPar(r); },
      [](VMKgridUI& d, int16_t flag) { return d.Do_GridDlg(flag); }));
  t.push_back(Entry<VMKcolormatrixUI, ColMatPar>(
      "colour matrix", FourCC("hCma"), [](VMKcolormatrixUI& d, ColMatPar* r) { d.SetColMatPar(r); },
      [](VMKcolormatrixUI& d, int16_t flag) { return d.Do_ColorMatrixDlg(flag, 0); }));
  t.push_back(Entry<VMKcookicutUI, CookiCutPar>(
      "cookie cutter", FourCC("hCoo"), [](VMKcookicutUI& d, CookiCutPar* r) { d.SetCookiCutPar(r); },
      [](VMKcookicutUI& d, int16_t flag) { return d.Do_CookiCutDlg(flag); }));
  t.push_back(Entry<VMKcreaplaidUI, PlaidPar>(
      "plaid", FourCC("hPld"), [](VMKcreaplaidUI& d, PlaidPar* r) { d.SetPlaidPar(100, r); },
      [](VMKcreaplaidUI& d, int16_t flag) { return d.Do_CreaPlaidDlg(flag); }));
  // The spirograph's default curve closes after some 22,000 knots, each drawn
  // in a hundred strokes at every redraw of the outline: ten seconds an input
  // under the sanitizers. Its seed steps 10 degrees (the angle step's slider,
  // 41), the same curve in a tenth of the knots.
  t.push_back(Entry<VMKspiromakerUI, ShapePar>(
      "spirograph", FourCC("hShp"), [](VMKspiromakerUI& d, ShapePar* r) { d.SetShapePar(r); },
      [](VMKspiromakerUI& d, int16_t flag) { return d.Do_SpiroMakerDlg(flag); },
      [](tb::test::Driver& driver) { driver.Slide(FourCC("Spir"), 41, 10).Advance(0.1); }));
  t.push_back(Entry<VMKstarmakerUI, ShapePar>(
      "star", FourCC("hShp"), [](VMKstarmakerUI& d, ShapePar* r) { d.SetShapePar(r); },
      [](VMKstarmakerUI& d, int16_t flag) { return d.Do_StarMakerDlg(flag); }));
  t.push_back(Entry<VMKtexturgenUI, TextuPar>(
      "texture", FourCC("hTex"), [](VMKtexturgenUI& d, TextuPar* r) { d.SetTextuPar(r); },
      [](VMKtexturgenUI& d, int16_t) { return d.Do_TexturGenDlg(); }));
  t.push_back(Entry<VMKcreaweavUI, WeaveInfo>(
      "weave", FourCC("hWea"), [](VMKcreaweavUI& d, WeaveInfo* r) { d.SetWeaveInfo(r); },
      [](VMKcreaweavUI& d, int16_t) { return d.Do_CreaWeavDlg(); }));
  t.push_back(Entry<VMKmirrovanUI, BordPar>(
      "border", FourCC("hBor"), [](VMKmirrovanUI& d, BordPar* r) { d.SetBordPar(r); },
      [](VMKmirrovanUI& d, int16_t flag) { return d.Do_MirrovanDlg(flag); }));
  t.push_back(Entry<VMKcimaUI, CombImaPar>(
      "image combination", FourCC("hCim"), [](VMKcimaUI& d, CombImaPar* r) { d.SetCombImaPar(r); },
      [](VMKcimaUI& d, int16_t flag) { return d.Do_CImaDlg(flag); }));
  t.push_back(Entry<VMKorreluneUI, FractPar>(
      "fractal", FourCC("hFra"), [](VMKorreluneUI& d, FractPar* r) { d.SetFractPar(r); },
      [](VMKorreluneUI& d, int16_t flag) { return d.Do_OrreluneDlg(flag); }));
  t.push_back(Entry<VMKcastelUI, RepPar>(
      "photo repeat", FourCC("hPre"), [](VMKcastelUI& d, RepPar* r) { d.SetRepPar(r); },
      [](VMKcastelUI& d, int16_t flag) { return d.Do_CastelDlg(flag); }));
  t.push_back(Entry<VMKquorlinUI, TessPar>(
      "tessellation", FourCC("hPts"), [](VMKquorlinUI& d, TessPar* r) { d.SetTessPar(r); },
      [](VMKquorlinUI& d, int16_t flag) { return d.Do_QuorlinDlg(flag); }));
  return t;
}

// The content library's presets of the dialogs' types, as make-content
// writes them, each led by its dialog's byte (every dialog of its type).
void AddContentSeeds(std::vector<Bytes>* out) {
  auto& t = Table();
  std::vector<content::GeneratorPreset> presets = content::GeneratorPresets();
  const std::vector<content::GeneratorPreset>& photo = content::PhotoEffectPresets();
  presets.insert(presets.end(), photo.begin(), photo.end());
  for (const content::GeneratorPreset& p : presets) {
    const std::string path = File("content-preset");
    TheSession().driver->ui().AnswerSaveFile(path);
    if (p.write() != 0) Violation("content preset writer failed", p.path);
    const Bytes b = GetFile(path + plat::files::ExtensionForType(p.type));
    for (size_t k = 0; k < t.size(); ++k) {
      if (t[k].type != p.type) continue;
      Bytes led = b;
      led.insert(led.begin(), static_cast<uint8_t>(k));
      out->push_back(std::move(led));
    }
  }
  size_t combination = 0;
  while (combination < t.size() && t[combination].type != FourCC("hCim")) ++combination;
  auto r = std::make_unique<CombImaPar>();
  for (size_t k = 0; k < content::CombinePresetPaths().size(); ++k) {
    content::BuildCombinePreset(k, r.get());
    const std::string path = File("content-combination-" + std::to_string(k) + ".hcim");
    TheSession().driver->ui().AnswerSaveFile(path);
    if (Do_ACombIma_file(1, FSSpec{}, r.get()) != 0) Violation("seed writer failed", "content combination");
    Bytes b = GetFile(path);
    b.insert(b.begin(), static_cast<uint8_t>(combination));
    out->push_back(std::move(b));
  }
}

// The damaged settings files the dialog tests keep (tests/fixtures/damaged/),
// each led by the byte of every dialog of its type.
void AddDamagedSeeds(std::vector<Bytes>* out) {
  auto& t = Table();
  std::error_code ec;
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(fs::path(VMK_SOURCE_DIR) / "tests" / "fixtures" / "damaged", ec))
    if (e.is_regular_file()) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  for (const fs::path& p : files) {
    const Bytes b = GetFile(p.string());
    for (size_t k = 0; k < t.size(); ++k) {
      if (plat::files::ExtensionForType(t[k].type) != p.extension().string()) continue;
      Bytes led = b;
      led.insert(led.begin(), static_cast<uint8_t>(k));
      out->push_back(std::move(led));
    }
  }
}

// The file each dialog saves from its defaults: the inputs libFuzzer starts
// from, when they are within its input size (a larger one would reach the
// dialog cut short). The mutations reach every dialog from any of them.
// Made once: the replay asks for them twice.
const std::vector<Bytes>& OwnSeeds() {
  static const std::vector<Bytes> own = [] {
    std::vector<Bytes> out;
    auto& t = Table();
    for (size_t k = 0; k < t.size(); ++k) {
      Bytes b = t[k].seed();
      if (b.empty()) Violation("the dialog saved no file", t[k].name);
      b.insert(b.begin(), static_cast<uint8_t>(k));
      out.push_back(std::move(b));
    }
    return out;
  }();
  return own;
}

constexpr size_t kFuzzedSize = 65536;  // scripts/fuzz's -max_len

std::vector<Bytes> DialogSeeds() {
  std::vector<Bytes> out = OwnSeeds();
  std::erase_if(out, [](const Bytes& b) { return b.size() > kFuzzedSize; });
  return out;
}

// Replayed by the tests only: the dialogs' own files too large to fuzz, the
// content library's presets and the damaged settings files. Each takes
// seconds through its dialog under the sanitizers (a spirograph of the
// library draws its outline from thousands of knots at every redraw), so
// libFuzzer, which runs its seeds before any new input, spent its whole
// time on them and counted the slowest as findings.
std::vector<Bytes> ReplayOnlySeeds() {
  std::vector<Bytes> out = OwnSeeds();
  std::erase_if(out, [](const Bytes& b) { return b.size() <= kFuzzedSize; });
  AddContentSeeds(&out);
  AddDamagedSeeds(&out);
  return out;
}

void DialogOne(const uint8_t* data, size_t size) {
  if (size < 1) return;
  (void)TheSession();
  auto& t = Table();
  t[data[0] % t.size()].one(data + 1, size - 1);
}

}  // namespace

const Family& TheFamily() {
  static const Family family{"dialog", DialogSeeds, DialogOne, ReplayOnlySeeds};
  return family;
}

}  // namespace vmkfuzz

// The offscreen application lives as long as the process (libFuzzer never
// returns to tear it down), and with it fontconfig's caches, which the leak
// check at exit would report as the library's own leak. Only that library is
// passed over, as the live check's sanitizer runs pass it over
// (scripts/live-lsan.supp); a leak of ours is still reported.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

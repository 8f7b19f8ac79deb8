#include "host_session.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/imageio/image_io.h"
#include "stop_signals.h"

namespace fs = std::filesystem;
namespace io = plat::imageio;

std::vector<plat::hostapi::VersionId> HostEditManager::selectedVersionIds() {
  std::vector<plat::hostapi::VersionId> ids;
  for (size_t i = 0; i < paths_.size(); ++i) ids.push_back(std::to_string(i));
  return ids;
}

std::vector<plat::hostapi::VersionDictionary> HostEditManager::editableVersionsOfVersions(
    const std::vector<plat::hostapi::VersionId>& versions, int32_t, bool) {
  std::vector<plat::hostapi::VersionDictionary> out;
  for (const auto& id : versions) {
    char* end = nullptr;
    const unsigned long i = std::strtoul(id.c_str(), &end, 10);
    if (end == id.c_str() || *end != 0 || i >= paths_.size()) continue;
    out.push_back({{plat::hostapi::kExportKeyReferencedMasterPath, paths_[i]},
                   {plat::hostapi::kExportKeyImageType, io::kTypeTIFF}});
  }
  return out;
}

namespace {

// Ends the application's own loop once every loop inside it has ended: an
// alert that OK shows after it asked for the end stays until it is
// answered. exit, not quit: quit asks the windows to close, and the
// plug-in's window refuses its close box.
void ExitOnceAtTopLevel() {
  if (QThread::currentThread()->loopLevel() <= 1) {
    QCoreApplication::exit(0);
    return;
  }
  QTimer::singleShot(20, qApp, ExitOnceAtTopLevel);
}

}  // namespace

void HostEditManager::endEditSession() {
  // The versions are the user's now: a stop signal no longer removes them,
  // nor does a later start.
  stops::Settle();
  stops::KeepCopies();
  outcome_ = Outcome::kEnded;
  ExitOnceAtTopLevel();
}

void HostEditManager::cancelEditSession() {
  outcome_ = Outcome::kCancelled;
  // exit, not quit: quit asks the windows to close, and the plug-in's window
  // refuses its close box.
  QCoreApplication::exit(0);
}

void HostEditManager::PerformOnMainThread(std::function<void()> call, bool waitUntilDone) {
  if (waitUntilDone) {
    call();
    return;
  }
  QMetaObject::invokeMethod(qApp, std::move(call), Qt::QueuedConnection);
}

plat::hostapi::ApertureEditManager* HostApiManager::apiForProtocol(const std::string& protocol) {
  return protocol == plat::hostapi::kApertureEditManagerProtocol ? edit_ : nullptr;
}

PluginModule::~PluginModule() {
  // The module stays loaded until the process ends: Qt may still hold
  // pointers into it (its widget classes) while the application goes down.
}

bool PluginModule::Load(const std::string& bundle, std::string* why) {
  const std::string path = bundle + "/ApeVMKPlugin.so";
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* e = dlerror();
    *why = "cannot load the plug-in " + path + ": " + (e != nullptr ? e : "unknown error");
    return false;
  }
  factory_ = reinterpret_cast<plat::hostapi::PluginFactory>(
      dlsym(handle_, plat::hostapi::kPluginFactorySymbol));
  if (factory_ == nullptr) {
    *why = path + " is not an edit plug-in (no " + plat::hostapi::kPluginFactorySymbol + ")";
    return false;
  }
  return true;
}

plat::hostapi::ApertureEditPlugin* PluginModule::Create(plat::hostapi::ApertureApiManager* api) {
  return factory_ != nullptr ? factory_(api) : nullptr;
}

int PluginModule::RenderLayers(plat::hostapi::ApertureEditPlugin* plugin, const std::string& layerFile) {
  auto hook = reinterpret_cast<plat::hostapi::PluginRenderLayers>(
      handle_ != nullptr ? dlsym(handle_, plat::hostapi::kPluginRenderLayersSymbol) : nullptr);
  return hook != nullptr ? hook(plugin, layerFile.c_str()) : -1;
}

long PluginModule::PreviewsShown(plat::hostapi::ApertureEditPlugin* plugin) {
  auto hook = reinterpret_cast<plat::hostapi::PluginPreviewsShown>(
      handle_ != nullptr ? dlsym(handle_, plat::hostapi::kPluginPreviewsShownSymbol) : nullptr);
  return hook != nullptr ? hook(plugin) : 0;
}

void PluginModule::WatchTemporaries(const plat::files::TemporaryWatch* watch) {
  auto hook = reinterpret_cast<plat::hostapi::PluginWatchTemporaries>(
      handle_ != nullptr ? dlsym(handle_, plat::hostapi::kPluginWatchTemporariesSymbol) : nullptr);
  if (hook != nullptr) hook(watch);
}

bool MakeEditableVersion(const std::string& image, const std::string& folder, std::string* copy,
                         std::string* why) {
  io::ImageInfo info;
  std::vector<uint8_t> pixels;
  size_t rowBytes = 0;
  int bytes = 1;
  const io::TargetFactory target = [&](const io::ImageInfo& i, io::PixelTarget* t) {
    bytes = i.bitsPerComponent > 8 ? 2 : 1;
    rowBytes = static_cast<size_t>(i.width) * 4 * static_cast<size_t>(bytes);
    pixels.assign(rowBytes * i.height, 0);
    t->base = pixels.data();
    t->rowBytes = rowBytes;
    t->bytesPerComponent = bytes;
    return true;
  };
  // Straight colours and the alpha, which the copy keeps (the properties
  // say it has one): the plug-in edits the colours and passes the alpha on.
  const int read = io::ReadImage(image, target, &info, true, why);
  if (read != io::kOk) {
    if (why->empty()) *why = io::StatusText(read);
    return false;
  }
  // A camera or phone keeps its pixels as the sensor read them and says in
  // the orientation how to turn them; the user edits the picture upright, so
  // the version is turned here once and written with orientation 1.
  std::vector<uint8_t> upright;
  uint32_t width = info.width, height = info.height;
  const io::PixelSource stored{pixels.data(), rowBytes, info.width, info.height, bytes};
  const int turned = io::OrientPixels(stored, info.properties.orientation, &upright, &width, &height);
  if (turned != io::kOk) {
    *why = "cannot turn " + image + " upright: " + io::StatusText(turned);
    return false;
  }
  pixels.clear();
  pixels.shrink_to_fit();
  std::error_code ec;
  fs::create_directories(folder, ec);
  const std::string stem = fs::path(image).stem().string();
  fs::path out = fs::path(folder) / (stem + ".tif");
  // The name is claimed by giving it a file, which fails when anything is
  // there (a link too): another start on the same folder, looking at the
  // same moment, then takes the next name instead of writing over this
  // one. The file is made without a name and recorded before it gets this
  // one, so that a later start knows it as this start's if this one is
  // killed.
  stops::Made* claim = nullptr;
  for (int n = 1;; ++n) {
    bool claimed = false;
    int error = 0;
    {
      const stops::Change change;
      int fd = ::open(fs::path(folder).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
      if (fd >= 0) {
        claim = stops::RecordMade(out.string(), fd, false);
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        claimed = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, out.c_str(), AT_SYMLINK_FOLLOW) == 0;
        error = errno;
        ::close(fd);
        if (!claimed) {
          stops::TakeBack(claim);
          claim = nullptr;
        }
      }
      // No unnamed files on this file system (or no way to name one): the
      // name is made at once, and recorded right after.
      if (fd < 0 || (!claimed && error != EEXIST)) {
        fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        error = errno;
        if (fd >= 0) {
          claim = stops::RecordMade(out.string(), fd, false);
          claimed = true;
          ::close(fd);
        }
      }
    }
    if (claimed) {
      stops::HoldForTest("claim");
      break;
    }
    if (error != EEXIST) {
      *why = "cannot write " + out.string() + ": " + std::strerror(error);
      return false;
    }
    out = fs::path(folder) / (stem + "-" + std::to_string(n) + ".tif");
  }
  io::Properties properties = info.properties;
  properties.orientation = 1;
  const io::PixelSource source{upright.data(), static_cast<size_t>(width) * 4 * static_cast<size_t>(bytes),
                               width, height, bytes};
  // The copy replaces the empty file that holds the name (and the record
  // of the claim follows it to the copy; to another name when a file of
  // the user's took this one meanwhile).
  const int wrote = io::WriteImage(out.string(), io::kTypeTIFF, properties, source, why);
  const std::string made = stops::PathOf(claim);
  struct stat st = {};
  if (wrote != io::kOk || ::lstat(made.c_str(), &st) != 0) {
    if (wrote == io::kOk) *why = std::strerror(errno);
    if (why->empty()) *why = io::StatusText(wrote);
    *why = "cannot write " + made + ": " + *why;
    // The claim is taken away again, while it is still the file made.
    const stops::Change change;
    stops::TakeBack(claim);
    return false;
  }
  stops::CopyWhole(claim);
  *copy = made;
  return true;
}

bool EditableCopies::Make(const std::string& image, const std::string& folder, std::string* copy,
                          std::string* why) {
  // The folders missing now, outermost first, are made here one by one, so
  // that each is recorded as this start's the moment it is made; one that
  // another start made meanwhile is that start's.
  std::vector<fs::path> missing;
  std::error_code ec;
  struct stat st = {};
  for (fs::path p = fs::absolute(folder, ec); !ec && !p.empty() && ::lstat(p.c_str(), &st) != 0 && errno == ENOENT;
       p = p.parent_path()) {
    missing.insert(missing.begin(), p);
    if (p == p.parent_path()) break;
  }
  for (const fs::path& f : missing) {
    const stops::Change change;
    if (::mkdir(f.c_str(), 0777) == 0) stops::RecordMade(f.string(), -1, true);
    else if (errno != EEXIST) break;
  }
  const bool made = MakeEditableVersion(image, folder, copy, why);
  if (made) ++made_;
  return made;
}

EditableCopies::~EditableCopies() {
  stops::Settle();
  Remove();
  // Everything this start leaves has been said: no later start takes it.
  stops::EndRecord();
}

void EditableCopies::Remove() {
  if (!kept_) stops::RemoveRecorded(&notRemoved_);
}


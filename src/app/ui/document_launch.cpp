#include "app/ui/document_launch.h"

#include <QDesktopServices>
#include <QUrl>

#include <filesystem>

#include "app/file_dialogs.h"

namespace {

constexpr OSErr kFileNotFound = -43;

std::function<bool(const std::string&)>& Opener() {
  static std::function<bool(const std::string&)> opener;
  return opener;
}

bool OpenOnDesktop(const std::string& posix) {
  if (Opener()) return Opener()(posix);
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(posix)));
}

}  // namespace

void SetDocumentOpener(std::function<bool(const std::string& posix)> opener) {
  Opener() = std::move(opener);
}

OSType MyNavigCreator(OSType type, OSType creator) {
  return type == FourCC("TEXT") ? FourCC("MOSS") : creator;
}

OSType MyExplorCreator(OSType type, OSType creator) {
  return type == FourCC("TEXT") ? FourCC("MSIE") : creator;
}

OSType MyPhotoshopCreator(OSType type, OSType creator) {
  return type == FourCC("8BPS") ? FourCC("8BIM") : creator;
}

OSErr LaunchTheDocument(const fichier* file, int16_t, CreatorHook hook, OSType* usedCreator) {
  if (file == nullptr) return kFileNotFound;
  const std::string posix = FicToPosix(*file);
  std::error_code ec;
  if (posix.empty() || !std::filesystem::is_regular_file(posix, ec)) return kFileNotFound;
  OSType type = file->type;
  OSType creator = file->creator;
  const FSSpec spec = SpecOf(*file);
  FSpGetFileType(&spec, &type, &creator);
  if (hook != nullptr) creator = hook(type, creator);
  if (usedCreator != nullptr) *usedCreator = creator;
  return OpenOnDesktop(posix) ? 0 : kFileNotFound;
}

OSErr DoLaunch(int16_t how, fichier* file) {
  switch (how) {
    case 0:
      if (VMK_GetFile(file, nullptr, 0) != 1) return 0;
      [[fallthrough]];
    case 3: {
      const OSErr e = LaunchTheDocument(file, 0, MyNavigCreator);
      return e == 0 ? 0 : LaunchTheDocument(file, 0, MyExplorCreator);
    }
    case 1: return LaunchTheDocument(file, 0, MyNavigCreator);
    case 2: return LaunchTheDocument(file, 0, MyExplorCreator);
    case 4: return LaunchTheDocument(file, 0, MyPhotoshopCreator);
    default: return 0;
  }
}

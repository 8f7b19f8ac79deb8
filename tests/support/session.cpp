#include "support/session.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace vmktest {

ScopedSession::ScopedSession() : previous_(gPer) {
  per_.memMan = new CMemMan;
  gPer = &per_;
}

ScopedSession::~ScopedSession() {
  gPer = previous_;
  delete per_.memMan;
}

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "vmktest-XXXXXX").string();
  if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  if (const char* old = std::getenv(name)) old_ = old;
  if (value != nullptr)
    ::setenv(name, value, 1);
  else
    ::unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (old_)
    ::setenv(name_, old_->c_str(), 1);
  else
    ::unsetenv(name_);
}

bool MakeContentLibrary(const std::string& makersFolder) {
#ifdef VMK_MAKE_CONTENT
  const std::string command =
      std::string("'") + VMK_MAKE_CONTENT + "' '" + makersFolder + "' >/dev/null";
  return makersFolder.find('\'') == std::string::npos && std::system(command.c_str()) == 0;
#else
  (void)makersFolder;
  return false;
#endif
}

std::vector<uint8_t> ReadBytes(const std::string& posix) {
  std::ifstream in(posix, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& posix, const std::vector<uint8_t>& bytes) {
  std::ofstream out(posix, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadText(const std::string& posix) {
  std::ifstream in(posix, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteText(const std::string& posix, const std::string& text) {
  std::ofstream(posix, std::ios::binary) << text;
}

void Touch(const std::filesystem::path& path) {
  std::filesystem::create_directories(path.parent_path());
  WriteText(path.string(), "x");
}

}  // namespace vmktest

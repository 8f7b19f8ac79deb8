#include "support/session.h"

#include <cstdlib>
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

}  // namespace vmktest

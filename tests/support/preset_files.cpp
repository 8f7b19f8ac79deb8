#include "support/preset_files.h"

namespace vmktest {

FSSpec SpecForPath(const std::string& posix) {
  fichier f;
  EXPECT_TRUE(SetFicFromPosix(&f, posix)) << posix;
  return SpecOf(f);
}

}  // namespace vmktest

#include "support/preset_files.h"

#include <fstream>
#include <iterator>

namespace vmktest {

FSSpec SpecForPath(const std::string& posix) {
  fichier f;
  EXPECT_TRUE(SetFicFromPosix(&f, posix)) << posix;
  return SpecOf(f);
}

std::vector<uint8_t> ReadBytes(const std::string& posix) {
  std::ifstream in(posix, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& posix, const std::vector<uint8_t>& bytes) {
  std::ofstream out(posix, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace vmktest

// Fuzz target: The resource folder: 'PAT#' pattern lists and the 'open' type list.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "app/file_dialogs.h"
#include "platform/draw/coverage.h"
#include "platform/memory/memory.h"
#include "platform/resources/resource_file.h"
#include "platform/types/mac_types.h"

namespace vmkfuzz {
namespace {


std::vector<Bytes> ResourceSeeds() {
  // Format of a seed: 2-byte little-endian length L of the PAT# text, the text, then the
  // bytes of the 'open' list resource.
  std::vector<Bytes> out;
  const std::string src = std::string(VMK_SOURCE_DIR) + "/resources/rsrc/PAT#";
  std::vector<std::string> texts;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(src, ec)) {
    const Bytes b = GetFile(e.path().string());
    texts.emplace_back(b.begin(), b.end());
  }
  if (texts.empty()) texts.push_back("# a list\nAA55AA55AA55AA55\nFF00FF00FF00FF00 # two\n");
  for (const std::string& text : texts) {
    Bytes b;
    b.push_back(static_cast<uint8_t>(text.size() & 0xFF));
    b.push_back(static_cast<uint8_t>(text.size() >> 8));
    b.insert(b.end(), text.begin(), text.end());
    const OSType types[] = {FourCC("pAth"), FourCC("TEXT")};
    plat::Ptr list = CreateOpenHandle(kOpenListSignature, 2, types);
    const int64_t n = plat::GetPtrSize(list);
    b.insert(b.end(), reinterpret_cast<uint8_t*>(list), reinterpret_cast<uint8_t*>(list) + n);
    plat::DisposePtr(list);
    out.push_back(std::move(b));
  }
  return out;
}

void ResourceOne(const uint8_t* data, size_t size) {
  static bool made = false;
  static int16_t nextId = 1;
  static int folderGeneration = 0;
  if (!made) {
    std::filesystem::create_directories(File("rsrc/PAT#"));
    std::filesystem::create_directories(File("rsrc/open"));
    plat::res::SetResourceFolder(File("rsrc"));
    made = true;
  }
  if (size < 2) return;
  size_t textLen = data[0] | (static_cast<size_t>(data[1]) << 8);
  if (textLen > size - 2) textLen = size - 2;
  const uint8_t* text = data + 2;
  const uint8_t* rest = text + textLen;
  const size_t restLen = size - 2 - textLen;
  // The pattern lists are cached by folder and number: every input gets a number of its
  // own (a new folder name once the numbers are used up).
  if (nextId == 32767) {
    ++folderGeneration;
    const std::string folder = File("rsrc" + std::to_string(folderGeneration));
    std::filesystem::create_directories(folder + "/PAT#");
    std::filesystem::create_directories(folder + "/open");
    plat::res::SetResourceFolder(folder);
    nextId = 1;
  }
  const int16_t id = nextId++;
  const std::string root = plat::res::ResourceFolder();
  PutFile(root + "/PAT#/" + std::to_string(id) + ".txt", text, textLen);
  (void)plat::draw::LoadPatternList(id);
  std::filesystem::remove(root + "/PAT#/" + std::to_string(id) + ".txt");
  PutFile(root + "/open/128.bin", rest, restLen);
  const OSType fallback[] = {FourCC("hBor")};
  plat::Ptr list = CreateOpenHandle(kOpenListSignature, 1, fallback);
  const std::vector<OSType> types = TypesOfOpenList(list);
  if (list != nullptr && types.empty()) Violation("open list: handle with no types");
  plat::DisposePtr(list);
  (void)plat::res::GetResource(FourCC("open"), 128);
}

}  // namespace

const Family& TheFamily() {
  static const Family family{"resource", ResourceSeeds, ResourceOne};
  return family;
}

}  // namespace vmkfuzz

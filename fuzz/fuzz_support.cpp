// The shared frame of the fuzz targets and libFuzzer's two entry points.
#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/core/app_data.h"
#include "app/core/memory_manager.h"
#include "app/core/session_state.h"
#include "paths/draw_par.h"

namespace vmkfuzz {
namespace {

std::string gDir;
TPermanent gPerRecord;
TAppData gAppRecord;
DrawPar gDrawPar;
plat::ui::ScriptedUi* gUi = nullptr;
long gAccepted = 0;
long gRefusedChecked = 0;

}  // namespace

void SetUp() {
  if (!gDir.empty()) return;
  const char* base = std::getenv("VMK_FUZZ_TMP");
  const std::string root =
      base != nullptr ? base : (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
  std::string tmpl = root + "/vmkfuzz-" + TheFamily().name + "-XXXXXX";
  if (::mkdtemp(tmpl.data()) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  gDir = tmpl;
  std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(gDir, ec);
  });
  gPerRecord.memMan = new CMemMan;
  gPer = &gPerRecord;
  gappData = &gAppRecord;
  Init_DrawPar(&gDrawPar);
  gPer->drawPar = &gDrawPar;
  gPer->previewWidth = 640;
  gPer->previewHeight = 480;
  if (!SetFicFromPosix(&gAppRecord.makersFolder, gDir)) Violation("harness: maker's folder");
  gUi = new plat::ui::ScriptedUi;
  plat::ui::InstallServices(gUi);
  if (std::getenv("VMK_FUZZ_STATS") != nullptr)
    std::atexit([] {
      std::fprintf(stderr, "VMK-STATS %s accepted %ld refused-and-checked %ld\n",
                   TheFamily().name, gAccepted, gRefusedChecked);
    });
}

void Violation(const char* what, const std::string& detail) {
  std::fprintf(stderr, "VMK-INVARIANT [%s]: %s %s\n", TheFamily().name, what, detail.c_str());
  std::fflush(stderr);
  std::abort();
}

void Accepted() { ++gAccepted; }
void RefusedChecked() { ++gRefusedChecked; }

std::string File(const std::string& name) { return gDir + "/" + name; }

void PutFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    std::perror(path.c_str());
    std::abort();
  }
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
}

// In one read: a stream iterator's byte at a time was most of a large input's time.
Bytes GetFile(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return {};
  Bytes b;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    const long size = std::ftell(f);
    if (size > 0 && std::fseek(f, 0, SEEK_SET) == 0) {
      b.resize(static_cast<size_t>(size));
      b.resize(std::fread(b.data(), 1, b.size(), f));
    }
  }
  std::fclose(f);
  return b;
}

FSSpec SpecForPath(const std::string& posix) {
  fichier f;
  Init_FicStruct(&f);
  if (!SetFicFromPosix(&f, posix)) Violation("harness: cannot name", posix);
  return SpecOf(f);
}

plat::ui::ScriptedUi& Ui() { return *gUi; }

int WriteSeeds(const std::string& folder) {
  std::filesystem::create_directories(folder);
  int n = 0;
  for (const Bytes& b : TheFamily().seeds()) {
    const std::string path =
        folder + "/seed-" + TheFamily().name + "-" + std::to_string(n++);
    PutFile(path, b.data(), b.size());
  }
  return n;
}

}  // namespace vmkfuzz

// VMK_FUZZ_SEEDS=<folder> writes the seeds and exits instead of fuzzing.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vmkfuzz::SetUp();
  if (const char* folder = std::getenv("VMK_FUZZ_SEEDS")) {
    std::fprintf(stderr, "wrote %d seeds\n", vmkfuzz::WriteSeeds(folder));
    std::exit(0);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vmkfuzz::TheFamily().one(data, size);
  return 0;
}

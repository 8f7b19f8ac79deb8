// Fuzz target: The buffer swap slot file of Effects::BufFile (the first byte of an input
// picks one or three channels).
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "operations/effects.h"

namespace vmkfuzz {
namespace {


constexpr int32_t kSwapW = 5, kSwapH = 3;
constexpr int16_t kSwapSlot = 7;

std::string SlotPath() { return File("pspBuf" + std::to_string(kSwapSlot) + ".lst"); }

std::vector<Bytes> SwapSeeds() {
  std::vector<Bytes> out;
  for (int32_t channels : {3, 1}) {
    uint8_t planes[3][kSwapW * kSwapH];
    for (int p = 0; p < 3; ++p)
      for (int32_t i = 0; i < kSwapW * kSwapH; ++i) planes[p][i] = static_cast<uint8_t>(40 * p + 3 * i);
    if (Effects::BufFile(0, kSwapSlot, planes[0], planes[1], planes[2], kSwapH, kSwapW, channels) != 0)
      Violation("swap seed writer failed");
    Bytes b = GetFile(SlotPath());
    b.insert(b.begin(), static_cast<uint8_t>(channels));
    out.push_back(std::move(b));
  }
  return out;
}

void SwapOne(const uint8_t* data, size_t size) {
  if (size < 1) return;
  const int32_t channels = (data[0] & 1) != 0 ? 1 : 3;
  uint8_t planes[3][kSwapW * kSwapH];
  for (int p = 0; p < 3; ++p)
    for (int32_t i = 0; i < kSwapW * kSwapH; ++i) planes[p][i] = static_cast<uint8_t>(250 - i - p);
  Bytes before(&planes[0][0], &planes[0][0] + sizeof planes);
  PutFile(SlotPath(), data + 1, size - 1);
  const int32_t rc =
      Effects::BufFile(1, kSwapSlot, planes[0], planes[1], planes[2], kSwapH, kSwapW, channels);
  if (rc != 0 && rc != -1) Violation("swap answer");
  if (rc == -1 && std::memcmp(before.data(), planes, sizeof planes) != 0)
    Violation("swap: planes changed by a refused file");
  rc == 0 ? Accepted() : RefusedChecked();
}

}  // namespace

const Family& TheFamily() {
  static const Family family{"swap", SwapSeeds, SwapOne};
  return family;
}

}  // namespace vmkfuzz

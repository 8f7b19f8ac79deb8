// Fuzz target: The run-length decoders (encodeRLE*buf mode 2) and the stored run streams
// of the engines' mask records.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "engines/correction/run_stream.h"
#include "platform/bytes/byte_order.h"
#include "raster/run_length.h"

namespace vmkfuzz {
namespace {


std::vector<Bytes> RleSeeds() {
  std::vector<Bytes> out;
  for (uint8_t sel = 0; sel < 4; ++sel) {
    const int32_t w = 9, h = 5;
    std::vector<uint32_t> words;
    int32_t count = 0;
    if (sel == 0 || sel == 3) {
      std::vector<uint8_t> buf(w * h);
      for (int32_t i = 0; i < w * h; ++i)
        buf[i] = static_cast<uint8_t>((i / 4) * 37 + (i % 9 == 0 ? 200 : 0));
      encodeRLEcharbuf(0, &count, w, h, buf.data(), nullptr);
      words.resize(count);
      encodeRLEcharbuf(1, &count, w, h, buf.data(), words.data());
    } else if (sel == 1) {
      std::vector<int16_t> buf(w * h);
      for (int32_t i = 0; i < w * h; ++i) buf[i] = static_cast<int16_t>((i / 4) * -1000);
      encodeRLEshortbuf(0, &count, w, h, buf.data(), nullptr);
      words.resize(count);
      encodeRLEshortbuf(1, &count, w, h, buf.data(), words.data());
    } else {
      std::vector<uint32_t> buf(w * h);
      for (int32_t i = 0; i < w * h; ++i) buf[i] = (i / 3) * 0x01010101u;
      encodeRLElongbuf(0, &count, w, h, buf.data(), nullptr);
      words.resize(count);
      encodeRLElongbuf(1, &count, w, h, buf.data(), words.data());
    }
    plat::bytes::Writer wr(plat::bytes::Order::Little);
    wr.u8(sel);
    wr.u8(w);
    wr.u8(h);
    wr.u8(11);  // resample target width
    wr.u8(3);   // resample target height
    if (sel == 3) {
      wr.i32(w);
      wr.i32(h);
      wr.i32(count);
    }
    vmkrec::WriteRunWords(wr, words);
    out.push_back(wr.take());
  }
  return out;
}

template <class T, class Coder>
void DecodeCheck(Coder coder, int32_t w, int32_t h, const std::vector<uint32_t>& words,
                 int32_t count) {
  std::vector<T> buf(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < buf.size(); ++i) buf[i] = static_cast<T>(3 + i);
  const std::vector<T> before = buf;
  std::vector<uint32_t> coded = words;
  coded.push_back(0);  // a valid pointer even for no words
  const int32_t rc = coder(2, &count, w, h, buf.data(), coded.data());
  if (rc != 0 && rc != -1) Violation("rle answer");
  if (rc == -1 && buf != before) Violation("rle: buffer changed by a refused stream");
  rc == 0 ? Accepted() : RefusedChecked();
}

void RleOne(const uint8_t* data, size_t size) {
  if (size < 5) return;
  const uint8_t sel = data[0] % 4;
  const int32_t w = data[1] % 65, h = data[2] % 65;  // 0 included: must be refused
  const int32_t ow = data[3] % 40, oh = data[4] % 40;
  data += 5;
  size -= 5;
  if (sel == 3) {
    // Stored run stream: width, height and word count as a file holds them.
    plat::bytes::Reader r(data, size, plat::bytes::Order::Little);
    const int32_t sw = r.i32(), sh = r.i32(), count = r.i32();
    std::vector<uint32_t> words;
    if (!r.ok() || !vmkrec::ReadRunWords(r, count, &words)) return;
    if (sw <= 0 || sh <= 0 || !vmkrec::RunsFit(words, static_cast<int64_t>(sw) * sh)) return;
    std::vector<uint8_t> out8(static_cast<size_t>(ow) * oh + 1, 7);
    std::vector<int16_t> out16(static_cast<size_t>(ow) * oh + 1, 7);
    vmkrec::ResampleRuns(words, sw, sh, out8.data(), ow, oh);
    vmkrec::ResampleRuns(words, sw, sh, out16.data(), ow, oh);
    return;
  }
  std::vector<uint32_t> words(size / 4);
  for (size_t i = 0; i < words.size(); ++i) words[i] = plat::bytes::loadLE32(data + 4 * i);
  int32_t count = static_cast<int32_t>(words.size());
  if (size % 4 != 0) count |= 1;
  if (sel == 0) DecodeCheck<uint8_t>(encodeRLEcharbuf, w, h, words, count);
  if (sel == 1) DecodeCheck<int16_t>(encodeRLEshortbuf, w, h, words, count);
  if (sel == 2) DecodeCheck<uint32_t>(encodeRLElongbuf, w, h, words, count);
}

}  // namespace

const Family& TheFamily() {
  static const Family family{"rle", RleSeeds, RleOne};
  return family;
}

}  // namespace vmkfuzz

// An icon named by a desktop entry that is a decompression bomb: 17.5 KB of PNG declaring
// 12,000 x 12,000 pixels. Drawing it at the icon size must give nil quickly and cheaply.
//   bench_icon_bomb --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/linux/pixbuf_image.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

void appendChunk(Bytes& png, const char* kind, const Bytes& payload) {
  const std::uint32_t length = htonl(static_cast<std::uint32_t>(payload.size()));
  png.insert(png.end(), reinterpret_cast<const std::uint8_t*>(&length),
             reinterpret_cast<const std::uint8_t*>(&length) + 4);
  Bytes body(kind, kind + 4);
  body.insert(body.end(), payload.begin(), payload.end());
  const std::uint32_t crc = htonl(static_cast<std::uint32_t>(::crc32(0, body.data(), body.size())));
  png.insert(png.end(), body.begin(), body.end());
  png.insert(png.end(), reinterpret_cast<const std::uint8_t*>(&crc),
             reinterpret_cast<const std::uint8_t*>(&crc) + 4);
}

// A black one-bit image of side x side pixels, compressed as tightly as zlib can.
Bytes bombPng(std::uint32_t side) {
  Bytes header(13, 0);
  const std::uint32_t bigEndianSide = htonl(side);
  std::memcpy(header.data(), &bigEndianSide, 4);
  std::memcpy(header.data() + 4, &bigEndianSide, 4);
  header[8] = 1;  // Bit depth; colour type 0 (grey).
  z_stream stream{};
  deflateInit(&stream, 9);
  Bytes row(1 + (side + 7) / 8, 0);
  Bytes compressed(1 << 20);
  stream.next_out = compressed.data();
  stream.avail_out = static_cast<uInt>(compressed.size());
  for (std::uint32_t y = 0; y < side; ++y) {
    stream.next_in = row.data();
    stream.avail_in = static_cast<uInt>(row.size());
    deflate(&stream, Z_NO_FLUSH);
  }
  deflate(&stream, Z_FINISH);
  compressed.resize(stream.total_out);
  deflateEnd(&stream);
  Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  appendChunk(png, "IHDR", header);
  appendChunk(png, "IDAT", compressed);
  appendChunk(png, "IEND", {});
  return png;
}

void bombIcon(benchmark::State& state) {
  const fs::path file =
      fs::temp_directory_path() / ("qm-bench-bomb-" + std::to_string(::getpid()) + ".png");
  const Bytes png = bombPng(12000);
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  const quillmoss::host::PixbufFileImage image(file);
  bool drawn = false;
  for (auto _ : state) drawn = image.pngDrawnAtSize(32, 32).has_value();
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  state.counters["file_KB"] = static_cast<double>(png.size()) / 1024;
  state.counters["peak_RSS_MB"] = static_cast<double>(usage.ru_maxrss) / 1024;
  state.counters["drawn"] = drawn ? 1 : 0;
  fs::remove(file);
}

}  // namespace

BENCHMARK(bombIcon)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();

// The day queries against their floor, in one run and interleaved. For days of 1,000, 20,000 and
// 200,000 segments (and a tenth as many usage keys) it times, call by call and alternating which
// goes first:
//   floor  read the file, parse it with simdjson's DOM parser (one parser kept for all calls),
//          write the reply's codec bytes straight from the parsed document (no tree between);
//   host   the real host answering the same call over its socket (a raw blocking client).
// The floor's bytes and the host's reply are compared once per query and size. Prints for each
// the median wall time and the CPU time per call (the host's, all its threads, plus the client's;
// steadier than wall time on a busy machine), their ratios host/floor, the CPU cost per segment
// (linearity), and the host's memory at start and 2 s after the last reply of each size.
//   usage_floor_bench [HOST_BINARY] [ROUNDS_SCALE]
#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <simdjson.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/heavy_day.h"
#include "engine/frame_format.h"
#include "engine/method_call.h"
#include "engine/standard_method_codec.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace quillmoss;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr char kChannel[] = "com.velbrook.quillmoss/usage_tracker";

// ---- The floor ----------------------------------------------------------------------------

class FloorWriter {
 public:
  explicit FloorWriter(Bytes& out) : out_(out) {}
  void byte(std::uint8_t b) { out_.push_back(b); }
  void size(std::size_t n) {
    if (n < 254) {
      byte(static_cast<std::uint8_t>(n));
    } else if (n <= 0xffff) {
      byte(254);
      raw(static_cast<std::uint16_t>(n));
    } else {
      byte(255);
      raw(static_cast<std::uint32_t>(n));
    }
  }
  void real(double v) {
    byte(6);
    out_.resize((out_.size() + 7) & ~std::size_t{7}, 0);
    raw(v);
  }
  void text(std::string_view s) {
    byte(7);
    size(s.size());
    out_.insert(out_.end(), s.begin(), s.end());
  }
  void integer(std::int64_t v) {
    if (v >= INT32_MIN && v <= INT32_MAX) {
      byte(3);
      raw(static_cast<std::int32_t>(v));
    } else {
      byte(4);
      raw(v);
    }
  }

 private:
  template <typename T>
  void raw(T v) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(&v);
    out_.insert(out_.end(), p, p + sizeof v);
  }
  Bytes& out_;
};

enum class Query { Segments, Usage };

// The reply's bytes (success envelope) for a file the tracker wrote; empty on any failure.
Bytes floorReply(const fs::path& file, Query query) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  struct stat info {};
  ::fstat(fd, &info);
  const auto size = static_cast<std::size_t>(info.st_size);
  auto text = std::make_unique_for_overwrite<char[]>(size + simdjson::SIMDJSON_PADDING);
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd, text.get() + got, size - got);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  std::memset(text.get() + got, 0, simdjson::SIMDJSON_PADDING);
  // One parser for every call, as warm as a parser can be.
  static simdjson::dom::parser parser;
  simdjson::dom::element root;
  if (parser.parse(text.get(), got, false).get(root) != simdjson::SUCCESS) return {};

  Bytes out;
  out.reserve(got + got / 2 + 64);
  FloorWriter w(out);
  w.byte(0);
  if (query == Query::Usage) {
    simdjson::dom::object object = root.get_object().value_unsafe();
    w.byte(13);
    w.size(object.size());
    for (auto member : object) {
      w.text(member.key);
      w.real(member.value.get_double().value_unsafe());
    }
    return out;
  }
  simdjson::dom::array array = root.get_array().value_unsafe();
  w.byte(12);
  w.size(array.size());
  for (simdjson::dom::element element : array) {
    simdjson::dom::array entries = element.get_array().value_unsafe();
    w.byte(12);
    w.size(entries.size());
    for (simdjson::dom::element entry : entries) {
      switch (entry.type()) {
        case simdjson::dom::element_type::STRING:
          w.text(entry.get_string().value_unsafe());
          break;
        case simdjson::dom::element_type::INT64:
          w.integer(entry.get_int64().value_unsafe());
          break;
        default:
          w.real(entry.get_double().value_unsafe());
      }
    }
  }
  return out;
}

// ---- The host -----------------------------------------------------------------------------

struct Host {
  fs::path root;
  pid_t pid = -1;
  int fd = -1;
  std::uint32_t nextId = 1;
};

bool startHost(Host& h, const char* binary) {
  char pattern[] = "/tmp/qm-usage-floor-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return false;
  h.root = pattern;
  for (const char* name : {"home", "data", "run"}) fs::create_directories(h.root / name);
  fs::permissions(h.root / "run", fs::perms::owner_all);
  ::setenv("HOME", (h.root / "home").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (h.root / "data").c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", (h.root / "run").c_str(), 1);
  ::unsetenv("DISPLAY");
  ::unsetenv("WAYLAND_DISPLAY");
  char* argv[] = {const_cast<char*>(binary), nullptr};
  if (::posix_spawn(&h.pid, binary, nullptr, nullptr, argv, environ) != 0) return false;
  const std::string path = (h.root / "run" / "quillmoss" / "engine.sock").string();
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  while (Clock::now() < deadline) {
    h.fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(h.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return true;
    ::close(h.fd);
    h.fd = -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

void stopHost(Host& h) {
  if (h.fd >= 0) ::close(h.fd);
  if (h.pid > 0) {
    ::kill(h.pid, SIGTERM);
    ::waitpid(h.pid, nullptr, 0);
  }
  std::error_code ec;
  if (!h.root.empty()) fs::remove_all(h.root, ec);
}

bool receiveAll(int fd, void* into, std::size_t size) {
  auto* p = static_cast<std::uint8_t*>(into);
  while (size > 0) {
    const ssize_t n = ::recv(fd, p, size, MSG_WAITALL);
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// One call; the reply (envelope) lands in `reply`, whose storage is reused between calls.
bool hostCall(Host& h, const Bytes& frameWithoutId, Bytes& reply) {
  Bytes frame = frameWithoutId;
  const std::uint32_t id = h.nextId++;
  std::memcpy(frame.data() + engine::kLengthBytes, &id, sizeof id);
  if (::send(h.fd, frame.data(), frame.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(frame.size()))
    return false;
  std::uint8_t header[8];
  if (!receiveAll(h.fd, header, sizeof header)) return false;
  const std::size_t rest = engine::readU32(header);
  if (engine::readU32(header + 4) != id || rest < 4) return false;
  reply.resize(rest - 4);
  return receiveAll(h.fd, reply.data(), reply.size());
}

struct Memory {
  double rssMiB = 0, anonMiB = 0, peakMiB = 0;
};

Memory memoryOf(pid_t pid) {
  Memory m;
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  double kib = 0;
  std::string unit;
  while (status >> key) {
    if (key == "VmRSS:" || key == "RssAnon:" || key == "VmHWM:") {
      status >> kib >> unit;
      (key == "VmRSS:" ? m.rssMiB : key == "RssAnon:" ? m.anonMiB : m.peakMiB) = kib / 1024;
    }
  }
  return m;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

// CPU time of every thread of a process so far, in ms.
double processCpuMs(pid_t pid) {
  double ns = 0;
  std::error_code ec;
  for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
    std::ifstream stat(task.path() / "schedstat");
    double running = 0;
    if (stat >> running) ns += running;
  }
  return ns / 1e6;
}

double threadCpuMs() {
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Wall and CPU time of one run of f, in ms.
template <typename F>
std::pair<double, double> timed(F&& f) {
  const auto start = Clock::now();
  const double cpu = threadCpuMs();
  f();
  return {std::chrono::duration<double, std::milli>(Clock::now() - start).count(),
          threadCpuMs() - cpu};
}

}  // namespace

int main(int argc, char** argv) {
  // The heap as the host keeps it: large blocks stay between calls.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 512 << 20);
  const char* binary = argc > 1 ? argv[1] : QM_HOST_BINARY;
  const double scale = argc > 2 ? std::atof(argv[2]) : 1.0;
  const int sizes[] = {1000, 20000, 200000};

  Host host;
  if (!startHost(host, binary)) {
    std::fprintf(stderr, "usage_floor_bench: the host at %s did not answer\n", binary);
    stopHost(host);
    return 1;
  }
  const fs::path dataDir = host.root / "data" / "com.velbrook.quillmoss" / "usage";
  for (int i = 0; i < 3; ++i) {
    if (!bench::writeHeavyDay(dataDir, "2026-12-0" + std::to_string(i + 1), sizes[i],
                              sizes[i] / 10)) {
      std::fprintf(stderr, "usage_floor_bench: cannot write the days into %s\n", dataDir.c_str());
      stopHost(host);
      return 1;
    }
  }
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const Memory start = memoryOf(host.pid);
  std::printf("host %s\n", binary);
  std::printf("host memory at start: RSS %.2f MiB, anonymous %.2f MiB\n\n", start.rssMiB,
              start.anonMiB);
  std::printf("%-12s %8s %6s | %9s %9s %6s | %9s %9s %6s | %9s %9s\n", "", "", "", "wall ms", "",
              "", "CPU ms", "", "", "CPU us/seg", "");
  std::printf("%-12s %8s %6s | %9s %9s %6s | %9s %9s %6s | %9s %9s\n", "query", "segments",
              "rounds", "floor", "host", "ratio", "floor", "host", "ratio", "floor", "host");

  bool ok = true;
  for (int i = 0; i < 3 && ok; ++i) {
    const int segments = sizes[i];
    const std::string day = "2026-12-0" + std::to_string(i + 1);
    const int rounds = std::max(10, static_cast<int>(scale * 2e6 / segments));
    for (const Query query : {Query::Segments, Query::Usage}) {
      const char* method = query == Query::Segments ? "getSegments" : "getUsage";
      const fs::path file =
          dataDir /
          daily::fileName(
              query == Query::Segments ? daily::FileKind::Segments : daily::FileKind::Usage, day);
      const Bytes message =
          engine::encodeMethodCall(engine::MethodCall(method, engine::EncodableMap{{"date", day}}));
      Bytes frame;
      engine::appendRequestFrame(frame, 0, kChannel, message.data(), message.size());
      Bytes reply;
      // Warm-up, and the floor's bytes must be the host's.
      if (!hostCall(host, frame, reply) || reply != floorReply(file, query)) {
        std::fprintf(stderr, "%s at %d segments: the host's reply differs from the floor's\n",
                     method, segments);
        ok = false;
        break;
      }
      std::vector<double> floorWall, hostWall;
      double floorCpu = 0, hostCpu = processCpuMs(host.pid);
      for (int r = 0; r < rounds && ok; ++r) {
        const auto timeFloor = [&] {
          const auto [wall, cpu] = timed([&] {
            Bytes bytes = floorReply(file, query);
            ok = ok && !bytes.empty();
          });
          floorWall.push_back(wall);
          floorCpu += cpu;
        };
        const auto timeHost = [&] {
          const auto [wall, cpu] = timed([&] { ok = ok && hostCall(host, frame, reply); });
          hostWall.push_back(wall);
          hostCpu -= cpu;  // the client's share, added to the host's below
        };
        if (r % 2 == 0) {
          timeFloor();
          timeHost();
        } else {
          timeHost();
          timeFloor();
        }
      }
      hostCpu = processCpuMs(host.pid) - hostCpu;
      const double fw = median(floorWall), hw = median(hostWall);
      const double fc = floorCpu / rounds, hc = hostCpu / rounds;
      std::printf("%-12s %8d %6d | %9.3f %9.3f %5.2fx | %9.3f %9.3f %5.2fx | %9.4f %9.4f\n", method,
                  segments, rounds, fw, hw, hw / fw, fc, hc, hc / fc, fc * 1000 / segments,
                  hc * 1000 / segments);
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const Memory after = memoryOf(host.pid);
    std::printf(
        "  host memory 2 s after the last reply: RSS %.2f MiB (%+.2f), anonymous %.2f MiB "
        "(%+.2f), peak %.2f MiB\n",
        after.rssMiB, after.rssMiB - start.rssMiB, after.anonMiB, after.anonMiB - start.anonMiB,
        after.peakMiB);
  }
  stopHost(host);
  return ok ? 0 : 1;
}

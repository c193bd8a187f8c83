// Reading day files: bounded, non-blocking file reads, parsing with simdjson and the shape checks.
#include "daily_data/day_document.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quillmoss::daily {
namespace {

using simdjson::dom::element;
using simdjson::dom::element_type;

// A day's files need two levels; anything much deeper is not a day file, and the cap
// also bounds the recursion of readers that walk segment entries.
constexpr std::size_t kMaxDepth = 64;

// Room for `capacity` bytes and the padding, keeping the first `keep` bytes.
void reserveBytes(std::unique_ptr<char[]>& bytes, std::size_t keep, std::size_t capacity) {
  auto grown = std::make_unique_for_overwrite<char[]>(capacity + simdjson::SIMDJSON_PADDING);
  if (keep > 0) std::memcpy(grown.get(), bytes.get(), keep);
  bytes = std::move(grown);
}

// Reads a whole regular file of at most kMaxDayFileBytes. O_NONBLOCK keeps a FIFO or device
// placed at the path from blocking the caller; such files are then refused as not regular.
LoadStatus readPadded(const std::filesystem::path& file, std::unique_ptr<char[]>& out,
                      std::size_t& size) {
  int raw;
  do {
    raw = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  } while (raw < 0 && errno == EINTR);
  if (raw < 0) return errno == ENOENT ? LoadStatus::Missing : LoadStatus::Unusable;
  posix::UniqueFd fd(raw);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return LoadStatus::Unusable;
  if (info.st_size < 0 || static_cast<std::uintmax_t>(info.st_size) > kMaxDayFileBytes) {
    return LoadStatus::Unusable;
  }
  // One byte more than expected, so growth while reading is noticed without a second read.
  std::size_t capacity = static_cast<std::size_t>(info.st_size) + 1;
  reserveBytes(out, 0, capacity);
  std::size_t used = 0;
  for (;;) {
    if (used == capacity) {
      if (capacity > kMaxDayFileBytes) return LoadStatus::Unusable;
      capacity = std::min<std::size_t>(capacity * 2, kMaxDayFileBytes + 1);
      reserveBytes(out, used, capacity);
    }
    ssize_t n = ::read(fd.get(), out.get() + used, capacity - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      return LoadStatus::Unusable;
    }
    if (n == 0) break;
    used += static_cast<std::size_t>(n);
  }
  if (used > kMaxDayFileBytes) return LoadStatus::Unusable;
  std::memset(out.get() + used, 0, simdjson::SIMDJSON_PADDING);
  size = used;
  return LoadStatus::Loaded;
}

bool isNumber(element value) {
  switch (value.type()) {
    case element_type::INT64:
    case element_type::UINT64:
    case element_type::DOUBLE:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::unique_ptr<simdjson::dom::parser> ParserPool::take() {
  std::lock_guard lock(mutex_);
  if (kept_.empty()) return std::make_unique<simdjson::dom::parser>();
  auto parser = std::move(kept_.back());
  kept_.pop_back();
  return parser;
}

void ParserPool::give(std::unique_ptr<simdjson::dom::parser> parser) {
  std::lock_guard lock(mutex_);
  kept_.push_back(std::move(parser));
}

void ParserPool::clear() {
  std::vector<std::unique_ptr<simdjson::dom::parser>> dropped;
  {
    std::lock_guard lock(mutex_);
    dropped.swap(kept_);
  }
}

DayDocument::DayDocument(const std::filesystem::path& file, FileKind kind, ParserPool* pool)
    : pool_(pool) {
  status_ = readPadded(file, text_, size_);
  if (status_ == LoadStatus::Loaded) parseAndCheck(kind);
}

DayDocument::~DayDocument() {
  if (pool_ && parser_) pool_->give(std::move(parser_));
}

DayDocument::DayDocument(std::string_view text, FileKind kind) : size_(text.size()) {
  reserveBytes(text_, 0, text.size());
  if (!text.empty()) std::memcpy(text_.get(), text.data(), text.size());
  std::memset(text_.get() + text.size(), 0, simdjson::SIMDJSON_PADDING);
  parseAndCheck(kind);
}

void DayDocument::parseAndCheck(FileKind kind) {
  // Anything simdjson rejects is unusable: not JSON, bad UTF-8, numbers out of range, too
  // deep, unescaped control characters, trailing content.
  parser_ = pool_ ? pool_->take() : std::make_unique<simdjson::dom::parser>();
  // A kept parser keeps its larger capacity; a new one is sized for this document only.
  const bool sized =
      parser_->max_depth() == kMaxDepth && parser_->capacity() >= size_ && parser_->capacity() > 0;
  element root;
  const bool parsed = size_ <= kMaxDayFileBytes &&
                      (sized || parser_->allocate(std::max<std::size_t>(size_, 1), kMaxDepth) ==
                                    simdjson::SUCCESS) &&
                      parser_->parse(text_.get(), size_, false).get(root) == simdjson::SUCCESS;
  const bool fits =
      parsed && (kind == FileKind::Usage ? checkUsage(root) : checkElements(root, kind));
  status_ = fits ? LoadStatus::Loaded : LoadStatus::Unusable;
  if (!fits) usage_.clear();
}

// An object whose every value is a number; a repeated name would make one total silently win
// over another, so it makes the file unusable.
bool DayDocument::checkUsage(element root) {
  simdjson::dom::object object;
  if (root.get_object().get(object) != simdjson::SUCCESS) return false;
  usage_.reserve(object.size());
  bool sorted = true;
  for (simdjson::dom::key_value_pair member : object) {
    double seconds = 0.0;
    if (!isNumber(member.value) || member.value.get_double().get(seconds) != simdjson::SUCCESS) {
      return false;
    }
    // The writer sorts the names, so files it wrote need no sorting here.
    sorted = sorted && (usage_.empty() || usage_.back().key < member.key);
    usage_.push_back({member.key, seconds});
  }
  const auto byKey = [](const UsageMember& a, const UsageMember& b) { return a.key < b.key; };
  if (!sorted) std::sort(usage_.begin(), usage_.end(), byKey);
  const auto sameKey = [](const UsageMember& a, const UsageMember& b) { return a.key == b.key; };
  return sorted || std::adjacent_find(usage_.begin(), usage_.end(), sameKey) == usage_.end();
}

// An array of arrays; for activity, arrays of numbers only. Elements of any length pass.
bool DayDocument::checkElements(element root, FileKind kind) {
  if (root.get_array().get(elements_) != simdjson::SUCCESS) return false;
  for (element item : elements_) {
    simdjson::dom::array entries;
    if (item.get_array().get(entries) != simdjson::SUCCESS) return false;
    if (kind != FileKind::Activity) continue;
    for (element entry : entries) {
      if (!isNumber(entry)) return false;
    }
  }
  return true;
}

}  // namespace quillmoss::daily

// A day file read, parsed and shape-checked, but not converted: the one place the shape rules
// live, for the loaders and for readers that write the content straight into another form
// (the host's replies). Offers simdjson's parsed document.
#pragma once

#include <simdjson.h>

#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "daily_data/daily_data.h"

namespace quillmoss::daily {

// One member of a usage file: its name, a view into the parsed document, and its seconds.
struct UsageMember {
  std::string_view key;
  double seconds;
};

// Parsers kept between documents: a heavy day's parser maps some ten times the file, and a kept
// one finds that memory already faulted in. Thread-safe.
class ParserPool {
 public:
  // A kept parser, else a new one.
  std::unique_ptr<simdjson::dom::parser> take();
  void give(std::unique_ptr<simdjson::dom::parser> parser);
  // Drops every kept parser, with the memory it holds.
  void clear();

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<simdjson::dom::parser>> kept_;
};

class DayDocument {
 public:
  // Reads the file (as loadUsage() and friends do) and checks it for its kind, with a parser
  // from the pool when there is one (given back when the document goes), else a parser of its own.
  DayDocument(const std::filesystem::path& file, FileKind kind, ParserPool* pool = nullptr);
  // The same for a file's whole text.
  DayDocument(std::string_view text, FileKind kind);
  ~DayDocument();
  DayDocument(const DayDocument&) = delete;
  DayDocument& operator=(const DayDocument&) = delete;

  // Loaded only when the shape fits the kind; Missing when the path does not exist.
  LoadStatus status() const { return status_; }
  // The length of the file's text.
  std::size_t textSize() const { return size_; }

  // Loaded activity or segments files: the top-level array. Each element is an array; in an
  // activity file, of numbers only.
  simdjson::dom::array elements() const { return elements_; }
  // A loaded usage file: its members in the byte order of their names, which are unique.
  const std::vector<UsageMember>& usage() const { return usage_; }

 private:
  void parseAndCheck(FileKind kind);
  bool checkUsage(simdjson::dom::element root);
  bool checkElements(simdjson::dom::element root, FileKind kind);

  std::unique_ptr<char[]> text_;  // followed by simdjson's zeroed padding
  std::size_t size_ = 0;
  LoadStatus status_ = LoadStatus::Missing;
  ParserPool* pool_ = nullptr;
  std::unique_ptr<simdjson::dom::parser> parser_;
  simdjson::dom::array elements_;
  std::vector<UsageMember> usage_;
};

}  // namespace quillmoss::daily

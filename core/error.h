// The one error type of both programs: a domain, a code and a readable message, and
// `Expected<T>`, a value or the error that prevented it.
#pragma once

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace quillmoss {

struct Error {
  std::string domain;
  int code = 0;
  std::string message;

  bool operator==(const Error&) const = default;
};

// Domains of errors raised by our own code; the platform's keep their own names.
inline constexpr char kPosixErrorDomain[] = "NSPOSIXErrorDomain";

// An errno-coded error under the POSIX domain: "what: strerror(errno)".
Error posixError(const std::string& what, int errnoValue);

template <class T>
class [[nodiscard]] Expected {
 public:
  Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Expected(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

  explicit operator bool() const { return state_.index() == 0; }
  bool hasValue() const { return state_.index() == 0; }
  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  const Error& error() const { return std::get<1>(state_); }

 private:
  std::variant<T, Error> state_;
};

// Success without a value, or an error.
template <>
class [[nodiscard]] Expected<void> {
 public:
  Expected() = default;
  Expected(Error error) : error_(std::move(error)), failed_(true) {}

  explicit operator bool() const { return !failed_; }
  bool hasValue() const { return !failed_; }
  const Error& error() const {
    assert(failed_);
    return error_;
  }

 private:
  Error error_;
  bool failed_ = false;
};

using Status = Expected<void>;

}  // namespace quillmoss

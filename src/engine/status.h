// Errors of the engine and of everything built on it.
//
// A failure is a Status: the error number and the description a user of the
// Jet engine already knows, with the file named in the description. Nothing
// throws across layers; every operation that can fail returns a Status or a
// Result<T>.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace povezava::engine {

class [[nodiscard]] Status {
 public:
  Status() = default;  // success
  Status(int number, std::string description)
      : number_(number), description_(std::move(description)) {}

  bool ok() const { return number_ == 0; }
  int number() const { return number_; }
  const std::string& description() const { return description_; }

  // "error NUMBER: DESCRIPTION", the form the command-line tools print.
  std::string toString() const;

  // Success, spelled out where it reads better than Status{}.
  static Status success() { return Status{}; }

 private:
  int number_ = 0;
  std::string description_;
};

// A value or the Status that explains why there is none.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}           // NOLINT: implicit by design
  Result(Status status) : state_(std::move(status)) {}    // NOLINT: implicit by design

  bool ok() const { return std::holds_alternative<T>(state_); }
  explicit operator bool() const { return ok(); }

  // REQUIRES: ok(). Asking an error for its value is a programming error: it
  // aborts, it never throws.
  T& value() & { return *checked(); }
  const T& value() const& { return *const_cast<Result*>(this)->checked(); }
  T&& value() && { return std::move(*checked()); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  // The failure; success when ok().
  Status status() const { return ok() ? Status{} : std::get<Status>(state_); }

 private:
  T* checked() {
    T* value = std::get_if<T>(&state_);
    if (value == nullptr) [[unlikely]] std::abort();
    return value;
  }

  std::variant<T, Status> state_;
};

}  // namespace povezava::engine

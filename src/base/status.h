// Errors of the engine and of everything built on it.
//
// A failure is a Status: the error number and the English description a user
// of the Jet engine already knows, with the file named in the description;
// and, apart from that wording, what the error is about (ErrorDetails: which
// case of the number, the file, the table, the page), so that a front end
// speaking another language words it from the facts. Nothing throws across
// layers; every operation that can fail returns a Status or a Result<T>.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace povezava::engine {

// Which error a Status is, finer than its number (3044 is a missing folder,
// a name matching two files, a folder where a file was expected, ...).
enum class ErrorCase : std::uint8_t {
  unspecified,  // only the number and the English description are known
  fileNotFound,
  notValidPath,
  notMapped,  // a Windows drive or share the path map does not cover
  ambiguousPath,
  isAFolder,
  notAFile,
  cannotOpenFile,
  unrecognizedFormat,
  corrupt,
  passwordProtected,
  itemNotFound,
  fileInUse,
  accessLockFile,  // Access has the file open: its lock file lies beside it
  objectNotFound,
  readOnly,
  notEnoughSpace,
  diskOrNetwork,
  noInstallableIsam,
  notSupported,
  objectInvalid,
  recordTooLarge,
  invalidArgument,
  databaseExists,
};

// What an error is about. Fields that do not apply are empty (page 0).
struct ErrorDetails {
  ErrorCase what = ErrorCase::unspecified;
  std::string path;   // the file (or folder) it is about, as the user named it
  std::string name;   // the table, object, item or link string
  std::string other;  // a second path: the other match, the lock file
  std::string users;  // computers a lock file lists, ", "-separated
  std::uint32_t page = 0;
  std::string reason;  // the system's own words (English), when it gave some
};

class [[nodiscard]] Status {
 public:
  Status() = default;  // success
  Status(int number, std::string description)
      : number_(number), description_(std::move(description)) {}
  Status(int number, std::string description, ErrorDetails details)
      : number_(number),
        description_(std::move(description)),
        details_(std::make_shared<const ErrorDetails>(std::move(details))) {}

  bool ok() const { return number_ == 0; }
  int number() const { return number_; }
  const std::string& description() const { return description_; }
  // What the error is about; ErrorCase::unspecified when nobody said.
  const ErrorDetails& details() const;

  // The same error (number and details) with another English description.
  Status withDescription(std::string description) const {
    Status out = *this;
    out.description_ = std::move(description);
    return out;
  }

  // "error NUMBER: DESCRIPTION", the form the command-line tools print.
  std::string toString() const;

  // Success, spelled out where it reads better than Status{}.
  static Status success() { return Status{}; }

 private:
  int number_ = 0;
  std::string description_;
  std::shared_ptr<const ErrorDetails> details_;  // shared: a Status is copied often
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

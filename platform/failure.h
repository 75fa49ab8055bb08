// The failure that ends the program: a number and a text, as the shop's IT knows them from the
// classic run-time error numbers (53 file not found, 76 path not found, ...) and from the database
// engine's own numbers. Nothing in the program traps it; main() reports it and stops.
#pragma once

#include <stdexcept>
#include <string>

namespace qano {

class Failure : public std::runtime_error {
 public:
  Failure(int number, const std::string& text)
      : std::runtime_error(std::to_string(number) + " " + text), number_(number), text_(text) {}

  int number() const noexcept { return number_; }
  const std::string& text() const noexcept { return text_; }

 private:
  int number_;
  std::string text_;
};

// The run-time error numbers that the platform and the conversions use.
namespace failure {
inline constexpr int kOverflow = 6;
inline constexpr int kOutOfMemory = 7;
inline constexpr int kTypeMismatch = 13;
inline constexpr int kBadFileNumber = 52;
inline constexpr int kFileNotFound = 53;
inline constexpr int kFileAlreadyOpen = 55;
inline constexpr int kDiskFull = 61;
inline constexpr int kTooManyFiles = 67;
inline constexpr int kPermissionDenied = 70;
inline constexpr int kPathFileAccessError = 75;
inline constexpr int kPathNotFound = 76;
inline constexpr int kInvalidUseOfNull = 94;

// The database engine's numbers.
inline constexpr int kSqlError = 3000;
inline constexpr int kCouldNotFindFile = 3024;
inline constexpr int kSyntaxError = 3075;
inline constexpr int kTableNotFound = 3078;
inline constexpr int kItemNotFound = 3265;
inline constexpr int kUnrecognizedFormat = 3343;
}  // namespace failure

// The classic text of a run-time error number ("File not found" for 53); empty for the engine's.
inline const char* standard_text(int number) {
  switch (number) {
    case failure::kOverflow:
      return "Overflow";
    case failure::kOutOfMemory:
      return "Out of memory";
    case failure::kTypeMismatch:
      return "Type mismatch";
    case failure::kBadFileNumber:
      return "Bad file name or number";
    case failure::kFileNotFound:
      return "File not found";
    case failure::kFileAlreadyOpen:
      return "File already open";
    case failure::kDiskFull:
      return "Disk full";
    case failure::kTooManyFiles:
      return "Too many files";
    case failure::kPermissionDenied:
      return "Permission denied";
    case failure::kPathFileAccessError:
      return "Path/File access error";
    case failure::kPathNotFound:
      return "Path not found";
    case failure::kInvalidUseOfNull:
      return "Invalid use of Null";
    default:
      return "";
  }
}

[[noreturn]] inline void fail(int number, const std::string& text) {
  throw Failure(number, text);
}
[[noreturn]] inline void fail(int number) {
  throw Failure(number, standard_text(number));
}

}  // namespace qano

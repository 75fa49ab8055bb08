// The wire between an engine and the process that reads for it: a JetResult or a Failure as
// bytes and back, and the framing of messages on a stream socket. A message is a length (8 bytes,
// the host's order: both ends are the same program) and that many bytes.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "platform/failure.h"
#include "platform/jet/jet.h"

namespace qano::wire {

// The length that a reader sends in place of a message when it ends for being idle.
inline constexpr std::int64_t kIdleWord = -1;

std::string encode(const JetResult& result);
std::string encode(const Failure& failure);
// Whether encoded bytes hold a failure.
bool is_failure(const std::string& bytes);
// The result that `bytes` hold, or the failure they hold thrown; bytes that are neither are
// 3343 on `file`.
JetResult decode(const std::string& bytes, const std::string& file);

// A request: the file and the query as parsed.
std::string request(const std::string& file, const SelectStatement& query);
// false when the bytes are no request.
bool parse_request(const std::string& bytes, std::string& file, SelectStatement& query);

// `body` with its length in front.
std::string framed(const std::string& body);
// Writes all of `bytes`; false when the other end has gone.
bool send_all(int fd, const std::string& bytes);

enum class Got { all, closed, late };
// Reads exactly `size` bytes into `bytes`, waiting until `deadline` at most.
Got receive(int fd, std::size_t size, std::string& bytes,
            std::chrono::steady_clock::time_point deadline);
// Reads one message, blocking; false at the end of the socket or for a length out of bounds.
bool receive_blocking(int fd, std::string& body);

}  // namespace qano::wire

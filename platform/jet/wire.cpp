#include "platform/jet/wire.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/jet/jet_contract.h"

namespace qano::wire {

namespace {

class Writer {
 public:
  void u8(std::uint8_t v) { out_.push_back(static_cast<char>(v)); }
  void i64(std::int64_t v) { out_.append(reinterpret_cast<const char*>(&v), sizeof v); }
  void f64(double v) { out_.append(reinterpret_cast<const char*>(&v), sizeof v); }
  void str(const std::string& s) {
    i64(static_cast<std::int64_t>(s.size()));
    out_ += s;
  }
  const std::string& bytes() const { return out_; }

 private:
  std::string out_;
};

class Reader {
 public:
  explicit Reader(const std::string& in) : in_(in) {}
  bool ok() const { return ok_; }
  std::uint8_t u8() {
    if (!need(1)) return 0;
    return static_cast<std::uint8_t>(in_[pos_++]);
  }
  std::int64_t i64() { return pod<std::int64_t>(); }
  double f64() { return pod<double>(); }
  std::string str() {
    std::int64_t size = i64();
    if (size < 0 || !need(static_cast<std::size_t>(size))) return std::string();
    std::string s = in_.substr(pos_, static_cast<std::size_t>(size));
    pos_ += static_cast<std::size_t>(size);
    return s;
  }

 private:
  template <typename T>
  T pod() {
    T v{};
    if (!need(sizeof v)) return v;
    std::memcpy(&v, in_.data() + pos_, sizeof v);
    pos_ += sizeof v;
    return v;
  }
  bool need(std::size_t n) {
    if (in_.size() - pos_ < n) ok_ = false;
    return ok_;
  }
  const std::string& in_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

enum Tag : std::uint8_t { kNull, kBool, kInteger, kReal, kText };

}  // namespace

namespace {

void write_value(Writer& w, const JetValue& v) {
  w.u8(static_cast<std::uint8_t>(v.type()));
  if (v.is_null()) {
    w.u8(kNull);
  } else if (v.type() == JetType::boolean) {
    w.u8(kBool);
    w.u8(v.as_bool() ? 1 : 0);
  } else if (v.is_text()) {
    w.u8(kText);
    w.str(v.as_text());
  } else if (v.type() == JetType::single || v.type() == JetType::double_precision ||
             v.type() == JetType::date_time) {
    w.u8(kReal);
    w.f64(v.as_real());
  } else {
    w.u8(kInteger);
    w.i64(v.as_integer());
  }
}

JetValue read_value(Reader& r) {
  auto type = static_cast<JetType>(r.u8());
  switch (r.u8()) {
    case kBool:
      return JetValue::boolean(r.u8() == 1);
    case kText:
      return JetValue::text(r.str(), type);
    case kReal:
      return JetValue::real(type, r.f64());
    case kInteger:
      return JetValue::integer(type, r.i64());
    default:
      return JetValue::null(type);
  }
}

}  // namespace

std::string encode(const JetResult& r) {
  Writer w;
  w.u8(0);
  w.u8(r.eof ? 1 : 0);
  w.i64(static_cast<std::int64_t>(r.fields.size()));
  for (const JetField& f : r.fields) {
    w.str(f.name);
    write_value(w, f.value);
  }
  return w.bytes();
}

std::string encode(const Failure& f) {
  Writer w;
  w.u8(1);
  w.i64(f.number());
  w.str(f.text());
  return w.bytes();
}

JetResult decode(const std::string& bytes, const std::string& file) {
  Reader r(bytes);
  if (r.u8() == 1) {
    int number = static_cast<int>(r.i64());
    std::string message = r.str();
    if (r.ok()) throw Failure(number, message);
    throw jet_contract::unrecognized(file);
  }
  JetResult result;
  result.eof = r.u8() == 1;
  std::int64_t count = r.i64();
  for (std::int64_t i = 0; r.ok() && i < count; ++i) {
    JetField f;
    f.name = r.str();
    f.value = read_value(r);
    result.fields.push_back(std::move(f));
  }
  if (!r.ok()) throw jet_contract::unrecognized(file);
  return result;
}

bool is_failure(const std::string& bytes) {
  return !bytes.empty() && bytes[0] != 0;
}

std::string request(const std::string& file, const SelectStatement& query) {
  // The query as parsed, so that the reader does not parse it again.
  Writer w;
  w.str(file);
  w.str(query.sql);
  w.str(query.table);
  w.str(query.column);
  write_value(w, query.literal);
  return w.bytes();
}

bool parse_request(const std::string& bytes, std::string& file, SelectStatement& query) {
  Reader in(bytes);
  file = in.str();
  query.sql = in.str();
  query.table = in.str();
  query.column = in.str();
  query.literal = read_value(in);
  return in.ok();
}

bool send_all(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string framed(const std::string& body) {
  Writer w;
  w.str(body);
  return w.bytes();
}

Got receive(int fd, std::size_t size, std::string& bytes,
            std::chrono::steady_clock::time_point deadline) {
  bytes.clear();
  char buffer[65536];
  while (bytes.size() < size) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return Got::late;
    pollfd p{fd, POLLIN, 0};
    int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1 << 30)));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return Got::closed;
    if (r == 0) return Got::late;
    ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, size - bytes.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Got::closed;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  return Got::all;
}

bool receive_blocking(int fd, std::string& body) {
  auto forever = std::chrono::steady_clock::now() + std::chrono::hours(24 * 365);
  std::string length;
  if (receive(fd, sizeof(std::int64_t), length, forever) != Got::all) return false;
  std::int64_t size = 0;
  std::memcpy(&size, length.data(), sizeof size);
  if (size < 0 || size > (1 << 20)) return false;
  return receive(fd, static_cast<std::size_t>(size), body, forever) == Got::all;
}

}  // namespace qano::wire

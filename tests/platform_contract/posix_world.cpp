// The Linux platform in the contract's scenes: a Wine-like prefix in a temporary folder, files
// written and held by this test process, programs started through a stand-in `wine`.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/posix/posix_platform.h"
#include "tests/platform_contract/platform_world.h"
#include "tools/dev/kit/stub_wine.h"
#include "tools/dev/kit/temp_prefix.h"

namespace qano::contract {
namespace {

namespace fs = std::filesystem;

class PosixWorld : public PlatformWorld {
 public:
  PosixWorld() : platform_(PosixOptions{prefix_.prefix(), "C"}) {
    fs::create_directories(host(""));
  }
  ~PosixWorld() override { release(); }
  Platform& platform() override { return platform_; }
  HostPlatform* host() override { return &platform_; }
  std::string at(const std::string& name) const override {
    return name.empty() ? "c:\\contract" : "c:\\contract\\" + name;
  }
  void write(const std::string& name, const std::string& bytes) override {
    fs::create_directories(host(name).parent_path());
    std::ofstream(host(name), std::ios::binary) << bytes;
  }
  void make_folder(const std::string& name) override { fs::create_directories(host(name)); }
  std::string write_hidden(const std::string& name, const std::string& bytes) override {
    write("." + name, bytes);
    return "." + name;
  }
  void make_read_only(const std::string& name) override { ::chmod(host(name).c_str(), 0444); }
  std::string make_link(const std::string& name, const std::string& target) override {
    fs::create_symlink(target, host(name));
    return "";
  }
  void hold(const std::string& name) override {
    release();
    writer_ = ::open(host(name).c_str(), O_WRONLY | O_CLOEXEC);
  }
  void release() override {
    if (writer_ >= 0) ::close(writer_);
    writer_ = -1;
  }
  std::optional<std::string> read(const std::string& name) const override {
    if (!fs::is_regular_file(fs::symlink_status(host(name)))) return std::nullopt;
    return testing::read_file(host(name));
  }
  bool folder_exists(const std::string& name) const override {
    return fs::is_directory(fs::symlink_status(host(name)));
  }
  std::string lingering_program(const std::string&) override {
    wine_.linger(true);
    write("program.exe", "MZ");
    return at("program.exe");
  }
  std::string lingering_script(const std::string& name, const std::string&) override {
    wine_.linger(true);
    write(name, "@program.exe\r\n");
    return at(name);
  }
  void end_programs() override { wine_.release(); }

 private:
  fs::path host(const std::string& name) const {
    std::string relative = name;
    for (char& c : relative) c = c == '\\' ? '/' : c;
    return prefix_.c() / "contract" / relative;
  }

  testing::TempPrefix prefix_;
  testing::StubWine wine_;
  PosixPlatform platform_;
  int writer_ = -1;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Posix, PlatformContract,
                         ::testing::Values(WorldKind{
                             "posix", [] { return std::make_unique<PosixWorld>(); }}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace qano::contract

// The Windows platform in the contract's scenes: a temporary folder, files written by this test
// process, held by the build's stub program, and that program started for real.
#include <windows.h>

#include <memory>

#include "platform/win32/win32_platform.h"
#include "tests/platform_contract/platform_world.h"
#include "tests/win32/win32_support.h"

namespace qano::contract {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

class Win32World : public PlatformWorld {
 public:
  Win32World() { fs::create_directories(host("")); }
  Platform& platform() override { return platform_; }
  HostPlatform* host() override { return &platform_; }
  std::string at(const std::string& name) const override {
    return folder_.dos(name.empty() ? "contract" : "contract\\" + name);
  }
  void write(const std::string& name, const std::string& bytes) override {
    folder_.write("contract\\" + name, bytes);
  }
  void make_folder(const std::string& name) override { fs::create_directories(host(name)); }
  std::string write_hidden(const std::string& name, const std::string& bytes) override {
    write(name, bytes);
    SetFileAttributesW(host(name).c_str(), FILE_ATTRIBUTE_HIDDEN);
    return name;
  }
  void make_read_only(const std::string& name) override {
    SetFileAttributesW(host(name).c_str(), FILE_ATTRIBUTE_READONLY);
  }
  std::string make_link(const std::string& name, const std::string& target) override {
    const fs::path link = host(name);
    const std::wstring to = testing::u8path(target).wstring();
    if (!CreateSymbolicLinkW(link.c_str(), to.c_str(),
                             SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
      return "this system makes no symbolic link here (error " + std::to_string(GetLastError()) +
             ")";
    }
    // Wine makes a link of the host's, which Windows programs see as the file it points to.
    const DWORD a = GetFileAttributesW(link.c_str());
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
      DeleteFileW(link.c_str());
      return "links made here are no links to Windows programs (Wine shows what they point to)";
    }
    return "";
  }
  void hold(const std::string& name) override {
    holder_ = std::make_unique<testing::Holder>(
        stub(), host(name), FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  }
  void release() override { holder_.reset(); }
  std::optional<std::string> read(const std::string& name) const override {
    const DWORD a = GetFileAttributesW(host(name).c_str());
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
    return testing::read_file(host(name));
  }
  bool folder_exists(const std::string& name) const override {
    const DWORD a = GetFileAttributesW(host(name).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
  // The stub program runs while stub_hold.txt is in its working folder.
  std::string lingering_program(const std::string& work) override {
    write(work + "\\stub_hold.txt", "");
    holds_.push_back(host(work + "\\stub_hold.txt"));
    if (!fs::exists(host("program.exe")))
      fs::copy_file(testing::u8path(stub()), host("program.exe"));
    return at("program.exe");
  }
  std::string lingering_script(const std::string& name, const std::string& work) override {
    const std::string program = lingering_program(work);
    write(name, "@\"" + program + "\"\r\n");
    return at(name);
  }
  void end_programs() override {
    for (const fs::path& hold : holds_) DeleteFileW(hold.c_str());
    holds_.clear();
  }

 private:
  fs::path host(const std::string& name) const {
    return testing::u8path(name.empty() ? at("") : at(name));
  }
  static std::string stub() { return testing::build_file(QANO_STUB_PROGRAM); }

  TempFolder folder_{"qano contract"};
  Win32Platform platform_;
  std::unique_ptr<testing::Holder> holder_;
  std::vector<fs::path> holds_;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Win32, PlatformContract,
                         ::testing::Values(WorldKind{
                             "win32", [] { return std::make_unique<Win32World>(); }}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace qano::contract

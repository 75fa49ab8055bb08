// The in-memory platform in the contract's scenes: the scene is set through its own setters.
#include "platform/fake/fake_platform.h"
#include "tests/platform_contract/platform_world.h"

namespace qano::contract {
namespace {

class FakeWorld : public PlatformWorld {
 public:
  FakeWorld() { fake_.add_folder(at("")); }
  Platform& platform() override { return fake_; }
  std::string at(const std::string& name) const override {
    return name.empty() ? "c:\\contract" : "c:\\contract\\" + name;
  }
  void write(const std::string& name, const std::string& bytes) override {
    fake_.add_file(at(name), bytes);
  }
  void make_folder(const std::string& name) override { fake_.add_folder(at(name)); }
  std::string write_hidden(const std::string& name, const std::string& bytes) override {
    FakeAttributes hidden;
    hidden.hidden = true;
    fake_.add_file(at(name), bytes, hidden);
    return name;
  }
  void make_read_only(const std::string& name) override {
    FakeAttributes read_only;
    read_only.read_only = true;
    fake_.add_file(at(name), fake_.bytes(at(name)), read_only);
  }
  std::string make_link(const std::string& name, const std::string&) override {
    fake_.add_entry(at(name), EntryKind::link);
    return "";
  }
  void hold(const std::string& name) override {
    held_ = at(name);
    fake_.set_facts(held_, facts(true));
  }
  void release() override { fake_.set_facts(held_, facts(false)); }
  std::optional<std::string> read(const std::string& name) const override {
    if (!fake_.exists(at(name))) return std::nullopt;
    return fake_.bytes(at(name));
  }
  bool folder_exists(const std::string& name) const override {
    return fake_.folder_exists(at(name));
  }
  std::string lingering_program(const std::string&) override {
    fake_.set_processes_linger(true);
    fake_.add_file(at("program.exe"), "MZ");
    return at("program.exe");
  }
  std::string lingering_script(const std::string& name, const std::string&) override {
    fake_.set_processes_linger(true);
    fake_.add_file(at(name), "@program.exe\r\n");
    return at(name);
  }
  void end_programs() override {
    for (const FakePlatform::Start& start : fake_.starts()) fake_.finish(start.task);
  }

 private:
  FileFacts facts(bool in_use) const {
    FileFacts f;
    f.size = fake_.bytes(held_).size();
    f.seconds_since_write = 3600;
    f.in_use = in_use;
    return f;
  }

  FakePlatform fake_;
  std::string held_;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Fake, PlatformContract,
                         ::testing::Values(WorldKind{"fake",
                                                     [] { return std::make_unique<FakeWorld>(); }}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace qano::contract

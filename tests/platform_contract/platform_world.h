// The platform contract: the same cases on every implementation of the seam (the in-memory
// platform, the Linux platform, the Windows platform), each through a world that sets the scene
// as another program would. A case asks the world for what it needs; where a host cannot give
// it (links under Wine), the world says why and the case is skipped with that reason.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/host_platform.h"
#include "platform/platform.h"

namespace qano::contract {

class PlatformWorld {
 public:
  virtual ~PlatformWorld() = default;
  virtual Platform& platform() = 0;
  // The same platform as a host's, for what only the commands use; nothing on the in-memory one.
  virtual HostPlatform* host() { return nullptr; }
  // The DOS path of a name in the case's own folder, which starts empty; "" names the folder.
  virtual std::string at(const std::string& name) const = 0;

  // As another program would do it.
  virtual void write(const std::string& name, const std::string& bytes) = 0;
  virtual void make_folder(const std::string& name) = 0;
  // A file hidden from listings of ordinary files, under the name the host hides it by (on
  // Linux a name that starts with '.'): that name.
  virtual std::string write_hidden(const std::string& name, const std::string& bytes) = 0;
  virtual void make_read_only(const std::string& name) = 0;
  // A symbolic link at `name` to the file `target`: empty when made, else why it cannot be.
  virtual std::string make_link(const std::string& name, const std::string& target) = 0;
  // Another program keeps the file open for writing (on Windows: open, sharing everything)
  // until release().
  virtual void hold(const std::string& name) = 0;
  virtual void release() = 0;

  // What is there: a file's bytes, nothing when no file is there; whether a folder is.
  virtual std::optional<std::string> read(const std::string& name) const = 0;
  virtual bool folder_exists(const std::string& name) const = 0;

  // A program, and a batch script that runs it, which run until end_programs(), when started
  // in the folder `work`: their DOS paths.
  virtual std::string lingering_program(const std::string& work) = 0;
  virtual std::string lingering_script(const std::string& name, const std::string& work) = 0;
  virtual void end_programs() = 0;
};

struct WorldKind {
  const char* name;
  std::function<std::unique_ptr<PlatformWorld>()> make;
};

inline void PrintTo(const WorldKind& kind, std::ostream* out) {
  *out << kind.name;
}

class PlatformContract : public ::testing::TestWithParam<WorldKind> {
 protected:
  PlatformContract() : world_(GetParam().make()) {}
  PlatformWorld& world() { return *world_; }
  Platform& platform() { return world_->platform(); }
  std::string at(const std::string& name) const { return world_->at(name); }

 private:
  std::unique_ptr<PlatformWorld> world_;
};

}  // namespace qano::contract

// A read that the shop's suite tore, rewriting the database while it was read, is no answer: it
// can look like "no row", and start-up would run on without its settings. This engine wrapper
// reads again, up to five times, whenever the file's identity (its size, its times, its place on
// the disk: what the platform's `identity` tells of it) changed during the read, and then gives
// up with 3343 saying so. On every platform.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/jet/jet.h"

namespace qano {

// What a platform tells of a file that changes when it is rewritten; nothing when it is not
// there.
using FileIdentity = std::function<std::optional<std::string>(const std::string& file)>;

inline constexpr int kTornReadAttempts = 5;

std::unique_ptr<JetEngine> retry_torn_reads(std::unique_ptr<JetEngine> inner,
                                            FileIdentity identity);

}  // namespace qano

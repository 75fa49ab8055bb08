#include "platform/jet/torn_read_retry.h"

#include <chrono>
#include <thread>

#include "platform/jet/jet_contract.h"

namespace qano {

namespace {

class TornReadRetry : public JetEngine {
 public:
  TornReadRetry(std::unique_ptr<JetEngine> inner, FileIdentity identity)
      : inner_(std::move(inner)), identity_(std::move(identity)) {}

  JetResult first_row(const std::string& file, const SelectStatement& query) override {
    for (int attempt = 1;; ++attempt) {
      std::optional<std::string> before = identity_(file);
      std::optional<JetResult> result;
      std::optional<Failure> failed;
      try {
        result = inner_->first_row(file, query);
      } catch (const Failure& f) {
        failed = f;
      }
      bool steady = before && identity_(file) == before;
      if (steady || !before) {
        if (failed) throw *failed;
        return *result;
      }
      if (attempt == kTornReadAttempts) {
        throw jet_contract::unrecognized(file, "the file kept changing while it was read");
      }
      // Give the writer a moment to finish before the next read.
      std::this_thread::sleep_for(std::chrono::milliseconds(50 * attempt));
    }
  }

 private:
  std::unique_ptr<JetEngine> inner_;
  FileIdentity identity_;
};

}  // namespace

std::unique_ptr<JetEngine> retry_torn_reads(std::unique_ptr<JetEngine> inner,
                                            FileIdentity identity) {
  return std::make_unique<TornReadRetry>(std::move(inner), std::move(identity));
}

}  // namespace qano

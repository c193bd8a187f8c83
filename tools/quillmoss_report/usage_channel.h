// The host's usage channel over its socket, the report's only source of data.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/error.h"
#include "engine/encodable_value.h"
#include "engine/engine_client.h"
#include "engine/method_call.h"

namespace quillmoss::report {

inline constexpr char kUsageChannel[] = "com.velbrook.quillmoss/usage_tracker";
inline constexpr char kReportErrorDomain[] = "QuillmossReport";
enum ReportErrorCode { kNoHost = 1, kTransportFailed = 2 };

class UsageChannel {
 public:
  // kNoHost when nothing accepts at the socket, kTransportFailed when the host does not take
  // the connection within kConnectTimeoutMs.
  static Expected<UsageChannel> connect(const std::string& socketPath);

  // The calls' values in the calls' order; an error or not-implemented reply gives null.
  // At most kInFlight calls wait at a time, so neither side's socket buffer can fill up.
  Expected<std::vector<engine::EncodableValue>> callAll(
      const std::vector<engine::MethodCall>& calls);

 private:
  static constexpr std::size_t kInFlight = 16;
  // A host that has not taken the connection by then (its backlog full) counts as stuck.
  static constexpr int kConnectTimeoutMs = 10'000;
  static constexpr int kReplyTimeoutMs = 60'000;

  explicit UsageChannel(std::unique_ptr<engine::EngineClient> client)
      : client_(std::move(client)) {}

  std::unique_ptr<engine::EngineClient> client_;
  std::uint32_t nextId_ = 1;
};

}  // namespace quillmoss::report

// quillmoss-call: options, the request, and the reply's presentation.
#include "call_command.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "engine/engine_client.h"
#include "engine/engine_socket_path.h"
#include "engine/standard_method_codec.h"
#include "json_to_value.h"
#include "value_to_json.h"

namespace quillmoss::tools {

namespace {

constexpr int kDefaultTimeoutSeconds = 120;
constexpr std::uint32_t kRequestId = 1;

const char kUsage[] =
    "usage: quillmoss-call [--socket PATH] [--timeout SECONDS] [--bytes-out FILE]\n"
    "                      CHANNEL METHOD [ARGUMENTS_JSON]\n"
    "       quillmoss-call [--socket PATH] [--timeout SECONDS] --host-pid\n"
    "  CHANNEL is a full channel name or the part after \"com.velbrook.quillmoss/\".\n"
    "  --host-pid prints the process ID of the host serving the socket.\n"
    "  Exit status: 0 reply printed, 1 channel error, 2 not implemented, 3 no host running,\n"
    "  4 transport failure, 64 usage.\n";

struct Options {
  std::string socketPath;
  std::string bytesOut;
  int timeoutSeconds = kDefaultTimeoutSeconds;
  bool hostPid = false;
  std::vector<std::string> positional;
};

bool parseOptions(const std::vector<std::string>& arguments, Options& options, std::string& err) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const bool takesValue =
        argument == "--socket" || argument == "--timeout" || argument == "--bytes-out";
    if (takesValue) {
      if (i + 1 >= arguments.size()) {
        err += "quillmoss-call: " + argument + " needs a value\n";
        return false;
      }
      const std::string& value = arguments[++i];
      if (argument == "--socket") {
        options.socketPath = value;
      } else if (argument == "--bytes-out") {
        options.bytesOut = value;
      } else {
        char* end = nullptr;
        const long seconds = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || seconds <= 0 || seconds > 86400) {
          err += "quillmoss-call: --timeout needs a whole number of seconds\n";
          return false;
        }
        options.timeoutSeconds = static_cast<int>(seconds);
      }
    } else if (argument == "--host-pid") {
      options.hostPid = true;
    } else if (argument == "--help" || argument == "-h") {
      return false;
    } else if (argument.size() > 1 && argument[0] == '-' && argument != "-") {
      err += "quillmoss-call: unknown option " + argument + "\n";
      return false;
    } else {
      options.positional.push_back(argument);
    }
  }
  if (options.hostPid) return options.positional.empty() && options.bytesOut.empty();
  return options.positional.size() == 2 || options.positional.size() == 3;
}

// Scripts find the host's process through its socket: its bound name is no guide when the
// path is too long for an address.
int printHostPid(const engine::EngineClient& client, std::string& out, std::string& err) {
  const auto pid = client.hostPid();
  if (!pid) {
    err += "quillmoss-call: " + pid.error().message + "\n";
    return kCallTransportFailed;
  }
  out += std::to_string(*pid) + "\n";
  return kCallSucceeded;
}

}  // namespace

int runCallCommand(const std::vector<std::string>& arguments, std::string& out, std::string& err) {
  if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
    out += kUsage;
    return kCallSucceeded;
  }
  Options options;
  if (!parseOptions(arguments, options, err)) {
    err += kUsage;
    return kCallUsage;
  }
  std::string channel;
  std::vector<std::uint8_t> message;
  if (!options.hostPid) {
    channel = options.positional[0];
    if (channel.find('/') == std::string::npos) channel = kChannelPrefix + channel;
    engine::EncodableValue callArguments;
    if (options.positional.size() == 3) {
      auto parsed = jsonToValue(options.positional[2]);
      if (!parsed) {
        err +=
            "quillmoss-call: ARGUMENTS_JSON is not usable JSON: " + parsed.error().message + "\n";
        return kCallUsage;
      }
      callArguments = std::move(*parsed);
    }
    message = engine::encodeMethodCall(engine::MethodCall(options.positional[1], callArguments));
  }

  const std::string socketPath =
      options.socketPath.empty() ? engine::defaultEngineSocketPath() : options.socketPath;
  auto connected = engine::EngineClient::connect(socketPath, options.timeoutSeconds * 1000);
  if (!connected && connected.error().code == ETIMEDOUT) {
    err += "quillmoss-call: " + connected.error().message + " (" +
           std::to_string(options.timeoutSeconds) + " s)\n";
    return kCallTransportFailed;
  }
  if (!connected) {
    err += "quillmoss-call: no quillmoss host is running (" + connected.error().message + ")\n";
    return kCallNoHost;
  }
  auto client = std::move(*connected);
  if (options.hostPid) return printHostPid(*client, out, err);
  if (!client->sendRequest(kRequestId, channel, message.data(), message.size())) {
    err += "quillmoss-call: the host closed the connection before the call was sent\n";
    return kCallTransportFailed;
  }
  engine::EngineResponse response;
  switch (client->receive(response, options.timeoutSeconds * 1000)) {
    case engine::EngineClient::ReceiveStatus::kOk:
      break;
    case engine::EngineClient::ReceiveStatus::kTimeout:
      err += "quillmoss-call: no reply within " + std::to_string(options.timeoutSeconds) + " s\n";
      return kCallTransportFailed;
    case engine::EngineClient::ReceiveStatus::kClosed:
      err += "quillmoss-call: the host closed the connection without replying\n";
      return kCallTransportFailed;
    case engine::EngineClient::ReceiveStatus::kMalformed:
      err += "quillmoss-call: the host sent a malformed frame\n";
      return kCallTransportFailed;
  }
  const auto reply = engine::decodeMethodReply(response.reply.data(), response.reply.size());
  if (response.requestId != kRequestId || !reply) {
    err += "quillmoss-call: the host sent a reply that does not decode\n";
    return kCallTransportFailed;
  }
  switch (reply->kind) {
    case engine::MethodReply::Kind::kNotImplemented:
      err +=
          "quillmoss-call: " + options.positional[1] + " is not implemented on " + channel + "\n";
      return kCallNotImplemented;
    case engine::MethodReply::Kind::kError:
      err += "quillmoss-call: error " + reply->code;
      if (reply->message) err += ": " + *reply->message;
      err += "\n";
      if (!reply->details.isNull()) err += "details: " + valueToJson(reply->details) + "\n";
      return kCallChannelError;
    case engine::MethodReply::Kind::kSuccess:
      break;
  }

  bool bytesWritten = false;
  bool bytesFailed = false;
  BytesSink sink;
  if (!options.bytesOut.empty()) {
    // The first byte list goes to the file; any further one is printed as base64.
    sink = [&](const std::vector<std::uint8_t>& bytes) -> std::string {
      if (bytesWritten || bytesFailed) return {};
      std::ofstream file(options.bytesOut, std::ios::binary | std::ios::trunc);
      file.write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
      file.close();
      if (!file) {
        bytesFailed = true;
        return {};
      }
      bytesWritten = true;
      return "{\"$bytes_file\":" + valueToJson(engine::EncodableValue(options.bytesOut)) +
             ",\"size\":" + std::to_string(bytes.size()) + "}";
    };
  }
  out += valueToJson(reply->value, sink) + "\n";
  if (bytesFailed) {
    err += "quillmoss-call: cannot write " + options.bytesOut + "\n";
    return kCallTransportFailed;
  }
  return kCallSucceeded;
}

}  // namespace quillmoss::tools

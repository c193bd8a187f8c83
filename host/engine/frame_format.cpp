// Frame writers for the socket transport.
#include "engine/frame_format.h"

#include <limits>

namespace quillmoss::engine {

namespace {
void appendU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}
}  // namespace

bool appendRequestFrame(std::vector<std::uint8_t>& out, std::uint32_t requestId,
                        std::string_view channel, const std::uint8_t* message, std::size_t size) {
  if (channel.size() > std::numeric_limits<std::uint16_t>::max()) return false;
  const std::size_t rest = kRequestHeaderBytes + channel.size() + size;
  if (rest > std::numeric_limits<std::uint32_t>::max()) return false;
  out.reserve(out.size() + kLengthBytes + rest);
  appendU32(out, static_cast<std::uint32_t>(rest));
  appendU32(out, requestId);
  out.push_back(static_cast<std::uint8_t>(channel.size()));
  out.push_back(static_cast<std::uint8_t>(channel.size() >> 8));
  out.insert(out.end(), channel.begin(), channel.end());
  if (size != 0) out.insert(out.end(), message, message + size);
  return true;
}

void appendResponseFrame(std::vector<std::uint8_t>& out, std::uint32_t requestId,
                         const std::uint8_t* reply, std::size_t size) {
  out.reserve(out.size() + kLengthBytes + kResponseHeaderBytes + size);
  appendU32(out, static_cast<std::uint32_t>(kResponseHeaderBytes + size));
  appendU32(out, requestId);
  if (size != 0) out.insert(out.end(), reply, reply + size);
}

}  // namespace quillmoss::engine

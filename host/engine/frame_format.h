// The socket transport's frames. Request: u32 length of the rest, u32 request id, u16 channel
// name length, the name, the message. Response: u32 length of the rest, u32 request id, the
// reply. All little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace quillmoss::engine {

// Longest "rest of frame" the host accepts; a longer one closes that client.
inline constexpr std::size_t kMaxFrameBytes = 16u * 1024 * 1024;
inline constexpr std::size_t kLengthBytes = 4;
inline constexpr std::size_t kRequestHeaderBytes = 6;  // Request id and name length.
inline constexpr std::size_t kResponseHeaderBytes = 4;

// False (nothing appended) when the name or the frame is too long to express.
bool appendRequestFrame(std::vector<std::uint8_t>& out, std::uint32_t requestId,
                        std::string_view channel, const std::uint8_t* message, std::size_t size);
void appendResponseFrame(std::vector<std::uint8_t>& out, std::uint32_t requestId,
                         const std::uint8_t* reply, std::size_t size);

inline std::uint32_t readU32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}
inline std::uint16_t readU16(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

}  // namespace quillmoss::engine

// Conversions between our UTF-8 strings and NSString, for the adapters.
#pragma once

#import <Foundation/Foundation.h>

#include <optional>
#include <string>

namespace quillmoss::host {

// Bytes that are not UTF-8 give the empty string.
inline NSString* _Nonnull toNSString(const std::string& text) {
  NSString* converted = [[NSString alloc] initWithBytes:text.data()
                                                 length:text.size()
                                               encoding:NSUTF8StringEncoding];
  return converted != nil ? converted : @"";
}

inline std::optional<std::string> fromNSString(NSString* _Nullable text) {
  const char* bytes = text.UTF8String;
  if (bytes == nullptr) return std::nullopt;
  return std::string(bytes);
}

}  // namespace quillmoss::host

#include "core/error.h"

#include <cstring>

namespace quillmoss {

Error posixError(const std::string& what, int errnoValue) {
  return Error{kPosixErrorDomain, errnoValue, what + ": " + std::strerror(errnoValue)};
}

}  // namespace quillmoss

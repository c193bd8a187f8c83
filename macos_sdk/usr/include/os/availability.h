// Stands for <os/availability.h>: the availability macros Apple's headers put on their
// declarations, for macOS only: API_AVAILABLE(macos(10.12)), API_DEPRECATED("why",
// macos(10.0, 14.0)). Below the version, an unguarded use is reported
// (-Wunguarded-availability-new).
#pragma once

#define __QM_API_AVAILABLE_macos(version) macos, introduced = version
#define __QM_API_AVAILABLE_macosx(version) macos, introduced = version
#define API_AVAILABLE(platform) __attribute__((availability(__QM_API_AVAILABLE_##platform)))

#define __QM_API_DEPRECATED_macos(since, until) macos, introduced = since, deprecated = until
#define __QM_API_DEPRECATED_macosx(since, until) macos, introduced = since, deprecated = until
#define API_DEPRECATED(why, platform) \
  __attribute__((availability(__QM_API_DEPRECATED_##platform, message = why)))

#pragma once

// SKYVANE_ADDRESS_SANITIZER is 1 in a build with AddressSanitizer, which reserves terabytes of
// address space and brings its own allocator (GCC and clang say so differently).
#if defined(__SANITIZE_ADDRESS__)
#define SKYVANE_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SKYVANE_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef SKYVANE_ADDRESS_SANITIZER
#define SKYVANE_ADDRESS_SANITIZER 0
#endif

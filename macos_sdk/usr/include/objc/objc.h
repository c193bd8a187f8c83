// Stands for <objc/objc.h> of the Objective-C runtime: BOOL and the null object values.
#pragma once

// BOOL is a C bool on arm64 and a signed char on x86_64.
#if defined(__arm64__) || defined(__aarch64__)
typedef bool BOOL;
#define YES true
#define NO false
#else
typedef signed char BOOL;
#define YES ((BOOL)1)
#define NO ((BOOL)0)
#endif
#ifndef nil
#define nil nullptr
#endif
#ifndef Nil
#define Nil nullptr
#endif

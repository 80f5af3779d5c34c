#pragma once
// The one test of CPU and compiler: where the AVX2 kernels are built. They
// are built on x86 with GCC or Clang (MinGW included) into a program that
// runs on any x86, and are only called where the CPU has AVX2, BMI and
// POPCNT (platform/system/cpu.h).

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define KASOR_AVX2_KERNELS 1
#define KASOR_AVX2 __attribute__((target("avx2,bmi,popcnt")))
#else
#define KASOR_AVX2_KERNELS 0
#endif

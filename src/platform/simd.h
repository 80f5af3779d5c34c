#pragma once
// The ways the hot loops can go on this CPU: the vector instructions they use.

namespace platform {

// Slowest first. The scalar way is the reference, on every CPU.
enum class Simd { kScalar, kAvx2 };

// The fastest way this CPU has.
Simd fastest_simd();

// The way called `name` ("scalar", "avx2"), or `fallback` for any other name;
// never one this CPU does not have.
Simd simd_named(const char* name, Simd fallback);

}  // namespace platform

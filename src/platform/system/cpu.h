#pragma once
// What this CPU has of the instructions the fast kernels use.

namespace platform {

// True when the CPU has AVX2, BMI and POPCNT, and the program was built with
// the kernels that use them.
bool cpu_has_avx2();

}  // namespace platform

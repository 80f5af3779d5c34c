#pragma once
// How much of a sweep over millions of values the tests run: all of it in a
// build configured with KASOR_EXHAUSTIVE, a tenth otherwise.

#ifndef KASOR_EXHAUSTIVE
#define KASOR_EXHAUSTIVE 0
#endif

// The number of values to try, of `whole`.
constexpr int sweep(int whole) { return KASOR_EXHAUSTIVE ? whole : whole / 10; }

// The step through a range, of `whole_step` for the exhaustive sweep.
constexpr unsigned sweep_step(unsigned whole_step) { return KASOR_EXHAUSTIVE ? whole_step : 10 * whole_step; }

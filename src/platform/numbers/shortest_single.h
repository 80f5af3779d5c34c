#pragma once
// The display text of a single-precision number: the shortest text that reads
// back as exactly the same value, byte for byte what std::to_chars(first,
// last, value) writes ("0.5", "-0.25", "1e-07", "-0", "inf").

#include "platform/numbers/decimal.h"

namespace platform {

// Writes the text at `out` (room for 24 characters) and returns its end.
char* put_single(char* out, float value);

// The same text, from the digits of `read_from`, the decimal the value was
// read from (or 0), where they are provably that text: quicker than the search.
char* put_single(char* out, float value, Decimal read_from);

}  // namespace platform

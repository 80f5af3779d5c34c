#include "platform/plain_pairs.h"

#include "platform/plain_number.h"

namespace platform {

PlainRun plain_pairs_scalar(const char* p, const char* stop, float* xs, float* ys, std::size_t count) {
  PlainRun run;
  run.end = p;
  while (run.pairs < count && p < stop) {
    const char* q = p;
    while (*q == ' ' || *q == '\t') ++q;
    float x, y;
    q = read_plain_number(q, x);
    if (!q) break;
    while (*q == ' ' || *q == '\t' || *q == ',') ++q;
    q = read_plain_number(q, y);
    if (!q) break;
    while (*q == ' ' || *q == '\t') ++q;
    if (*q == '\n') {
      ++q;
    } else if (*q == '\r') {
      q += q[1] == '\n' ? 2 : 1;
    } else {
      break;
    }
    // No number or line end may be cut by the end of the buffer.
    if (q >= stop) break;
    xs[run.pairs] = x;
    ys[run.pairs] = y;
    ++run.pairs;
    p = q;
  }
  run.end = p;
  run.lines = run.pairs;
  run.line_end_last = run.pairs > 0;
  return run;
}

}  // namespace platform

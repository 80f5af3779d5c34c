// The scalar way of reading runs of pairs.
#include "input/ways.h"
#include "platform/numbers/parse_single.h"

using platform::kNearEnd;
using platform::NaN;

PlainRun parse_pairs_scalar(const char* p, const char* end, const PairBuffers& out, std::size_t count,
                            std::string& scratch) {
  PlainRun run;
  run.end = p;
  if (end - p <= static_cast<std::ptrdiff_t>(kNearEnd)) return run;
  const char* const stop = end - kNearEnd;
  while (run.pairs < count && run.end < stop) {
    const char* q = run.end;
    float x, y;
    // A NaN ends the run too: the item reader reads that pair, and it is counted.
    if (!platform::quick_item(q, end, false, x, scratch, NaN::kNoNumber) ||
        !platform::quick_item(q, end, false, y, scratch, NaN::kNoNumber) || q >= stop) {
      break;
    }
    const char* const blanks_end = platform::skip_blanks(q);
    const char* const next = platform::past_line_end(blanks_end);
    if (next > stop) break;
    out.xy[2 * run.pairs] = x;
    out.xy[2 * run.pairs + 1] = y;
    out.read[2 * run.pairs] = 0;
    out.read[2 * run.pairs + 1] = 0;
    ++run.pairs;
    run.line_end_last = next != blanks_end;
    run.lines += run.line_end_last;
    run.end = next;
  }
  return run;
}

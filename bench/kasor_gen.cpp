// kasor-gen NODES STEPS SEED: writes a series data set to standard output.
//
// It looks like what solvers write: every node's vector swings smoothly over
// the steps, with amplitudes over several orders of magnitude, printed with
// six to seven significant digits; most lines in fixed form ("-0.397573") and
// about one in eight in exponent form ("-1.934159e-01"), as writers switch
// form for small or large values. CR LF line ends, and an end marker.
// Deterministic: the same arguments give the same bytes on every machine.

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

std::uint64_t next(std::uint64_t& state) {  // splitmix64
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double unit(std::uint64_t& state) { return static_cast<double>(next(state) >> 11) * 0x1p-53; }

char* put(char* out, double value, bool exponent_form) {
  const auto r = exponent_form ? std::to_chars(out, out + 32, value, std::chars_format::scientific, 6)
                               : std::to_chars(out, out + 32, value, std::chars_format::fixed, 6);
  return r.ptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: kasor-gen NODES STEPS SEED\n");
    return 2;
  }
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);  // CR LF exactly as written, not CR CR LF
#endif
  const long long nodes = std::atoll(argv[1]);
  const long long steps = std::atoll(argv[2]);
  std::uint64_t state = std::strtoull(argv[3], nullptr, 10);

  struct Node {
    double amplitude, phase, ratio;
  };
  std::vector<Node> shape(static_cast<std::size_t>(nodes > 0 ? nodes : 0));
  for (Node& n : shape) {
    n.amplitude = std::pow(10.0, -2.0 + 2.5 * unit(state));
    n.phase = 6.283185307179586 * unit(state);
    n.ratio = 0.2 + 1.6 * unit(state);
  }

  std::vector<char> buffer(1 << 20);
  std::size_t used = 0;
  auto flush = [&] {
    std::fwrite(buffer.data(), 1, used, stdout);
    used = 0;
  };
  auto text = [&](const std::string& s) {
    if (used + s.size() > buffer.size()) flush();
    for (char c : s) buffer[used++] = c;
  };

  text("VECTOR\r\nND " + std::to_string(nodes) + "\r\nST 0\r\n");
  for (long long step = 0; step < steps; ++step) {
    char header[64];
    std::snprintf(header, sizeof header, "TS 0 %.1f\r\n", 60.0 * static_cast<double>(step));
    text(header);
    const double t = 0.35 * static_cast<double>(step);
    for (const Node& n : shape) {
      if (used + 80 > buffer.size()) flush();
      const double x = n.amplitude * std::sin(t + n.phase);
      const double y = n.amplitude * n.ratio * std::cos(0.7 * t + n.phase);
      const bool exponent_form = (next(state) & 7) == 0;
      char* out = buffer.data() + used;
      out = put(out, x, exponent_form);
      *out++ = ' ';
      out = put(out, y, exponent_form);
      *out++ = '\r';
      *out++ = '\n';
      used = static_cast<std::size_t>(out - buffer.data());
    }
  }
  text("ENDDS\r\n");
  flush();
  return std::fflush(stdout) == 0 ? 0 : 1;
}

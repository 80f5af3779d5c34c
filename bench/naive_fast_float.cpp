// naive-fast-float: the yardstick for bench/run.sh. The plainest fast loop over
// KASOR.dat in the working folder: the file mapped into memory, its numbers
// converted by fast_float, each node's peak kept by the same rule. It writes
// nothing, knows no damage and takes no care of odd input: a well-formed
// data set only, on one core.

#include <fast_float/fast_float.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main() {
  const int fd = open("KASOR.dat", O_RDONLY);
  struct stat st {};
  if (fd < 0 || fstat(fd, &st) != 0) return 1;
  const auto size = static_cast<std::size_t>(st.st_size);
  const char* const data = static_cast<const char*>(mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0));
  if (data == MAP_FAILED) return 1;
  const char* p = data;
  const char* const end = data + size;
  auto next_line = [&] {
    while (p < end && *p != '\n') ++p;
    if (p < end) ++p;
  };
  while (p < end && std::strncmp(p, "ND", 2) != 0) next_line();
  const long nodes = std::strtol(p + 2, nullptr, 10);
  next_line();
  std::vector<float> magnitude(static_cast<std::size_t>(nodes) + 1), px(magnitude.size()), py(magnitude.size());
  auto skip_blanks = [&] {
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == ',')) ++p;
  };
  while (p < end) {
    if (std::strncmp(p, "ENDDS", 5) == 0) break;
    if (std::strncmp(p, "TS", 2) != 0) {
      next_line();
      continue;
    }
    next_line();
    for (long node = 1; node <= nodes && p < end; ++node) {
      float x = 0, y = 0;
      skip_blanks();
      p = fast_float::from_chars(p, end, x).ptr;
      skip_blanks();
      p = fast_float::from_chars(p, end, y).ptr;
      skip_blanks();
      const float m = static_cast<float>(std::sqrt(static_cast<double>(x) * x + static_cast<double>(y) * y));
      if (m > magnitude[static_cast<std::size_t>(node)]) {
        magnitude[static_cast<std::size_t>(node)] = m;
        px[static_cast<std::size_t>(node)] = x;
        py[static_cast<std::size_t>(node)] = y;
      }
    }
  }
  double sum = 0;  // so that the work cannot be left out
  for (std::size_t i = 1; i < magnitude.size(); ++i) sum += px[i] + py[i];
  std::printf("%g\n", sum);
  return 0;
}

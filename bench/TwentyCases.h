#pragma once

// The example task's test file grown to 20 cases: N numbers, their sum and
// mean.

#include <string>

namespace Deskbay::Bench {

inline std::string TwentyCases() {
  std::string Text;
  for (int N = 1; N <= 20; ++N) {
    Text += "=== " + std::to_string(N) + " чисел\n< " + std::to_string(N) + "\n";
    for (int K = 1; K <= N; ++K)
      Text += "< " + std::to_string(K) + "\n";
    const int Sum = N * (N + 1) / 2;
    Text += "> " + std::to_string(Sum) + " " +
            (N % 2 ? std::to_string((N + 1) / 2) : std::to_string(N / 2) + ".5") + "\n";
  }
  return Text;
}

} // namespace Deskbay::Bench

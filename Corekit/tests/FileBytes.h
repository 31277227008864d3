#pragma once

// Building the bytes of files and records by hand, and reading the message
// of an expected error, for the persistence tests.

#include "Corekit/SysUtils.h"

#include <cstdint>
#include <string>

namespace Deskbay::Testing {

// A 32-bit little-endian integer as four bytes.
inline std::string Le32(int32_t V) {
  std::string S(4, '\0');
  for (int I = 0; I < 4; ++I)
    S[I] = static_cast<char>(static_cast<uint32_t>(V) >> (8 * I));
  return S;
}

// A sized string: its length, then its bytes.
inline std::string Sized(const std::string& S) {
  return Le32(static_cast<int32_t>(S.size())) + S;
}

// The message Fn fails with, or "(no error)".
template <class F> std::string MessageOf(F&& Fn) {
  try {
    Fn();
  } catch (const Exception& E) {
    return E.Message();
  }
  return "(no error)";
}

} // namespace Deskbay::Testing

// TsComparer: how the index compares time stamps. Two stamps closer than 1e-10 s
// are the same instant, so a time computed by the caller finds the stored sample
// it denotes despite rounding.
#pragma once

#include <cmath>

template <class TKey>
struct TsComparer;

template <>
struct TsComparer<double> {
  static constexpr double kEpsilon = 1e-10;

  static bool equal(double a, double b) noexcept { return std::fabs(a - b) < kEpsilon; }
  // a before b and not the same instant.
  static bool less(double a, double b) noexcept { return a < b && !equal(a, b); }
  // a before b or the same instant.
  static bool lessEqual(double a, double b) noexcept { return a < b || equal(a, b); }
};

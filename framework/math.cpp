#include "framework/math.h"

int vl_math_Abs(int x) {
  // Negating in unsigned arithmetic keeps INT_MIN's wrap-around defined.
  return x < 0 ? int(0u - unsigned(x)) : x;
}

float vl_math_Abs2(float x) { return x >= 0 ? x : -x; }

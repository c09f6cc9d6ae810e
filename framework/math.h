// The math module: absolute values of ints and floats. No dependencies.
#pragma once

// The most negative int has no positive counterpart and comes back unchanged.
int vl_math_Abs(int x);
// x when x >= 0, else -x; so -0.0 stays -0.0.
float vl_math_Abs2(float x);

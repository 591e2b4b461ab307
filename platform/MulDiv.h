#pragma once
// The scaling helper behind every dpi-dependent size.

// (a * b) / c rounded to the nearest integer, halves away from zero, computed
// in 64 bits; -1 when c is 0 or the result does not fit 32 bits.
int MulDiv(int a, int b, int c);

#pragma once

// Numbers written for other programs to read back.

#include <string>

// The shortest decimal text that reads back to exactly `value`, in plain or
// exponent notation whichever is shorter: 10, 6.25, 23.666666666666668,
// 1e-05, nan, inf.
std::string ShortestText(double value);

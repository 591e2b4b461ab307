#include "platform/MulDiv.h"

#include <cstdint>
#include <cstdlib>

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    const int64_t p = int64_t(a) * int64_t(b);
    int64_t q = p / c;
    const int64_t r = p % c;
    if (2 * std::llabs(r) >= std::llabs(int64_t(c))) q += ((p < 0) != (c < 0)) ? -1 : 1;
    if (q > INT32_MAX || q < INT32_MIN) return -1;
    return int(q);
}

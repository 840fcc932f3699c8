#include "barcode/pdf417/gf929.h"

namespace pdf417 {

Gf929::Gf929() {
    int v = 1;
    for (int i = 0; i < kFieldSize - 1; ++i) {
        exp[i] = static_cast<int16_t>(v);
        log[v] = static_cast<int16_t>(i);
        v = v * 3 % kFieldSize;
    }
    exp[kFieldSize - 1] = 1;
    log[0] = 0;
}

const Gf929& gf() {
    static const Gf929 tables;
    return tables;
}

int Poly::eval(int x) const {
    int r = 0;
    for (int i = degree; i >= 0; --i) r = gf_add(gf_mul(r, x), c[i]);
    return r;
}

}  // namespace pdf417

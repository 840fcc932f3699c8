#pragma once
// Armed link faults: each applies to one kind of operation (and, for reads
// and writes, optionally one pipe), lets `skip` matching operations pass and
// then fires `count` times (forever when count < 0). Guarded by the
// emulator's lock.

#include <vector>

namespace emu {

class Faults {
public:
    void arm(int fault, int pipe, int skip, int count);
    void clear() { armed_.clear(); }
    // True when `fault` fires for this operation on `pipe` (consumes one use).
    bool fires(int fault, int pipe = -1);
    // True when `fault` is armed and would fire now, without consuming it.
    bool active(int fault) const;

private:
    struct Armed {
        int fault;
        int pipe;
        int skip;
        int count;
    };
    std::vector<Armed> armed_;
};

}  // namespace emu

#pragma once
// Armed link faults: each applies to one kind of operation (and, for reads
// and writes, optionally one pipe), lets `skip` matching operations pass and
// then fires `count` times (forever when count < 0). Guarded by the
// emulator's lock.

#include <vector>

#include "emulator/ScannerEmulator.h"

namespace emu {

class Faults {
public:
    void arm(EmuFault fault, int pipe, int skip, int count);
    void clear() { armed_.clear(); }
    // True when `fault` fires for this operation on `pipe` (consumes one use).
    bool fires(EmuFault fault, int pipe = -1);
    // True when `fault` is armed and would fire now, without consuming it.
    bool active(EmuFault fault) const;

private:
    struct Armed {
        EmuFault fault;
        int pipe;
        int skip;
        int count;
    };
    std::vector<Armed> armed_;
};

}  // namespace emu

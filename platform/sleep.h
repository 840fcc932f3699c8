#pragma once
// Millisecond sleeps. Tests may install an observer that receives every
// requested pause instead of waiting it out; the observer is off unless a test
// sets it, and is process-wide within the module that links this layer.

#include <functional>

namespace platform {

// Pauses the calling thread for `ms` milliseconds (nothing for ms <= 0), or
// reports the pause to the installed observer.
void sleep_ms(int ms);

using SleepObserver = std::function<void(int ms)>;

// Installs (or, with an empty function, removes) the observer. Test use only.
void set_sleep_observer(SleepObserver observer);

}  // namespace platform

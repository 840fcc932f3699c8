#pragma once
// Starting a program again under umockdev's preload library.

namespace usbtest {

// Returns when the program already runs under libumockdev-preload.so.0;
// otherwise replaces the process with itself under it (the AddressSanitizer
// runtime, when loaded, first) and returns only when that fails.
void run_under_umockdev(char** argv);

}  // namespace usbtest

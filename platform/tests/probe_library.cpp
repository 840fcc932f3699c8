// A tiny library that the loader tests open by its logical name.
extern "C" __attribute__((visibility("default"))) int ProbeAnswer(int x) {
    return x * 2 + 1;
}

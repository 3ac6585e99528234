// A GPIB library that lacks ibloc: the binding must refuse it and say which function is
// missing. Built as libgpib.so.0 in a folder of its own.
#define GPIB_EXPORT extern "C" __attribute__((visibility("default")))

GPIB_EXPORT int ibdev(int, int, int, int, int, int) {
    return -1;
}
GPIB_EXPORT int ibonl(int, int) {
    return 0x8000;
}
GPIB_EXPORT int ibwrt(int, const void*, long) {
    return 0x8000;
}
GPIB_EXPORT int ibrd(int, void*, long) {
    return 0x8000;
}
GPIB_EXPORT int ibconfig(int, int, int) {
    return 0x8000;
}
GPIB_EXPORT long ThreadIbcntl() {
    return 0;
}

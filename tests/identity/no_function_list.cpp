// A shared library that is no PKCS#11 module: it lacks C_GetFunctionList.
extern "C" __attribute__((visibility("default"))) int svNotAModule() { return 0; }

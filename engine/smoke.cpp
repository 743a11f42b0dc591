// Engine smoke program: loads the shared engine with dlopen and drives it
// through BTRCALL alone (Create, Open, Insert, Get Equal, Stat, Close,
// Reset), proving the exported entry. Usage: engine-smoke LIBRARY DIR
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "btrcall.h"

using BtrCall = int16_t (*)(uint16_t, void*, void*, uint32_t*, void*, uint8_t, int8_t);

static int fail(const char* what, int status) {
    std::fprintf(stderr, "engine-smoke: %s gave status %d\n", what, status);
    return 1;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: engine-smoke LIBRARY DIR\n");
        return 2;
    }
    void* lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        std::fprintf(stderr, "engine-smoke: %s\n", dlerror());
        return 1;
    }
    auto call = reinterpret_cast<BtrCall>(dlsym(lib, "BTRCALL"));
    if (!call) return fail("dlsym BTRCALL", -1);

    std::string path = std::string(argv[2]) + "/SMOKE.DAT";
    char key[256] = {};
    std::snprintf(key, sizeof key, "%s", path.c_str());
    uint8_t spec[32] = {};
    spec[0] = 8;   // record length 8
    spec[3] = 4;   // page size 1024
    spec[4] = 1;   // one key
    spec[16] = 1;  // position 1
    spec[18] = 4;  // length 4
    spec[21] = 0x01;  // extended type follows (flags 0x0100)
    spec[26] = 14;    // unsigned binary
    uint8_t pos[128] = {};
    uint32_t len = sizeof spec;
    int16_t st = call(14, pos, spec, &len, key, 255, 0);
    if (st) return fail("Create", st);
    uint8_t data[64] = {};
    len = sizeof data;
    if ((st = call(0, pos, data, &len, key, 255, 0))) return fail("Open", st);
    uint8_t rec[8] = {42, 0, 0, 0, 's', 'm', 'k', 0};
    len = sizeof rec;
    char kb[255] = {};
    if ((st = call(2, pos, rec, &len, kb, 255, 0))) return fail("Insert", st);
    std::memset(kb, 0, sizeof kb);
    kb[0] = 42;
    len = sizeof data;
    if ((st = call(5, pos, data, &len, kb, 255, 0))) return fail("Get Equal", st);
    if (len != 8 || std::memcmp(data, rec, 8) != 0) return fail("Get Equal record", -1);
    uint8_t stat[512];
    len = sizeof stat;
    if ((st = call(15, pos, stat, &len, kb, 255, -1))) return fail("Stat", st);
    if (len != 32 || stat[6] != 1) return fail("Stat result", -1);
    if ((st = call(1, pos, data, &len, kb, 255, 0))) return fail("Close", st);
    if ((st = call(28, nullptr, nullptr, &len, nullptr, 255, 0))) return fail("Reset", st);
    std::printf("engine-smoke: BTRCALL from %s works\n", argv[1]);
    dlclose(lib);
    return 0;
}

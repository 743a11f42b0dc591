// Fuzzes the repair tool's command line: the input is split at NUL bytes
// into up to eight arguments, and runMain runs on them in a directory
// holding a small database. Run it with -close_fd_mask=3 (run.sh does) so
// the tool's own output is dropped and libFuzzer's is kept.
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/run.h"
#include "ddf.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Scratch files on tmpfs where there is one: every input writes files.
    char tmpl[] = "/dev/shm/kvfuzz-run-XXXXXX";
    if (access("/dev/shm", W_OK) != 0) std::memcpy(tmpl, "/tmp/kvfuzz-run-XXXXXX", sizeof "/tmp/kvfuzz-run-XXXXXX");
    std::string dir = mkdtemp(tmpl);
    kdb::ddfBuild(dir, kdb::demoDescription());
    if (chdir(dir.c_str()) != 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> args = {"korvane"};
    std::string current;
    for (size_t i = 0; i < size && args.size() < 9; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    if (args.size() < 9 && (!current.empty() || size == 0)) args.push_back(current);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int code = runMain(static_cast<int>(args.size()), argv.data());
    if (code < 0 || code > 2) std::abort();
    return 0;
}

// A scripted engine entry for the tool's tests: every call goes to the real
// engine unless the script answers it first; a hook may then change what
// the engine delivered.
#ifndef KORVANE_TESTS_FAKE_BTRCALL_H
#define KORVANE_TESTS_FAKE_BTRCALL_H

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct EngineCallArgs {
    uint16_t op;
    void* posBlock;
    void* dataBuf;
    uint32_t* dataLen;
    void* keyBuf;
    uint8_t keyLen;
    int8_t keyNum;
};

// Answers a call itself (a status) or lets it through (nullopt).
extern std::function<std::optional<int16_t>(const EngineCallArgs&)> fakeScript;
// Runs after a call the real engine answered, with its status.
extern std::function<void(const EngineCallArgs&, int16_t)> fakeAfter;

// The result of one run of the tool in a child process.
struct ToolRun {
    int exitCode;
    std::string out;
    std::string err;
};

// Runs body in a forked child in directory dir with stdout and stderr
// captured; body's result is the exit code.
ToolRun runInChild(const std::string& dir, const std::function<int()>& body);
// runMain with these arguments (the program name is added).
ToolRun runTool(const std::string& dir, const std::vector<std::string>& args);

// Builds a database description into dir with korvane-db.
void buildDatabase(const std::string& dir, const std::string& json);

#endif

#include "fake_btrcall.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "app/run.h"
#include "dispatch.h"

std::function<std::optional<int16_t>(const EngineCallArgs&)> fakeScript;
std::function<void(const EngineCallArgs&, int16_t)> fakeAfter;

extern "C" int16_t BTRCALL(uint16_t op, void* posBlock, void* dataBuf, uint32_t* dataLen, void* keyBuf, uint8_t keyLen,
                           int8_t keyNum) {
    EngineCallArgs args{op, posBlock, dataBuf, dataLen, keyBuf, keyLen, keyNum};
    if (fakeScript) {
        if (std::optional<int16_t> status = fakeScript(args)) return *status;
    }
    int16_t status = korvaneEngineCall(op, posBlock, dataBuf, dataLen, keyBuf, keyLen, keyNum);
    if (fakeAfter) fakeAfter(args, status);
    return status;
}

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

ToolRun runInChild(const std::string& dir, const std::function<int()>& body) {
    std::string outPath = dir + "/.stdout", errPath = dir + "/.stderr";
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t child = fork();
    if (child == 0) {
        if (chdir(dir.c_str()) != 0) _exit(99);
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = open("/dev/null", O_RDONLY);
        dup2(out, 1);
        dup2(err, 2);
        dup2(in, 0);
        int code = body();
        std::fflush(stdout);
        std::fflush(stderr);
        _exit(code);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ToolRun run{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), slurp(outPath), slurp(errPath)};
    unlink(outPath.c_str());
    unlink(errPath.c_str());
    return run;
}

ToolRun runTool(const std::string& dir, const std::vector<std::string>& args) {
    return runInChild(dir, [&] {
        std::vector<std::string> words = {"korvane"};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        return runMain(static_cast<int>(words.size()), argv.data());
    });
}

void buildDatabase(const std::string& dir, const std::string& json) {
    std::string path = dir + "/.db.json";
    std::ofstream(path) << json;
    std::string cmd = std::string(KORVANE_DB_PATH) + " ddf build " + dir + " --from " + path;
    if (std::system(cmd.c_str()) != 0) throw std::runtime_error("korvane-db ddf build failed");
    unlink(path.c_str());
}

// korvane-db's road to engine files: BTRCALL and nothing else, wrapped so
// that every failure becomes one clear error naming the file and the status.
#ifndef KORVANE_DB_ENGINE_CLIENT_H
#define KORVANE_DB_ENGINE_CLIENT_H

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace kdb {

using Bytes = std::vector<uint8_t>;

// The engine status in words, e.g. "duplicate key value".
std::string statusWords(int status);

// "FILE: words (status N)".
struct EngineError : std::runtime_error {
    EngineError(const std::string& file, int status);
    int status;
};

// A failure of the user's input, reported as it is.
struct InputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Creates an engine file from a Create buffer; throws EngineError.
void createEngineFile(const std::string& path, const Bytes& spec, bool overwrite);

// One open engine file; closed when it goes out of scope.
class EngineFile {
public:
    explicit EngineFile(const std::string& path, const std::string& owner = "", int8_t mode = 0);
    ~EngineFile();
    EngineFile(const EngineFile&) = delete;
    EngineFile& operator=(const EngineFile&) = delete;

    const std::string& path() const { return path_; }
    // The Stat result; throws.
    Bytes stat();
    // Inserts; returns the status (0 or the engine's refusal).
    int insert(const Bytes& record);
    // Update of the current record; returns the status.
    int update(const Bytes& record);
    // A Get (first, next, equal...); returns the status. record and key are
    // filled on success; key carries the key value in for keyed Gets.
    int get(uint16_t op, int8_t keyNum, Bytes& record, Bytes& key);
    void setOwner(const std::string& owner, int mode);
    void clearOwner();

private:
    std::string path_;
    uint8_t pos_[128] = {};
    bool open_ = false;
};

void resetEngine();

}  // namespace kdb

#endif

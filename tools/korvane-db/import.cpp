// Importing.
//  1. For a directory: convert the three dictionary files, then read the
//     locations in FILE.DDF and convert each data file they name, resolved
//     as the engine resolves paths ('\' a separator, names matched without
//     regard to case when the exact name is missing).
//  2. A file already in the engine's own format is copied as it is.
//  3. A real file becomes a new engine file with the same specification,
//     and its live records are inserted in physical order.
//  4. The source is only ever read. A file that can't be converted is named
//     with the reason and the rest goes on.
#include "import.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <strings.h>

#include "btrcall.h"
#include "dictionary_layout.h"

namespace kdb {

namespace fs = std::filesystem;

namespace {

Bytes readBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) throw UnsupportedFile("cannot be read");
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The path the engine would open for a location under root, or "" when
// there is none.
fs::path resolveUnder(const fs::path& root, std::string location) {
    for (char& c : location)
        if (c == '\\') c = '/';
    fs::path at = root;
    for (const fs::path& part : fs::path(location).relative_path()) {
        fs::path exact = at / part;
        if (fs::exists(exact)) {
            at = exact;
            continue;
        }
        fs::path match;
        int count = 0;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(at, ec))
            if (strcasecmp(e.path().filename().c_str(), part.c_str()) == 0) {
                match = e.path();
                ++count;
            }
        if (count != 1) return fs::path();
        at = match;
    }
    return at;
}

struct Row {
    std::string file;
    std::string records = "-";
    std::string keys = "-";
    std::string result;
    bool ok = false;
};

bool isEngineFile(const fs::path& p) {
    try {
        EngineFile f(p.string(), "", -2);
        return true;
    } catch (const EngineError& e) {
        return e.status == KV_STATUS_WRONG_OWNER;  // ours, but secured
    }
}

Row convert(const fs::path& from, const fs::path& to, const std::string& shown) {
    Row row;
    row.file = shown;
    bool created = false;  // only what this call wrote is removed on failure
    try {
        if (fs::exists(to)) throw UnsupportedFile("the destination already exists");
        if (!to.parent_path().empty()) fs::create_directories(to.parent_path());
        if (isEngineFile(from)) {
            created = true;
            fs::copy_file(from, to);
            row.result = "copied (already an engine file)";
            row.ok = true;
            return row;
        }
        RealFile real = readRealFile(readBytes(from));
        try {
            createEngineFile(to.string(), createBufferFor(real), false);
            created = true;
        } catch (const EngineError& e) {
            throw UnsupportedFile(std::string("its specification can't be created: ") + statusWords(e.status));
        }
        {
            EngineFile f(to.string());
            for (size_t i = 0; i < real.records.size(); ++i) {
                int st = f.insert(real.records[i]);
                if (st) throw UnsupportedFile("record " + std::to_string(i + 1) + " was refused: " + statusWords(st));
            }
        }
        row.records = std::to_string(real.records.size());
        row.keys = std::to_string(real.keys.size());
        row.result = "converted from " + std::to_string(real.version) + ".x";
        for (const std::string& n : real.notes) row.result += "; " + n;
        row.ok = true;
    } catch (const std::exception& e) {
        resetEngine();
        std::error_code ec;
        if (created) fs::remove(to, ec);
        row.result = std::string("skipped: ") + e.what();
    }
    return row;
}

}  // namespace

Bytes createBufferFor(const RealFile& real) {
    Bytes b(16, 0);
    put16(b, 0, real.recordLength);
    put16(b, 2, real.pageSize);
    put16(b, 4, static_cast<uint16_t>(real.keys.size()));
    put16(b, 10, real.variable ? 0x0001 : 0);
    for (size_t k = 0; k < real.keys.size(); ++k) {
        const RealKey& key = real.keys[k];
        for (size_t i = 0; i < key.segments.size(); ++i) {
            const RealSegment& s = key.segments[i];
            size_t at = b.size();
            b.resize(at + 16, 0);
            // Pending-key and key-only marks describe the original file's
            // state, not the key; numbered-ACS 0x0400 stays (the ACS wins).
            uint16_t flags = static_cast<uint16_t>(s.flags & 0x0FFF);
            if (i + 1 < key.segments.size()) flags |= 0x0010;
            else flags &= static_cast<uint16_t>(~0x0010);
            put16(b, at, s.position);
            put16(b, at + 2, s.length);
            put16(b, at + 4, flags);
            b[at + 10] = s.extendedType;
            b[at + 11] = s.nullValue;
            b[at + 14] = static_cast<uint8_t>(k);
            b[at + 15] = static_cast<uint8_t>(s.acs < 0 ? 0 : s.acs);
        }
    }
    for (const auto& table : real.acs) b.insert(b.end(), table.begin(), table.end());
    return b;
}

int importDatabase(const std::string& src, const std::string& dest) {
    fs::path from(src), to(dest);
    std::vector<Row> rows;
    if (!fs::exists(from)) throw InputError(src + ": no such file or directory");
    if (!fs::is_directory(from)) {
        fs::path target = fs::is_directory(to) ? to / from.filename() : to;
        rows.push_back(convert(from, target, from.filename().string()));
    } else {
        std::vector<std::string> locations;
        for (const char* name : {"FILE.DDF", "FIELD.DDF", "INDEX.DDF"}) {
            fs::path found = resolveUnder(from, name);
            if (found.empty()) {
                rows.push_back(Row{name, "-", "-", "skipped: not found", false});
                continue;
            }
            rows.push_back(convert(found, to / fs::relative(found, from), name));
        }
        // The data files the converted FILE.DDF names.
        fs::path files = to / fs::relative(resolveUnder(from, "FILE.DDF"), from);
        if (rows[0].ok) {
            EngineFile f(files.string());
            Bytes rec, k;
            for (int st = f.get(KV_OP_GET_FIRST, 0, rec, k); st == 0; st = f.get(KV_OP_GET_NEXT, 0, rec, k)) {
                FileRow r = decodeFileRow(rec);
                if (r.name.size() >= 2 && (r.name[0] == 'X' || r.name[0] == 'x') && r.name[1] == '$') continue;
                if (!r.location.empty()) locations.push_back(r.location);
            }
        }
        for (const std::string& loc : locations) {
            fs::path found = resolveUnder(from, loc);
            if (found.empty()) {
                rows.push_back(Row{loc, "-", "-", "skipped: not found in " + src, false});
                continue;
            }
            rows.push_back(convert(found, to / fs::relative(found, from), loc));
        }
    }
    std::printf("%-28s %8s %5s  %s\n", "file", "records", "keys", "result");
    bool all = true, any = false;
    for (const Row& r : rows) {
        std::printf("%-28s %8s %5s  %s\n", r.file.c_str(), r.records.c_str(), r.keys.c_str(), r.result.c_str());
        all &= r.ok;
        any |= r.ok;
    }
    return all ? 0 : (any ? 2 : 1);
}

}  // namespace kdb

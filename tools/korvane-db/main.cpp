// korvane-db: creates, inspects, loads and dumps engine files, and builds,
// shows and checks whole dictionaries, all through the engine call.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <strings.h>

#include "btrcall.h"
#include "ddf.h"
#include "dictionary_layout.h"
#include "import.h"
#include "file_spec_json.h"
#include "storage_check.h"

using namespace kdb;
namespace fs = std::filesystem;

namespace {

enum class Layout { None, File, Field, Index };

Layout layoutOf(const std::string& path) {
    std::string base = fs::path(path).filename().string();
    if (strcasecmp(base.c_str(), "FILE.DDF") == 0) return Layout::File;
    if (strcasecmp(base.c_str(), "FIELD.DDF") == 0) return Layout::Field;
    if (strcasecmp(base.c_str(), "INDEX.DDF") == 0) return Layout::Index;
    return Layout::None;
}

ordered_json fieldsOf(Layout layout, const Bytes& rec) {
    switch (layout) {
    case Layout::File: {
        FileRow r = decodeFileRow(rec);
        return {{"Xf$Id", r.id}, {"Xf$Name", r.name}, {"Xf$Loc", r.location}, {"Xf$Flags", r.flags}};
    }
    case Layout::Field: {
        FieldRow r = decodeFieldRow(rec);
        return {{"Xe$Id", r.id},         {"Xe$File", r.file}, {"Xe$Name", r.name}, {"Xe$DataType", r.type},
                {"Xe$Offset", r.offset}, {"Xe$Size", r.size}, {"Xe$Dec", r.dec},   {"Xe$Flags", r.flags}};
    }
    case Layout::Index: {
        IndexRow r = decodeIndexRow(rec);
        return {{"Xi$File", r.file}, {"Xi$Field", r.field}, {"Xi$Number", r.number}, {"Xi$Part", r.part}, {"Xi$Flags", r.flags}};
    }
    default: return nullptr;
    }
}

std::string fieldsText(const ordered_json& fields) {
    std::string out;
    for (const auto& [name, value] : fields.items()) {
        if (!out.empty()) out += ' ';
        out += name + "=" + (value.is_string() ? "\"" + value.get<std::string>() + "\"" : value.dump());
    }
    return out;
}

std::string statText(const std::string& path, const Bytes& stat) {
    ordered_json s = specToJson(stat, true);
    std::string out;
    char line[256];
    std::snprintf(line, sizeof line, "%s: record length %d, page size %d, %u records, %s-length\n", path.c_str(),
                  s["recordLength"].get<int>(), s["pageSize"].get<int>(), s["records"].get<unsigned>(),
                  s["variable"].get<bool>() ? "variable" : "fixed");
    out += line;
    size_t off = 16;
    for (const auto& k : s["keys"]) {
        std::snprintf(line, sizeof line, "key %d: %zu segment%s, %u distinct values\n", k["number"].get<int>(),
                      k["segments"].size(), k["segments"].size() == 1 ? "" : "s", k["distinct"].get<unsigned>());
        out += line;
        for (size_t i = 0; i < k["segments"].size(); ++i, off += 16) {
            uint16_t flags = get16(stat, off + 4);
            std::snprintf(line, sizeof line, "  segment %zu: position %d, length %d, type %s, null 0x%02x, flags %s\n", i,
                          get16(stat, off), get16(stat, off + 2),
                          (flags & 0x0100) ? typeName(stat[off + 10]).c_str() : ((flags & 0x0004) ? "binary" : "string"),
                          stat[off + 11], keyFlagNames(flags).c_str());
            out += line;
        }
    }
    return out;
}

int firstKeyNumber(const Bytes& stat) { return get16(stat, 4) ? stat[16 + 14] : -1; }

int cmdDump(const std::string& path, int keyNumber, bool json, const std::string& owner) {
    EngineFile f(path, owner);
    Bytes stat = f.stat();
    int key = keyNumber >= 0 ? keyNumber : firstKeyNumber(stat);
    if (key < 0) throw InputError(path + ": the file has no keys, so its records cannot be walked");
    Layout layout = layoutOf(path);
    Bytes rec, k;
    int n = 0;
    int st = f.get(KV_OP_GET_FIRST, static_cast<int8_t>(key), rec, k);
    for (; st == 0; st = f.get(KV_OP_GET_NEXT, static_cast<int8_t>(key), rec, k)) {
        ordered_json fields = fieldsOf(layout, rec);
        if (json) {
            ordered_json line = {{"hex", toHex(rec.data(), rec.size())}};
            if (!fields.is_null()) line["fields"] = fields;
            std::cout << line.dump() << "\n";
        } else {
            std::cout << "record " << ++n << ": " << toHex(rec.data(), rec.size()) << "\n";
            if (!fields.is_null()) std::cout << "  " << fieldsText(fields) << "\n";
        }
    }
    if (st != KV_STATUS_END_OF_FILE) throw EngineError(path, st);
    return 0;
}

int cmdLoad(const std::string& path, const std::string& jsonl, const std::string& owner) {
    std::ifstream in(jsonl);
    if (!in) throw InputError(jsonl + ": cannot be read");
    // Read and check every line before the first insert.
    std::vector<Bytes> rows;
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
        if (text.find_first_not_of(" \t\r") == std::string::npos) continue;
        try {
            ordered_json j = ordered_json::parse(text);
            rows.push_back(fromHex(j.is_string() ? j.get<std::string>() : j.at("hex").get<std::string>()));
        } catch (const std::exception& e) {
            throw InputError(jsonl + ":" + std::to_string(line) + ": " + e.what());
        }
    }
    EngineFile f(path, owner);
    for (size_t i = 0; i < rows.size(); ++i) {
        int st = f.insert(rows[i]);
        if (st) {
            throw InputError(EngineError(path, st).what() + std::string(" at record ") + std::to_string(i + 1) + "; " +
                             std::to_string(i) + " records were written before it");
        }
    }
    std::cout << path << ": " << rows.size() << " records loaded\n";
    return 0;
}

// Walks every key: each entry's key value must find a record again, and a
// key without null rules must list every record. For files of the embedded
// engine, the storage underneath is checked too.
int cmdCheck(const std::string& path, const std::string& owner) {
    EngineFile f(path, owner);
    Bytes stat = f.stat();
    ordered_json s = specToJson(stat, true);
    unsigned records = s["records"].get<unsigned>();
    std::vector<std::string> problems;
    // A second handle looks each entry up again without moving the walk.
    EngineFile probe(path, owner, -2);
    for (const auto& key : s["keys"]) {
        int8_t number = static_cast<int8_t>(key["number"].get<int>());
        bool nullable = false;
        for (const auto& flag : key["flags"]) nullable |= flag == "null";
        for (const auto& seg : key["segments"])
            for (const auto& flag : seg.value("flags", ordered_json::array())) nullable |= flag == "manual";
        Bytes rec, k;
        unsigned seen = 0;
        int st = f.get(KV_OP_GET_FIRST, number, rec, k);
        for (; st == 0; st = f.get(KV_OP_GET_NEXT, number, rec, k)) {
            ++seen;
            Bytes prec, pk = k;
            int pst = probe.get(KV_OP_GET_EQUAL, number, prec, pk);
            if (pst != 0) problems.push_back("key " + std::to_string(number) + ": entry " + std::to_string(seen) +
                                             " is not found again (status " + std::to_string(pst) + ")");
        }
        if (st != KV_STATUS_END_OF_FILE)
            problems.push_back("key " + std::to_string(number) + ": " + EngineError(path, st).what());
        if (seen > records || (!nullable && seen != records))
            problems.push_back("key " + std::to_string(number) + " lists " + std::to_string(seen) + " of " +
                               std::to_string(records) + " records");
    }
    bool storage = false;
    for (const std::string& p : checkStorage(path, storage)) problems.push_back(p);
    if (problems.empty()) {
        std::cout << path << ": sound (" << records << " records, " << s["keys"].size() << " keys)\n";
        return 0;
    }
    for (const std::string& p : problems) std::cerr << path << ": " << p << "\n";
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"korvane-db: create, inspect, load and dump engine files, and build, show and check whole dictionaries."};
    app.require_subcommand(1);
    std::string owner;
    app.add_option("--owner", owner, "Owner name to open secured files with");

    std::string file, spec, records;
    int key = -1, mode = 0;
    bool json = false, overwrite = false;

    auto* create = app.add_subcommand("create", "Create an engine file from a JSON spec");
    create->add_option("FILE", file, "Engine file to create")->required();
    create->add_option("--spec", spec, "JSON file spec")->required();
    create->add_flag("--overwrite", overwrite, "Replace an existing file");

    auto* stat = app.add_subcommand("stat", "Show an engine file's specification and keys");
    stat->add_option("FILE", file)->required();
    stat->add_flag("--json", json, "Print JSON");

    auto* load = app.add_subcommand("load", "Insert records from a JSON Lines file (one {\"hex\": ...} per line)");
    load->add_option("FILE", file)->required();
    load->add_option("RECORDS", records, "JSON Lines file")->required();

    auto* dump = app.add_subcommand("dump", "Print every record in key order");
    dump->add_option("FILE", file)->required();
    dump->add_option("--key", key, "Key number to walk (default: the first key)");
    dump->add_flag("--json", json, "Print JSON Lines, one record a line (what load reads)");

    auto* check = app.add_subcommand("check", "Check that every index agrees with the records");
    check->add_option("FILE", file)->required();

    std::string name;
    auto* setOwner = app.add_subcommand("set-owner", "Give an engine file an owner name");
    setOwner->add_option("FILE", file)->required();
    setOwner->add_option("NAME", name)->required();
    setOwner->add_option("--mode", mode, "0 all access needs the name, 1 read-only without it (2, 3 likewise)")
        ->check(CLI::Range(0, 3));

    auto* clearOwner = app.add_subcommand("clear-owner", "Remove an engine file's owner name (needs --owner)");
    clearOwner->add_option("FILE", file)->required();

    std::string dir, from, table;
    auto* ddf = app.add_subcommand("ddf", "Whole dictionaries: FILE.DDF, FIELD.DDF, INDEX.DDF");
    ddf->require_subcommand(1);
    auto* init = ddf->add_subcommand("init", "Write empty standard dictionaries into DIR");
    init->add_option("DIR", dir)->required();
    auto* build = ddf->add_subcommand("build", "Build a whole database into DIR from a JSON description");
    build->add_option("DIR", dir)->required();
    build->add_option("--from", from, "Database description (JSON)")->required();
    auto* show = ddf->add_subcommand("show", "Show tables, columns, indexes, names and data-file keys");
    show->add_option("DIR", dir)->required();
    show->add_option("--table", table, "Only this table");
    show->add_flag("--json", json, "Print the description as JSON (the shape ddf build reads)");

    std::string src, dest;
    auto* import = app.add_subcommand("import",
        "Convert files written by a real Btrieve 5.x or 6.x engine (a file, or a database directory) into engine files");
    import->add_option("SRC", src, "A real file, or a directory with FILE.DDF, FIELD.DDF, INDEX.DDF and data files")
        ->required();
    import->add_option("DEST", dest, "Where the converted files go (a directory, or a file name for one file)")
        ->required();

    auto* demo = app.add_subcommand("demo", "Build the demo database into DIR");
    demo->add_option("DIR", dir)->required();

    CLI11_PARSE(app, argc, argv);
    try {
        if (create->parsed()) {
            createEngineFile(file, specFromJson(readJsonFile(spec)), overwrite);
        } else if (stat->parsed()) {
            EngineFile f(file, owner);
            Bytes s = f.stat();
            if (json) std::cout << specToJson(s, true).dump(2) << "\n";
            else std::cout << statText(file, s);
        } else if (load->parsed()) {
            return cmdLoad(file, records, owner);
        } else if (dump->parsed()) {
            return cmdDump(file, key, json, owner);
        } else if (check->parsed()) {
            return cmdCheck(file, owner);
        } else if (setOwner->parsed()) {
            if (name.empty() || name.size() > 8) throw InputError("an owner name has 1 to 8 characters");
            EngineFile f(file, owner);
            f.setOwner(name, mode);
        } else if (clearOwner->parsed()) {
            EngineFile f(file, owner);
            f.clearOwner();
        } else if (init->parsed()) {
            ddfInit(dir);
        } else if (build->parsed()) {
            ddfBuild(dir, readJsonFile(from));
        } else if (show->parsed()) {
            ordered_json d = ddfDescribe(dir, table, owner);
            if (json) std::cout << d.dump(2) << "\n";
            else std::cout << ddfShowText(d);
        } else if (import->parsed()) {
            return importDatabase(src, dest);
        } else if (demo->parsed()) {
            fs::create_directories(dir);
            ddfBuild(dir, demoDescription());
            std::cout << "Demo database written to " << dir << "\n";
        }
    } catch (const std::exception& e) {
        std::cerr << "korvane-db: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

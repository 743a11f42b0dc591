// Dictionary building and showing.
//  build: 1. read and check the whole description, assigning table and
//            column ids (as given, or one past the highest so far);
//         2. create the dictionary files and data files and insert their
//            rows, through the engine;
//         3. on any failure, remove every file this build created.
//  describe: walk FILE.DDF by name, then each table's columns (FIELD.DDF
//            key 1), index records (INDEX.DDF key 0) and data-file keys.
#include "ddf.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <strings.h>

#include "btrcall.h"
#include "dictionary_layout.h"

namespace kdb {

namespace fs = std::filesystem;

namespace {

const char* const kFileDdf = "FILE.DDF";
const char* const kFieldDdf = "FIELD.DDF";
const char* const kIndexDdf = "INDEX.DDF";

ordered_json seg(int position, int length, const char* type = nullptr, ordered_json flags = nullptr) {
    ordered_json s = ordered_json::object();
    s["position"] = position;
    s["length"] = length;
    if (type) s["type"] = type;
    if (!flags.is_null()) s["flags"] = flags;
    return s;
}

ordered_json key(const ordered_json& flags, const ordered_json& segments) {
    ordered_json k = ordered_json::object();
    k["flags"] = flags;
    k["segments"] = segments;
    return k;
}

// The standard key layouts of the three dictionary files.
ordered_json dictionarySpec(const std::string& which, bool fieldKey4) {
    ordered_json keys = ordered_json::array();
    ordered_json unique = jsonArray({"modifiable"});
    ordered_json dups = jsonArray({"duplicates", "modifiable"});
    ordered_json ci = jsonArray({"case-insensitive"});
    int length = 0;
    if (which == kFileDdf) {
        length = kFileRecordLength;
        keys.push_back(key(unique, jsonArray({seg(1, 2, "unsigned")})));
        keys.push_back(key(unique, jsonArray({seg(3, 20, nullptr, ci)})));
    } else if (which == kFieldDdf) {
        length = kFieldRecordLength;
        keys.push_back(key(unique, jsonArray({seg(1, 2, "unsigned")})));
        keys.push_back(key(dups, jsonArray({seg(3, 2, "unsigned")})));
        keys.push_back(key(dups, jsonArray({seg(5, 20, nullptr, ci)})));
        keys.push_back(key(unique, jsonArray({seg(3, 2, "unsigned"), seg(5, 20, nullptr, ci)})));
        if (fieldKey4)
            keys.push_back(key(dups, jsonArray({seg(3, 2, "unsigned"), seg(26, 2, "unsigned"), seg(30, 1, "unsigned")})));
    } else {
        length = kIndexRecordLength;
        keys.push_back(key(dups, jsonArray({seg(1, 2, "unsigned")})));
        keys.push_back(key(dups, jsonArray({seg(3, 2, "unsigned")})));
        keys.push_back(key(unique, jsonArray({seg(1, 2, "unsigned"), seg(5, 2, "unsigned"), seg(7, 2, "unsigned")})));
    }
    ordered_json spec = ordered_json::object();
    spec["recordLength"] = length;
    spec["pageSize"] = 1024;
    spec["keys"] = keys;
    return spec;
}

struct DataFile {
    std::string location;
    Bytes spec;
    std::vector<Bytes> records;
};

struct Plan {
    std::vector<FileRow> files;
    std::vector<FieldRow> fields;
    std::vector<IndexRow> indexes;
    std::vector<DataFile> data;
    std::set<std::string> omit;
    bool fieldKey4 = true;
    std::string owner;
};

// Index records that describe every key of a spec over the columns that
// start at each segment's position.
void describeKeys(Plan& plan, uint16_t fileId, const ordered_json& spec) {
    Bytes buf = specFromJson(spec);
    unsigned keyCount = get16(buf, 4);
    size_t off = 16;
    for (unsigned k = 0; k < keyCount; ++k) {
        for (uint16_t part = 0;; ++part, off += 16) {
            uint16_t position = get16(buf, off);
            uint16_t flags = get16(buf, off + 4);
            for (const FieldRow& f : plan.fields)
                if (f.file == fileId && f.offset == position - 1 && f.type != 255)
                    plan.indexes.push_back({fileId, f.id, static_cast<uint16_t>(k), part, indexFlagsFor(flags)});
            if (!(flags & 0x0010)) {
                off += 16;
                break;
            }
        }
    }
}

void addSystemRows(Plan& plan) {
    struct Col {
        const char* name;
        uint8_t type;
        uint16_t offset, size;
    };
    const std::vector<std::pair<FileRow, std::vector<Col>>> tables = {
        {{1, "X$File", kFileDdf, 16},
         {{"Xf$Id", 1, 0, 2}, {"Xf$Name", 0, 2, 20}, {"Xf$Loc", 0, 22, 64}, {"Xf$Flags", 1, 86, 1}, {"Xf$Reserved", 0, 87, 10}}},
        {{2, "X$Field", kFieldDdf, 16},
         {{"Xe$Id", 1, 0, 2}, {"Xe$File", 1, 2, 2}, {"Xe$Name", 0, 4, 20}, {"Xe$DataType", 1, 24, 1},
          {"Xe$Offset", 1, 25, 2}, {"Xe$Size", 1, 27, 2}, {"Xe$Dec", 1, 29, 1}, {"Xe$Flags", 1, 30, 2}}},
        {{3, "X$Index", kIndexDdf, 16},
         {{"Xi$File", 1, 0, 2}, {"Xi$Field", 1, 2, 2}, {"Xi$Number", 1, 4, 2}, {"Xi$Part", 1, 6, 2}, {"Xi$Flags", 1, 8, 2}}},
    };
    uint16_t id = 1;
    for (const auto& [file, cols] : tables) {
        plan.files.push_back(file);
        for (const Col& c : cols) plan.fields.push_back({id++, file.id, c.name, c.type, c.offset, c.size, 0, 0});
        describeKeys(plan, file.id, dictionarySpec(file.location, plan.fieldKey4));
    }
}

std::string text(const ordered_json& j, const char* field, size_t width, const std::string& where, bool required = true) {
    if (!j.contains(field)) {
        if (required) throw InputError(where + ": \"" + field + "\" is required");
        return std::string();
    }
    if (!j.at(field).is_string()) throw InputError(where + ": \"" + field + "\" must be text");
    std::string s = j.at(field).get<std::string>();
    if (s.size() > width)
        throw InputError(where + ": \"" + field + "\" is longer than " + std::to_string(width) + " characters");
    return s;
}

template <typename T>
T whole(const ordered_json& j, const char* field, T fallback, const std::string& where) {
    if (!j.contains(field)) return fallback;
    if (!j.at(field).is_number_integer()) throw InputError(where + ": \"" + field + "\" must be a whole number");
    long long v = j.at(field).get<long long>();
    if (v < 0 || v > static_cast<long long>(std::numeric_limits<T>::max()))
        throw InputError(where + ": \"" + field + "\" is out of range");
    return static_cast<T>(v);
}

uint8_t columnType(const ordered_json& j, const std::string& where) {
    if (!j.contains("type")) return 0;
    const auto& t = j.at("type");
    int code = t.is_number_integer() ? t.get<int>() : (t.is_string() ? typeCode(t.get<std::string>()) : -1);
    if (code < 0 || code > 255) throw InputError(where + ": unknown type " + t.dump());
    return static_cast<uint8_t>(code);
}

Plan planFrom(const ordered_json& db) {
    if (!db.is_object()) throw InputError("the database description must be a JSON object");
    Plan plan;
    for (const auto& name : db.value("omit", ordered_json::array())) plan.omit.insert(name.get<std::string>());
    plan.fieldKey4 = db.value("fieldKey4", true);
    plan.owner = db.value("owner", std::string());
    if (plan.owner.size() > 8) throw InputError("\"owner\" is longer than 8 characters");
    if (db.value("system", true)) addSystemRows(plan);

    auto nextTableId = [&] {
        uint16_t m = 0;
        for (const FileRow& f : plan.files) m = std::max(m, f.id);
        return static_cast<uint16_t>(m + 1);
    };
    auto nextFieldId = [&] {
        uint16_t m = 0;
        for (const FieldRow& f : plan.fields) m = std::max(m, f.id);
        return static_cast<uint16_t>(m + 1);
    };
    for (const auto& t : db.value("tables", ordered_json::array())) {
        FileRow file;
        std::string where = "table " + t.value("name", std::string("?"));
        file.name = text(t, "name", kNameWidth, where);
        file.id = whole<uint16_t>(t, "id", nextTableId(), where);
        file.location = text(t, "location", kLocWidth, where, false);
        file.flags = whole<uint8_t>(t, "flags", 0, where);
        plan.files.push_back(file);
        std::map<std::string, uint16_t> columnIds;
        for (const auto& c : t.value("columns", ordered_json::array())) {
            FieldRow f;
            std::string cw = where + " column " + c.value("name", std::string("?"));
            f.name = text(c, "name", kNameWidth, cw);
            f.id = whole<uint16_t>(c, "id", nextFieldId(), cw);
            f.file = file.id;
            f.type = columnType(c, cw);
            f.offset = whole<uint16_t>(c, "offset", 0, cw);
            f.size = whole<uint16_t>(c, "size", 0, cw);
            f.dec = whole<uint8_t>(c, "dec", 0, cw);
            f.flags = whole<uint16_t>(c, "flags", 0, cw);
            columnIds[f.name] = f.id;
            plan.fields.push_back(f);
        }
        for (const auto& n : t.value("indexNames", ordered_json::array())) {
            FieldRow f;
            std::string nw = where + " index name";
            f.name = text(n, "name", kNameWidth, nw);
            f.id = whole<uint16_t>(n, "id", nextFieldId(), nw);
            f.file = file.id;
            f.type = n.contains("type") ? whole<uint8_t>(n, "type", 255, nw) : 255;
            f.offset = whole<uint16_t>(n, "number", 0, nw);
            plan.fields.push_back(f);
        }
        for (const auto& x : t.value("indexes", ordered_json::array())) {
            IndexRow r;
            std::string xw = where + " index record";
            r.file = file.id;
            if (x.contains("column")) {
                std::string name = x.at("column").get<std::string>();
                auto it = columnIds.find(name);
                if (it == columnIds.end()) throw InputError(xw + ": no column \"" + name + "\"");
                r.field = it->second;
            } else {
                r.field = whole<uint16_t>(x, "field", 0, xw);
            }
            r.number = whole<uint16_t>(x, "number", 0, xw);
            r.part = whole<uint16_t>(x, "part", 0, xw);
            r.flags = whole<uint16_t>(x, "flags", 0, xw);
            plan.indexes.push_back(r);
        }
        if (t.contains("file") && !t.at("file").is_null()) {
            if (file.location.empty()) throw InputError(where + ": a data file needs a \"location\"");
            DataFile d;
            d.location = file.location;
            try {
                d.spec = specFromJson(t.at("file"));
                for (const auto& r : t.at("file").value("records", ordered_json::array()))
                    d.records.push_back(fromHex(r.get<std::string>()));
            } catch (const InputError& e) {
                throw InputError(where + " data file: " + e.what());
            }
            plan.data.push_back(std::move(d));
        }
    }
    return plan;
}

// Files written by one build, removed again if the build fails.
struct Written {
    std::vector<std::string> paths;
    bool keep = false;
    ~Written() {
        if (keep) return;
        resetEngine();
        for (const std::string& p : paths)
            for (const char* suffix : {"", "-wal", "-shm"}) {
                std::error_code ec;
                fs::remove(p + suffix, ec);
            }
    }
};

std::string enginePath(const std::string& dir, const std::string& location) {
    std::string loc = location;
    std::replace(loc.begin(), loc.end(), '\\', '/');
    fs::path p = fs::path(loc).is_absolute() ? fs::path(loc) : fs::path(dir) / loc;
    return p.string();
}

void writeFile(Written& written, const std::string& path, const Bytes& spec, const std::vector<Bytes>& rows,
               const std::string& owner, const std::string& shownName) {
    fs::create_directories(fs::path(path).parent_path());
    if (fs::exists(path)) throw InputError(shownName + ": already exists");
    try {
        createEngineFile(path, spec, false);
        written.paths.push_back(path);
        EngineFile f(path);
        for (const Bytes& r : rows) {
            int st = f.insert(r);
            if (st) throw EngineError(shownName, st);
        }
        if (!owner.empty()) f.setOwner(owner, 0);
    } catch (const EngineError& e) {
        if (std::string(e.what()).rfind(shownName, 0) == 0) throw;
        throw EngineError(shownName, e.status);
    }
}

// Runs the rest of a call with the working directory set to dir, as the
// repair tool runs: data-file locations resolve relative to it.
struct InDirectory {
    fs::path before;
    explicit InDirectory(const std::string& dir) : before(fs::current_path()) {
        std::error_code ec;
        fs::current_path(dir, ec);
        if (ec) throw InputError(dir + ": no such directory");
    }
    ~InDirectory() {
        std::error_code ec;
        fs::current_path(before, ec);
    }
};

bool isSystemTable(const std::string& name) {
    return name.size() >= 2 && (name[0] == 'X' || name[0] == 'x') && name[1] == '$';
}

}  // namespace

void ddfBuild(const std::string& dir, const ordered_json& db) {
    Plan plan = planFrom(db);
    if (!fs::is_directory(dir)) throw InputError(dir + ": no such directory");
    Written written;
    auto rows = [](const auto& list, auto encode) {
        std::vector<Bytes> out;
        for (const auto& r : list) out.push_back(encode(r));
        return out;
    };
    const std::pair<const char*, std::vector<Bytes>> dictionaries[] = {
        {kFileDdf, rows(plan.files, encodeFileRow)},
        {kFieldDdf, rows(plan.fields, encodeFieldRow)},
        {kIndexDdf, rows(plan.indexes, encodeIndexRow)},
    };
    for (const auto& [name, list] : dictionaries) {
        if (plan.omit.count(name)) continue;
        writeFile(written, enginePath(dir, name), specFromJson(dictionarySpec(name, plan.fieldKey4)), list, plan.owner,
                  name);
    }
    for (const DataFile& d : plan.data)
        writeFile(written, enginePath(dir, d.location), d.spec, d.records, plan.owner, d.location);
    written.keep = true;
}

void ddfInit(const std::string& dir) { ddfBuild(dir, ordered_json::object()); }

ordered_json ddfDescribe(const std::string& dir, const std::string& only, const std::string& owner) {
    InDirectory in(dir);
    EngineFile files(kFileDdf, owner);
    EngineFile fields(kFieldDdf, owner);
    EngineFile indexes(kIndexDdf, owner);
    ordered_json out;
    out["system"] = false;
    ordered_json tables = ordered_json::array();
    Bytes rec, k;
    bool found = only.empty();
    for (int st = files.get(KV_OP_GET_FIRST, 1, rec, k); st == 0; st = files.get(KV_OP_GET_NEXT, 1, rec, k)) {
        FileRow file = decodeFileRow(rec);
        if (isSystemTable(file.name)) {
            out["system"] = true;
            continue;
        }
        if (!only.empty() && strcasecmp(only.c_str(), file.name.c_str()) != 0) continue;
        found = true;
        ordered_json t = {{"id", file.id}, {"name", file.name}, {"location", file.location}, {"flags", file.flags}};
        ordered_json columns = ordered_json::array(), names = ordered_json::array();
        std::map<uint16_t, std::string> columnNames;
        Bytes fk(255, 0);
        put16(fk, 0, file.id);
        for (int s = fields.get(KV_OP_GET_EQUAL, 1, rec, fk); s == 0; s = fields.get(KV_OP_GET_NEXT, 1, rec, fk)) {
            FieldRow f = decodeFieldRow(rec);
            if (f.file != file.id) break;
            if (f.type == 255 || f.type == 227) {
                ordered_json n = {{"id", f.id}, {"number", f.offset}, {"name", f.name}};
                if (f.type != 255) n["type"] = f.type;
                names.push_back(n);
                continue;
            }
            columnNames[f.id] = f.name;
            columns.push_back({{"id", f.id}, {"name", f.name}, {"type", typeName(f.type)}, {"offset", f.offset},
                               {"size", f.size}, {"dec", f.dec}, {"flags", f.flags}});
        }
        t["columns"] = columns;
        ordered_json records = ordered_json::array();
        Bytes ik(255, 0);
        put16(ik, 0, file.id);
        for (int s = indexes.get(KV_OP_GET_EQUAL, 0, rec, ik); s == 0; s = indexes.get(KV_OP_GET_NEXT, 0, rec, ik)) {
            IndexRow r = decodeIndexRow(rec);
            if (r.file != file.id) break;
            ordered_json x;
            x["number"] = r.number;
            x["part"] = r.part;
            if (columnNames.count(r.field)) x["column"] = columnNames[r.field];
            else x["field"] = r.field;
            x["flags"] = r.flags;
            records.push_back(x);
        }
        t["indexes"] = records;
        t["indexNames"] = names;
        if (!file.location.empty()) {
            try {
                EngineFile data(file.location, owner);
                Bytes stat = data.stat();
                ordered_json spec = specToJson(stat, false);
                ordered_json rows = ordered_json::array();
                if (!spec["keys"].empty()) {
                    int8_t first = static_cast<int8_t>(spec["keys"][0]["number"].get<int>());
                    for (int s = data.get(KV_OP_GET_FIRST, first, rec, k); s == 0; s = data.get(KV_OP_GET_NEXT, first, rec, k))
                        rows.push_back(toHex(rec.data(), rec.size()));
                }
                spec["records"] = rows;
                t["file"] = spec;
            } catch (const EngineError& e) {
                if (e.status != KV_STATUS_FILE_NOT_FOUND) t["fileError"] = e.what();
            }
        }
        tables.push_back(t);
    }
    if (!found) throw InputError("table " + only + " is not in FILE.DDF");
    out["tables"] = tables;
    return out;
}

std::string ddfShowText(const ordered_json& d) {
    std::string out;
    char line[256];
    for (const auto& t : d["tables"]) {
        std::string loc = t["location"].get<std::string>();
        std::snprintf(line, sizeof line, "Table %s (id %d), data file %s\n", t["name"].get<std::string>().c_str(),
                      t["id"].get<int>(), loc.empty() ? "(none)" : loc.c_str());
        out += line;
        out += "  Columns:\n";
        if (t["columns"].empty()) out += "    (none)\n";
        else out += "       id  name                  type          offset   size  dec\n";
        for (const auto& c : t["columns"]) {
            std::snprintf(line, sizeof line, "    %5d  %-20s  %-12s  %6d  %5d  %3d\n", c["id"].get<int>(),
                          c["name"].get<std::string>().c_str(), c["type"].get<std::string>().c_str(),
                          c["offset"].get<int>(), c["size"].get<int>(), c["dec"].get<int>());
            out += line;
        }
        out += "  Indexes in INDEX.DDF:\n";
        std::map<int, std::vector<ordered_json>> byNumber;
        for (const auto& x : t["indexes"]) byNumber[x["number"].get<int>()].push_back(x);
        std::map<int, std::string> names;
        for (const auto& n : t["indexNames"]) {
            std::string& joined = names[n["number"].get<int>()];
            joined += (joined.empty() ? "" : "\", \"") + n["name"].get<std::string>();
        }
        if (byNumber.empty()) out += "    (none)\n";
        for (const auto& [number, parts] : byNumber) {
            std::string head = "    index " + std::to_string(number);
            if (names.count(number)) head += " named \"" + names[number] + "\"";
            out += head + ":";
            for (const auto& p : parts)
                out += " " + (p.contains("column") ? p["column"].get<std::string>() : "#" + std::to_string(p["field"].get<int>()));
            out += "\n";
            for (const auto& p : parts) {
                std::snprintf(line, sizeof line, "      part %d  flags 0x%04x\n", p["part"].get<int>(), p["flags"].get<int>());
                out += line;
            }
        }
        for (const auto& [number, name] : names)
            if (!byNumber.count(number)) out += "    name \"" + name + "\" for index " + std::to_string(number) + ", which has no records\n";
        if (t.contains("fileError")) {
            out += "  Data file: " + t["fileError"].get<std::string>() + "\n";
        } else if (!t.contains("file")) {
            out += "  Data file: not found\n";
        } else {
            const auto& f = t["file"];
            std::snprintf(line, sizeof line, "  Keys of the data file (record length %d, %zu records):\n",
                          f["recordLength"].get<int>(), f["records"].size());
            out += line;
            if (f["keys"].empty()) out += "    (none)\n";
            for (const auto& k : f["keys"]) {
                int number = k["number"].get<int>();
                std::string segs;
                for (const auto& s : k["segments"]) {
                    if (!segs.empty()) segs += " + ";
                    segs += std::to_string(s["position"].get<int>()) + ":" + std::to_string(s["length"].get<int>());
                    if (s.contains("type")) segs += " " + s["type"].get<std::string>();
                }
                std::snprintf(line, sizeof line, "    key %d  %-44s %s\n", number, segs.c_str(),
                              byNumber.count(number) ? "described" : "NOT IN INDEX.DDF");
                out += line;
            }
        }
        out += "\n";
    }
    return out;
}

}  // namespace kdb

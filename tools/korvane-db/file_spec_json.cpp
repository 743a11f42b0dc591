#include "file_spec_json.h"

#include <fstream>
#include <sstream>

namespace kdb {

namespace {

struct Named {
    int code;
    const char* name;
};

const Named kTypes[] = {
    {0, "string"},   {1, "integer"},  {2, "float"},    {3, "date"},       {4, "time"},
    {5, "decimal"},  {6, "money"},    {7, "logical"},  {8, "numeric"},    {9, "bfloat"},
    {10, "lstring"}, {11, "zstring"}, {12, "note"},    {13, "lvar"},      {14, "unsigned"},
    {15, "autoinc"}, {16, "bit"},     {17, "numericsts"}, {19, "currency"}, {20, "timestamp"},
    {227, "named-index-227"}, {255, "index-name"},
};

const Named kKeyFlags[] = {
    {0x0001, "duplicates"}, {0x0002, "modifiable"}, {0x0004, "binary"},   {0x0008, "null"},
    {0x0010, "segmented"},  {0x0020, "acs"},        {0x0040, "descending"}, {0x0080, "repeating-duplicates"},
    {0x0100, "extended"},   {0x0200, "manual"},     {0x0400, "case-insensitive"},
};

uint16_t flagsFrom(const ordered_json& j, const std::string& where) {
    uint16_t flags = 0;
    if (j.is_null()) return 0;
    if (j.is_number_unsigned()) return j.get<uint16_t>();
    if (!j.is_array()) throw InputError(where + ": flags must be a list of names or a number");
    for (const auto& item : j) {
        std::string name = item.get<std::string>();
        bool found = false;
        for (const Named& f : kKeyFlags)
            if (name == f.name) {
                flags |= static_cast<uint16_t>(f.code);
                found = true;
            }
        if (!found) throw InputError(where + ": unknown key flag \"" + name + "\"");
    }
    return flags;
}

template <typename T>
T number(const ordered_json& j, const char* field, T fallback, const std::string& where) {
    if (!j.contains(field)) return fallback;
    const auto& v = j.at(field);
    if (!v.is_number_integer()) throw InputError(where + ": \"" + field + "\" must be a whole number");
    long long n = v.get<long long>();
    if (n < static_cast<long long>(std::numeric_limits<T>::min()) || n > static_cast<long long>(std::numeric_limits<T>::max()))
        throw InputError(where + ": \"" + field + "\" is out of range");
    return static_cast<T>(n);
}

void put16(Bytes& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
uint16_t get16(const Bytes& b, size_t at) { return at + 1 < b.size() ? static_cast<uint16_t>(b[at] | b[at + 1] << 8) : 0; }
uint32_t get32(const Bytes& b, size_t at) { return get16(b, at) | static_cast<uint32_t>(get16(b, at + 2)) << 16; }

}  // namespace

ordered_json jsonArray(std::initializer_list<ordered_json> items) {
    ordered_json a = ordered_json::array();
    for (const ordered_json& i : items) a.push_back(i);
    return a;
}

int typeCode(const std::string& name) {
    for (const Named& t : kTypes)
        if (name == t.name) return t.code;
    return -1;
}

std::string typeName(int code) {
    for (const Named& t : kTypes)
        if (code == t.code) return t.name;
    return std::to_string(code);
}

std::string keyFlagNames(uint16_t flags) {
    std::string out;
    for (const Named& f : kKeyFlags)
        if (flags & f.code) out += (out.empty() ? "" : "|") + std::string(f.name);
    uint16_t known = 0;
    for (const Named& f : kKeyFlags) known |= static_cast<uint16_t>(f.code);
    if (flags & ~known) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%04x", flags & ~known);
        out += (out.empty() ? "" : "|") + std::string(buf);
    }
    return out.empty() ? "none" : out;
}

std::string toHex(const uint8_t* p, size_t n) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    out.reserve(2 * n);
    for (size_t i = 0; i < n; ++i) {
        out.push_back(digits[p[i] >> 4]);
        out.push_back(digits[p[i] & 15]);
    }
    return out;
}

Bytes fromHex(const std::string& hex) {
    auto val = [&](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        throw InputError("not a hex digit: '" + std::string(1, c) + "'");
    };
    std::string clean;
    for (char c : hex)
        if (c != ' ') clean.push_back(c);
    if (clean.size() % 2) throw InputError("hex text has an odd number of digits");
    Bytes out(clean.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(val(clean[2 * i]) << 4 | val(clean[2 * i + 1]));
    return out;
}

Bytes specFromJson(const ordered_json& spec) {
    if (!spec.is_object()) throw InputError("a file spec must be a JSON object");
    Bytes b(16, 0);
    uint16_t recordLength = number<uint16_t>(spec, "recordLength", 0, "spec");
    if (recordLength == 0) throw InputError("spec: \"recordLength\" is required");
    put16(b, 0, recordLength);
    put16(b, 2, number<uint16_t>(spec, "pageSize", 1024, "spec"));
    uint16_t fileFlags = number<uint16_t>(spec, "fileFlags", 0, "spec");
    if (spec.value("variable", false)) fileFlags |= 0x0001;
    const ordered_json keys = spec.value("keys", ordered_json::array());
    put16(b, 4, static_cast<uint16_t>(keys.size()));
    for (size_t k = 0; k < keys.size(); ++k) {
        std::string where = "key " + std::to_string(k);
        const auto& key = keys[k];
        uint8_t keyNumber = number<uint8_t>(key, "number", static_cast<uint8_t>(k), where);
        if (keyNumber != k) fileFlags |= 0x0400;
        uint16_t keyFlags = flagsFrom(key.value("flags", ordered_json()), where);
        const auto& segs = key.value("segments", ordered_json::array());
        if (segs.empty()) throw InputError(where + ": a key needs at least one segment");
        for (size_t i = 0; i < segs.size(); ++i) {
            const auto& s = segs[i];
            std::string sw = where + " segment " + std::to_string(i);
            uint16_t flags = static_cast<uint16_t>(keyFlags | flagsFrom(s.value("flags", ordered_json()), sw));
            uint8_t type = 0;
            if (s.contains("type")) {
                const auto& t = s.at("type");
                int code = t.is_number_integer() ? t.get<int>() : typeCode(t.get<std::string>());
                if (code < 0 || code > 255) throw InputError(sw + ": unknown type " + t.dump());
                type = static_cast<uint8_t>(code);
                flags |= 0x0100;
            }
            if (i + 1 < segs.size()) flags |= 0x0010;
            else flags &= static_cast<uint16_t>(~0x0010);
            size_t at = b.size();
            b.resize(at + 16, 0);
            uint16_t position = number<uint16_t>(s, "position", 0, sw);
            uint16_t length = number<uint16_t>(s, "length", 0, sw);
            if (position == 0 || length == 0) throw InputError(sw + ": \"position\" and \"length\" are required");
            if (position + length - 1 > recordLength)
                throw InputError(sw + ": bytes " + std::to_string(position) + " to " +
                                 std::to_string(position + length - 1) + " lie outside the " +
                                 std::to_string(recordLength) + "-byte record");
            put16(b, at, position);
            put16(b, at + 2, length);
            put16(b, at + 4, flags);
            b[at + 10] = type;
            b[at + 11] = number<uint8_t>(s, "null", 0, sw);
            b[at + 14] = keyNumber;
            b[at + 15] = number<uint8_t>(s, "acs", 0, sw);
        }
    }
    put16(b, 10, fileFlags);
    for (const auto& table : spec.value("acs", ordered_json::array())) {
        Bytes t(265, 0);
        t[0] = 0xAC;
        std::string name = table.value("name", std::string("ACS"));
        for (size_t i = 0; i < 8; ++i) t[1 + i] = i < name.size() ? static_cast<uint8_t>(name[i]) : ' ';
        Bytes map = fromHex(table.value("table", std::string()));
        if (map.size() != 256) throw InputError("acs \"" + name + "\": the table must be 256 bytes (512 hex digits)");
        std::copy(map.begin(), map.end(), t.begin() + 9);
        b.insert(b.end(), t.begin(), t.end());
    }
    return b;
}

ordered_json specToJson(const Bytes& stat, bool withCounts) {
    ordered_json j;
    j["recordLength"] = get16(stat, 0);
    j["pageSize"] = get16(stat, 2);
    uint16_t fileFlags = get16(stat, 10);
    j["variable"] = (fileFlags & 0x0001) != 0;
    if (withCounts) j["records"] = get32(stat, 6);
    unsigned keyCount = get16(stat, 4);
    ordered_json keys = ordered_json::array();
    size_t off = 16;
    unsigned acsCount = 0;
    for (unsigned k = 0; k < keyCount && off + 16 <= stat.size(); ++k) {
        ordered_json key;
        key["number"] = stat[off + 14];
        uint16_t keyWide = get16(stat, off + 4) & (0x0001 | 0x0002 | 0x0008 | 0x0080);
        ordered_json keyFlags = ordered_json::array();
        for (const Named& f : kKeyFlags)
            if (keyWide & f.code) keyFlags.push_back(f.name);
        key["flags"] = keyFlags;
        if (withCounts) key["distinct"] = get32(stat, off + 6);
        ordered_json segs = ordered_json::array();
        for (;;) {
            if (off + 16 > stat.size()) break;
            uint16_t flags = get16(stat, off + 4);
            ordered_json s;
            s["position"] = get16(stat, off);
            s["length"] = get16(stat, off + 2);
            if (flags & 0x0100) s["type"] = typeName(stat[off + 10]);
            ordered_json segFlags = ordered_json::array();
            uint16_t own = flags & static_cast<uint16_t>(~(keyWide | 0x0010 | 0x0100));
            for (const Named& f : kKeyFlags)
                if (own & f.code) segFlags.push_back(f.name);
            if (!segFlags.empty()) s["flags"] = segFlags;
            if (stat[off + 11] || (flags & (0x0008 | 0x0200))) s["null"] = stat[off + 11];
            if (flags & 0x0020) {
                s["acs"] = stat[off + 15];
                acsCount = std::max<unsigned>(acsCount, stat[off + 15] + 1u);
            }
            segs.push_back(s);
            off += 16;
            if (!(flags & 0x0010)) break;
        }
        key["segments"] = segs;
        keys.push_back(key);
    }
    j["keys"] = keys;
    if (acsCount) {
        ordered_json acs = ordered_json::array();
        for (unsigned a = 0; a < acsCount && off + 265 <= stat.size(); ++a, off += 265) {
            std::string name(reinterpret_cast<const char*>(&stat[off + 1]), 8);
            while (!name.empty() && name.back() == ' ') name.pop_back();
            acs.push_back({{"name", name}, {"table", toHex(&stat[off + 9], 256)}});
        }
        j["acs"] = acs;
    }
    return j;
}

ordered_json readJsonFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw InputError(path + ": cannot be read");
    std::stringstream text;
    text << in.rdbuf();
    std::string s = text.str();
    try {
        return ordered_json::parse(s);
    } catch (const ordered_json::parse_error& e) {
        // Turn the byte offset into a line and a column.
        size_t at = e.byte == 0 ? 0 : e.byte - 1;
        size_t line = 1, col = 1;
        for (size_t i = 0; i < at && i < s.size(); ++i) {
            if (s[i] == '\n') {
                ++line;
                col = 1;
            } else {
                ++col;
            }
        }
        std::string what = e.what();
        size_t colon = what.rfind(": ");
        throw InputError(path + ":" + std::to_string(line) + ":" + std::to_string(col) + ": malformed JSON: " +
                         (colon == std::string::npos ? what : what.substr(colon + 2)));
    }
}

}  // namespace kdb

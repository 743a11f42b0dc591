// Engine file specifications as JSON: the Create buffer built from a JSON
// description, and a Stat result described back in the same shape.
//
// {"recordLength": 97, "pageSize": 1024, "variable": false,
//  "keys": [{"number": 0, "flags": ["duplicates", "modifiable"],
//            "segments": [{"position": 1, "length": 2, "type": "unsigned",
//                          "flags": ["descending"], "null": 0, "acs": 0}]}],
//  "acs": [{"name": "UPPER", "table": "<512 hex digits>"}]}
#ifndef KORVANE_DB_FILE_SPEC_JSON_H
#define KORVANE_DB_FILE_SPEC_JSON_H

#include <nlohmann/json.hpp>

#include "engine_client.h"

namespace kdb {

using nlohmann::ordered_json;

// A JSON array of the given items. A one-element brace list would be read
// as a copy of its element by some compilers and as an array by others, so
// arrays are always built with this.
ordered_json jsonArray(std::initializer_list<ordered_json> items);

// Create buffer from a JSON spec; throws InputError naming what is wrong.
Bytes specFromJson(const ordered_json& spec);

// JSON spec from a Stat result (with "records" count and per-key
// "distinct" counts when withCounts).
ordered_json specToJson(const Bytes& stat, bool withCounts);

// Key-type names ("string", "integer", ...) and codes; -1 when unknown.
int typeCode(const std::string& name);
std::string typeName(int code);

// Key-flag names joined by '|', e.g. "duplicates|modifiable".
std::string keyFlagNames(uint16_t flags);

std::string toHex(const uint8_t* p, size_t n);
Bytes fromHex(const std::string& hex);  // throws InputError

// Reads a JSON file; a syntax error names the line and column.
ordered_json readJsonFile(const std::string& path);

}  // namespace kdb

#endif

// Whole dictionaries: FILE.DDF, FIELD.DDF and INDEX.DDF built from one JSON
// description, and shown back as text or in the same JSON shape.
#ifndef KORVANE_DB_DDF_H
#define KORVANE_DB_DDF_H

#include <string>

#include "file_spec_json.h"

namespace kdb {

// Writes the three standard dictionaries into dir, with their own rows.
void ddfInit(const std::string& dir);

// Builds a whole database into dir from a description; on failure nothing
// it created is left behind. Throws InputError or EngineError.
void ddfBuild(const std::string& dir, const ordered_json& db);

// The dictionary in dir as the description ddfBuild takes (plus what the
// data files' Stat says); table empty for all user tables.
ordered_json ddfDescribe(const std::string& dir, const std::string& table, const std::string& owner);

// The same as text for a person, 80 columns wide.
std::string ddfShowText(const ordered_json& described);

// The description of the demo database.
ordered_json demoDescription();

}  // namespace kdb

#endif

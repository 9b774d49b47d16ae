// `marovex state show FILE [--json]`: the entries of a saved state file.
#include <algorithm>

#include <fmt/core.h>
#include <nlohmann/json.hpp>

#include "CliError.h"
#include "Commands.h"
#include "StateFile.h"
#include "Text.h"

namespace marovex::cli {

namespace {

std::string Printable(const std::string& text) { return EscapeText(text); }

std::string ValueText(const StateEntry& e) {
    if (e.type == 'r') return Printable(e.text);
    if (e.type == 'l' || e.type == 's') return fmt::format("{}", int64_t(e.number));
    return fmt::format("{}", e.number);  // shortest text that reads back as the same double
}

}  // namespace

int RunStateShow(const StateShowOptions& options) {
    StateRecord record;
    try {
        record = ParseStateRecord(ReadWholeFile(options.file, kMaxStateFileBytes));
    } catch (const CliError& e) {
        throw Failure("'" + options.file + "': " + e.what());
    }
    if (options.json) {
        nlohmann::ordered_json json;
        json["chunkType"] = FourCharText(record.chunkType);
        json["name"] = record.name;
        json["version"] = record.version;
        json["dataSize"] = record.dataSize;
        nlohmann::ordered_json entries = nlohmann::ordered_json::array();
        for (const StateEntry& e : record.entries) {
            nlohmann::ordered_json entry = {{"id", e.identifier}, {"type", StateTypeName(e.type)}};
            if (e.type == 'r') entry["value"] = e.text;
            else if (e.type == 'l' || e.type == 's') entry["value"] = int64_t(e.number);
            else entry["value"] = e.number;
            entries.push_back(entry);
        }
        json["entries"] = entries;
        fmt::print("{}\n", json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
        return kExitSuccess;
    }
    fmt::print("chunk '{}' \"{}\", version {}, {} data bytes, {} entries\n", FourCharText(record.chunkType), Printable(record.name),
               record.version, record.dataSize, record.entries.size());
    size_t width = 10;
    for (const StateEntry& e : record.entries) width = std::max(width, e.identifier.size());
    fmt::print("{:<{}}  {:<6}  {}\n", "IDENTIFIER", width, "TYPE", "VALUE");
    for (const StateEntry& e : record.entries) {
        fmt::print("{:<{}}  {:<6}  {}\n", Printable(e.identifier), width, StateTypeName(e.type), ValueText(e));
    }
    return kExitSuccess;
}

}  // namespace marovex::cli

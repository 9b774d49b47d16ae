// `marovex info [--json]`: what the module describes, and the parameter table of a fresh instance.
#include <cstdio>

#include <fmt/core.h>
#include <nlohmann/json.hpp>

#include "CliError.h"
#include "Commands.h"
#include "PluginSession.h"
#include "MarovexReadout.h"
#include "StateFile.h"
#include "Text.h"

namespace marovex::cli {

namespace {

using nlohmann::ordered_json;

// A four-character code as text when all four bytes print, else as a number.
std::string CodeText(uint32_t code) {
    const std::string text = FourCharText(code);
    if (text.find('?') == std::string::npos) return "'" + text + "'";
    return std::to_string(code);
}

std::string LayoutName(int32_t stemFormat) {
    if (stemFormat == AAX_eStemFormat_Mono) return "mono";
    if (stemFormat == AAX_eStemFormat_Stereo) return "stereo";
    return fmt::format("stem format {:#x}", uint32_t(stemFormat));
}

const char* TypeName(AAX_EParameterType type) {
    return type == AAX_eParameterType_Discrete ? "discrete" : "continuous";
}

std::string Join(const std::vector<std::string>& items, const char* separator = ", ") {
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) text += (i > 0 ? separator : "") + items[i];
    return text;
}

ordered_json PropertiesJson(const MarovexPropertyMap& map) {
    ordered_json json = ordered_json::array();
    for (const MarovexProperty& p : map.properties) json.push_back({{"id", p.id}, {"value", p.value}});
    return json;
}

std::string PropertiesText(const MarovexPropertyMap& map) {
    std::vector<std::string> items;
    for (const MarovexProperty& p : map.properties) {
        items.push_back(std::to_string(p.id) + "=" + CodeText(uint32_t(p.value)));
    }
    return Join(items, " ");
}

ordered_json DescriptionJson(const MarovexModule& module) {
    const MarovexModuleDescription& d = module.Description();
    ordered_json json;
    json["module"] = module.Path();
    json["manufacturer"] = d.manufacturerName;
    json["packageNames"] = d.packageNames;
    json["packageVersion"] = d.packageVersion;
    ordered_json effects = ordered_json::array();
    for (const MarovexEffectDescription& e : d.effects) {
        ordered_json effect;
        effect["id"] = e.effectID;
        effect["names"] = e.names;
        effect["categories"] = e.categories;
        ordered_json components = ordered_json::array();
        for (const MarovexComponentDescription& c : e.components) {
            ordered_json component;
            component["stemFormat"] = c.StemFormat();
            component["layout"] = LayoutName(c.StemFormat());
            ordered_json fields = ordered_json::array();
            for (const MarovexField& f : c.fields) {
                ordered_json field = {{"index", f.index}, {"kind", MarovexFieldKindName(f.kind)},
                                      {"size", f.size}, {"option", f.option}};
                if (!f.meterIDs.empty()) {
                    ordered_json meters = ordered_json::array();
                    for (AAX_CTypeID id : f.meterIDs) meters.push_back(FourCharText(id));
                    field["meters"] = meters;
                }
                fields.push_back(field);
            }
            component["fields"] = fields;
            ordered_json native = ordered_json::array();
            for (const MarovexNativeProcess& p : c.nativeProcesses) {
                native.push_back({{"properties", PropertiesJson(p.properties)}});
            }
            component["nativeProcesses"] = native;
            ordered_json dsp = ordered_json::array();
            for (const MarovexDspProcess& p : c.dspProcesses) {
                dsp.push_back({{"file", p.file}, {"entry", p.entrySymbol}, {"properties", PropertiesJson(p.properties)}});
            }
            component["dspProcesses"] = dsp;
            components.push_back(component);
        }
        effect["components"] = components;
        ordered_json meters = ordered_json::array();
        for (const MarovexMeterDescription& m : e.meters) {
            meters.push_back({{"id", FourCharText(m.id)}, {"name", m.name}, {"properties", PropertiesJson(m.properties)}});
        }
        effect["meters"] = meters;
        ordered_json resources = ordered_json::array();
        for (const MarovexResource& r : e.resources) resources.push_back({{"type", int(r.type)}, {"info", r.info}});
        effect["resources"] = resources;
        ordered_json procs = ordered_json::array();
        for (const MarovexProcPtr& p : e.procPtrs) procs.push_back(p.id);
        effect["factories"] = procs;
        effects.push_back(effect);
    }
    json["effects"] = effects;
    return json;
}

// One declared context field: its kind and what the declaration says of it.
std::string FieldText(const MarovexField& f) {
    std::string text = MarovexFieldKindName(f.kind);
    switch (f.kind) {
        case MarovexFieldKind::DataInPort:
            text += fmt::format(", {}-byte packets, port type {}", f.size, f.option);
            break;
        case MarovexFieldKind::PrivateData:
            text += fmt::format(", {} bytes, options {}", f.size, f.option);
            break;
        case MarovexFieldKind::Meters: {
            std::vector<std::string> ids;
            for (AAX_CTypeID id : f.meterIDs) ids.push_back(CodeText(id));
            text += " " + Join(ids);
            break;
        }
        case MarovexFieldKind::Reserved:
            text += fmt::format(", field type {}", f.option);
            break;
        case MarovexFieldKind::TemporaryData:
            text += fmt::format(", {}-byte elements", f.size);
            break;
        default:
            break;
    }
    return text;
}

void PrintDescription(const MarovexModule& module) {
    const MarovexModuleDescription& d = module.Description();
    fmt::print("module        {}\n", module.Path());
    fmt::print("manufacturer  {}\n", d.manufacturerName);
    fmt::print("package       {} (version {})\n", Join(d.packageNames), d.packageVersion);
    for (const MarovexEffectDescription& e : d.effects) {
        std::vector<std::string> categories;
        for (uint32_t c : e.categories) categories.push_back(std::to_string(c));
        fmt::print("effect        {}: {}; category {}\n", e.effectID, Join(e.names), Join(categories));
        for (const MarovexComponentDescription& c : e.components) {
            fmt::print("component     {}: {} context fields\n", LayoutName(c.StemFormat()), c.fields.size());
            for (const MarovexField& f : c.fields) fmt::print("  field {:>3}   {}\n", f.index, FieldText(f));
            for (const MarovexNativeProcess& p : c.nativeProcesses) {
                fmt::print("  native      [{}]\n", PropertiesText(p.properties));
            }
            for (const MarovexDspProcess& p : c.dspProcesses) {
                fmt::print("  DSP module  {} ({}) [{}]\n", p.file, p.entrySymbol, PropertiesText(p.properties));
            }
        }
        for (const MarovexMeterDescription& m : e.meters) {
            fmt::print("meter         '{}' {} [{}]\n", FourCharText(m.id), m.name, PropertiesText(m.properties));
        }
        for (const MarovexResource& r : e.resources) fmt::print("resource      {}: {}\n", int(r.type), r.info);
        std::vector<std::string> procs;
        for (const MarovexProcPtr& p : e.procPtrs) {
            procs.push_back(std::to_string(p.id) + (p.id == 0 ? " (data model)" : p.id == 1 ? " (editor)" : ""));
        }
        fmt::print("factories     {}\n", Join(procs));
    }
}

// The words and the unit of a readout format: "Xover Frequency %.2f Hz" -> "Xover Frequency", "Hz".
std::pair<std::string, std::string> ReadoutWords(const char* format) {
    const std::string text(format);
    const size_t at = text.find("%.2f");
    std::string unit = at == std::string::npos ? std::string() : text.substr(at + 4);
    if (!unit.empty() && unit.front() == ' ') unit.erase(0, 1);
    if (unit == "%%") unit = "%";
    std::string words = at == std::string::npos ? text : text.substr(0, at);
    while (!words.empty() && words.back() == ' ') words.pop_back();
    return {words, unit};
}

// What a parameter's values mean: "Xover Frequency, 1000.00 Hz at 0 to 6000.00 Hz at 1".
std::string MeaningText(const MarovexParameterInfo& p) {
    for (size_t tag = 0; tag < kMarovexReadouts.size(); ++tag) {
        if (p.id != kMarovexReadouts[tag].id) continue;
        const auto [words, unit] = ReadoutWords(kMarovexReadouts[tag].format);
        return fmt::format("{}, {:.2f} {} at 0 to {:.2f} {} at 1", words, MarovexReadoutNumber(int(tag), 0.0f), unit,
                           MarovexReadoutNumber(int(tag), 1.0f), unit);
    }
    if (p.type == AAX_eParameterType_Discrete && p.steps == 2) return "0 = processing (shown 'bypass'), 1 = bypassed (shown 'on')";
    return fmt::format("{} steps", p.steps);
}

// The default and what it means: "0.50 = Xover Frequency 3500.00 Hz".
std::string DefaultText(const MarovexParameterInfo& p) {
    const std::string readout = MarovexReadoutText(p.id, p.defaultNormalized);
    return fmt::format("{:.2f} = {}", p.defaultNormalized, readout.empty() ? EscapeText(p.defaultText) : readout);
}

}  // namespace

int RunInfo(const InfoOptions& options) {
    PluginSession session(options.plugin, AAX_eStemFormat_Stereo, 48000.0f, 512);
    const std::vector<MarovexParameterInfo>& parameters = session.Parameters();
    if (options.json) {
        ordered_json json = DescriptionJson(session.Module());
        ordered_json table = ordered_json::array();
        for (size_t i = 0; i < parameters.size(); ++i) {
            const MarovexParameterInfo& p = parameters[i];
            table.push_back({{"index", i},
                             {"id", p.id},
                             {"name", p.name},
                             {"type", TypeName(p.type)},
                             {"default", p.defaultNormalized},
                             {"steps", p.steps},
                             {"defaultText", p.defaultText},
                             {"defaultReadout", DefaultText(p)},
                             {"meaning", MeaningText(p)}});
        }
        json["parameters"] = table;
        fmt::print("{}\n", json.dump(2, ' ', false, ordered_json::error_handler_t::replace));
        return kExitSuccess;
    }
    const MarovexModuleDescription& d = session.Module().Description();
    const std::string name = d.effects.empty() || d.effects[0].names.empty() ? "?" : d.effects[0].names[0];
    fmt::print("{} by {}, plug-in version {}, {}\n\n", EscapeText(name), EscapeText(d.manufacturerName),
               d.packageVersion, EscapeText(session.Module().Path()));
    fmt::print("{:>5}  {:<15} {:<14} {:<36} {}\n", "INDEX", "ID", "NAME", "DEFAULT", "VALUES 0 TO 1");
    for (size_t i = 0; i < parameters.size(); ++i) {
        const MarovexParameterInfo& p = parameters[i];
        fmt::print("{:>5}  {:<15} {:<14} {:<36} {}\n", i, EscapeText(p.id), EscapeText(p.name), DefaultText(p),
                   MeaningText(p));
    }
    fmt::print("\nSet them with --set ID=VALUE (a normalized value from 0 to 1, or the parameter's value text).\n");
    if (!options.details) {
        fmt::print("Run 'marovex info --details' for the module's whole description.\n");
        return kExitSuccess;
    }
    fmt::print("\n");
    PrintDescription(session.Module());
    fmt::print("\n{:>5}  {:<16} {:<16} {:<10} {:>7} {:>5}  {}\n", "INDEX", "ID", "NAME", "TYPE", "DEFAULT", "STEPS",
               "DEFAULT TEXT");
    for (size_t i = 0; i < parameters.size(); ++i) {
        const MarovexParameterInfo& p = parameters[i];
        fmt::print("{:>5}  {:<16} {:<16} {:<10} {:>7} {:>5}  {}\n", i, EscapeText(p.id), EscapeText(p.name), TypeName(p.type),
                   fmt::format("{:.4f}", p.defaultNormalized), p.steps, EscapeText(p.defaultText));
    }
    return kExitSuccess;
}

}  // namespace marovex::cli

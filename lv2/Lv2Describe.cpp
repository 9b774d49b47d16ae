// marovex-lv2-ttl MODULE OUTDIR [UI_BINARY]: writes the bundle's manifest.ttl and Marovex.ttl.
//
// Indices and symbols come from the fixed port table (Lv2Ports.h); everything the module describes
// (effect and parameter names, defaults, step counts, the meter's name) comes from the module itself,
// loaded through the host library. The program fails, and with it the build, when the module's
// parameters or meter no longer match the fixed table.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Lv2Ports.h"
#include "MarovexHost.h"

namespace {

using namespace marovex_lv2;

struct Parameter {
    std::string symbol;
    std::string name;
    double defaultValue = 0.0;
    int32_t steps = 0;
    bool toggle = false;
};

// A number as a Turtle decimal (always with a point, so it never reads as an integer).
std::string Decimal(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.9g", v);
    std::string s(text);
    if (s.find_first_of(".eE") == std::string::npos) s += ".0";
    return s;
}

// A Turtle string literal.
std::string Literal(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

bool ReadModule(const std::string& path, std::string* effectName, std::string* meterName,
                std::vector<Parameter>* parameters, std::string* error) {
    std::shared_ptr<MarovexModule> module = MarovexModule::Load(path, error);
    if (!module) return false;
    const MarovexEffectDescription* effect = module->Effect();
    if (effect == nullptr || effect->names.empty()) {
        *error = "the module describes no named effect";
        return false;
    }
    *effectName = effect->names.front();
    if (effect->meters.size() != 1 || effect->meters[0].id != kMeterId) {
        *error = "the module does not describe exactly the one meter 'mGR1'";
        return false;
    }
    *meterName = effect->meters[0].name;

    std::unique_ptr<MarovexInstance> instance =
        MarovexInstance::Create(module, AAX_eStemFormat_Stereo, 48000.0f, 64, error);
    if (!instance) return false;
    if (instance->ParameterCount() != int32_t(kParameterCount)) {
        *error = "the module has " + std::to_string(instance->ParameterCount()) + " parameters, the ports " +
                 std::to_string(kParameterCount);
        return false;
    }
    for (uint32_t i = 0; i < kParameterCount; ++i) {
        MarovexParameterInfo info;
        if (!instance->GetParameterInfo(int32_t(i), &info, error)) return false;
        if (info.id != kParameterSymbols[i]) {
            *error = "parameter " + std::to_string(i) + " is \"" + info.id + "\", its port's symbol \"" +
                     kParameterSymbols[i] + "\"";
            return false;
        }
        Parameter p;
        p.symbol = info.id;
        p.name = info.name;
        p.defaultValue = info.defaultNormalized;
        p.steps = info.steps;
        p.toggle = info.id == kBypassId;
        parameters->push_back(p);
    }
    instance.reset();
    return true;
}

const char kPrefixes[] =
    "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
    "@prefix doap:  <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf:  <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix log:   <http://lv2plug.in/ns/ext/log#> .\n"
    "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix opts:  <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix pg:    <http://lv2plug.in/ns/ext/port-groups#> .\n"
    "@prefix pprop: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix ui:    <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid:  <http://lv2plug.in/ns/ext/urid#> .\n"
    "@prefix work:  <http://lv2plug.in/ns/ext/worker#> .\n\n";

void WritePlugin(std::ostream& o, const char* uri, bool stereo, const std::string& effectName,
                 const std::string& meterName, const std::vector<Parameter>& parameters, bool withUi) {
    const std::string in = std::string(uri) + ":in";
    const std::string out = std::string(uri) + ":out";
    o << "<" << uri << ">\n"
      << "    a lv2:Plugin, lv2:DynamicsPlugin ;\n"
      << "    doap:name " << Literal(effectName + (stereo ? " Stereo" : " Mono")) << " ;\n"
      << "    lv2:project <urn:halvik:marovex> ;\n"
      << "    lv2:minorVersion 0 ;\n"
      << "    lv2:microVersion 2 ;\n"
      << "    lv2:optionalFeature lv2:hardRTCapable, urid:map, opts:options, bufsz:boundedBlockLength,\n"
      << "        work:schedule, log:log ;\n"
      << "    opts:supportedOption bufsz:maxBlockLength, bufsz:nominalBlockLength ;\n"
      << "    lv2:extensionData state:interface, work:interface ;\n";
    if (withUi) o << "    ui:ui <" << kUiUri << "> ;\n";
    if (stereo) {
        o << "    pg:mainInput <" << in << "> ;\n"
          << "    pg:mainOutput <" << out << "> ;\n";
    }
    for (uint32_t i = 0; i < kParameterCount; ++i) {
        const Parameter& p = parameters[i];
        o << "    lv2:port [\n"
          << "        a lv2:InputPort, lv2:ControlPort ;\n"
          << "        lv2:index " << i << " ;\n"
          << "        lv2:symbol " << Literal(p.symbol) << " ;\n";
        if (p.toggle) {
            // Published inverted, as the host's enabled switch: 1 processes, 0 bypasses.
            o << "        lv2:name \"Enabled\" ;\n"
              << "        rdfs:comment " << Literal("on: processing; off: the input passes unchanged ('" + p.name + "' inverted)")
              << " ;\n"
              << "        lv2:designation lv2:enabled ;\n"
              << "        lv2:portProperty lv2:toggled, lv2:integer ;\n"
              << "        lv2:default 1 ;\n"
              << "        lv2:minimum 0 ;\n"
              << "        lv2:maximum 1 ;\n";
        } else {
            o << "        lv2:name " << Literal(p.name) << " ;\n"
              << "        lv2:default " << Decimal(p.defaultValue) << " ;\n"
              << "        lv2:minimum 0.0 ;\n"
              << "        lv2:maximum 1.0 ;\n"
              << "        units:unit units:coef ;\n";
            if (p.steps >= 2) o << "        pprop:rangeSteps " << p.steps << " ;\n";
            if (p.steps >= 2 && p.steps <= 9) {
                // Few steps: name each one.
                o << "        lv2:scalePoint ";
                for (int32_t s = 0; s < p.steps; ++s) {
                    const double v = double(s) / double(p.steps - 1);
                    char label[32];
                    std::snprintf(label, sizeof label, "%.3f", v);
                    o << (s ? ", " : "") << "[ rdfs:label \"" << label << "\" ; rdf:value " << Decimal(v) << " ]";
                }
                o << " ;\n";
            }
        }
        o << "    ] ;\n";
    }
    o << "    lv2:port [\n"
      << "        a lv2:OutputPort, lv2:ControlPort ;\n"
      << "        lv2:index " << kMeterPort << " ;\n"
      << "        lv2:symbol " << Literal(kMeterSymbol) << " ;\n"
      << "        lv2:name " << Literal(meterName) << " ;\n"
      << "        rdfs:comment \"gain reduction: 0 none, 1 full\" ;\n"
      << "        lv2:default 0.0 ;\n"
      << "        lv2:minimum 0.0 ;\n"
      << "        lv2:maximum 1.0 ;\n"
      << "        units:unit units:coef ;\n"
      << "    ] ;\n";
    const uint32_t channels = stereo ? 2 : 1;
    for (uint32_t c = 0; c < 2 * channels; ++c) {
        const bool input = c < channels;
        const char* symbol = stereo ? kStereoAudioSymbols[c] : kMonoAudioSymbols[c];
        std::string name = input ? "In" : "Out";
        if (stereo) name += (c % 2 == 0) ? " L" : " R";
        o << "    lv2:port [\n"
          << "        a " << (input ? "lv2:InputPort" : "lv2:OutputPort") << ", lv2:AudioPort ;\n"
          << "        lv2:index " << (kFirstAudioPort + c) << " ;\n"
          << "        lv2:symbol " << Literal(symbol) << " ;\n"
          << "        lv2:name " << Literal(name) << " ;\n";
        if (stereo) {
            o << "        pg:group <" << (input ? in : out) << "> ;\n"
              << "        lv2:designation " << (c % 2 == 0 ? "pg:left" : "pg:right") << " ;\n";
        }
        o << "    ]" << (c + 1 == 2 * channels ? " .\n\n" : " ;\n");
    }
    if (stereo) {
        o << "<" << in << ">\n    a pg:StereoGroup, pg:InputGroup ;\n    lv2:symbol \"in\" ;\n"
          << "    rdfs:label \"Input\" .\n\n"
          << "<" << out << ">\n    a pg:StereoGroup, pg:OutputGroup ;\n    lv2:symbol \"out\" ;\n"
          << "    rdfs:label \"Output\" .\n\n";
    }
}

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << text;
    f.close();
    return bool(f);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: marovex-lv2-ttl MODULE OUTDIR DSP_BINARY [UI_BINARY]\n");
        return 2;
    }
    const std::string modulePath = argv[1], outDir = argv[2], dspBinary = argv[3];
    const std::string uiBinary = argc == 5 ? argv[4] : "";
    std::string effectName, meterName, error;
    std::vector<Parameter> parameters;
    if (!ReadModule(modulePath, &effectName, &meterName, &parameters, &error)) {
        std::fprintf(stderr, "marovex-lv2-ttl: %s: %s\n", modulePath.c_str(), error.c_str());
        return 1;
    }

    std::ostringstream manifest;
    manifest << "@prefix lv2:  <http://lv2plug.in/ns/lv2core#> .\n"
             << "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
             << "@prefix ui:   <http://lv2plug.in/ns/extensions/ui#> .\n\n";
    for (const char* uri : {kStereoUri, kMonoUri}) {
        manifest << "<" << uri << ">\n    a lv2:Plugin ;\n    lv2:binary <" << dspBinary << "> ;\n"
                 << "    rdfs:seeAlso <Marovex.ttl> .\n\n";
    }
    if (!uiBinary.empty()) {
        manifest << "<" << kUiUri << ">\n    a ui:X11UI ;\n    ui:binary <" << uiBinary << "> ;\n"
                 << "    rdfs:seeAlso <Marovex.ttl> .\n";
    }

    std::ostringstream plugins;
    plugins << kPrefixes << "@prefix rdf:   <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n\n";
    plugins << "<urn:halvik:marovex>\n    a doap:Project ;\n    doap:name " << Literal(effectName) << " ;\n"
            << "    doap:maintainer [ foaf:name \"Halvik\" ] .\n\n";
    WritePlugin(plugins, kStereoUri, true, effectName, meterName, parameters, !uiBinary.empty());
    WritePlugin(plugins, kMonoUri, false, effectName, meterName, parameters, !uiBinary.empty());
    if (!uiBinary.empty()) {
        plugins << "<" << kUiUri << ">\n    a ui:X11UI ;\n"
                << "    lv2:requiredFeature ui:idleInterface ;\n"
                << "    lv2:optionalFeature ui:parent, ui:resize, urid:map, opts:options ;\n"
                << "    opts:supportedOption ui:scaleFactor ;\n"
                << "    lv2:extensionData ui:idleInterface, ui:showInterface .\n";
    }

    if (!WriteFile(outDir + "/manifest.ttl", manifest.str()) || !WriteFile(outDir + "/Marovex.ttl", plugins.str())) {
        std::fprintf(stderr, "marovex-lv2-ttl: cannot write into '%s'\n", outDir.c_str());
        return 1;
    }
    return 0;
}

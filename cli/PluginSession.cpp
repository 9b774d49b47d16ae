#include "PluginSession.h"

#include <algorithm>
#include <cmath>

#include <fmt/core.h>

#include "AAX_IACFEffectParameters.h"
#include "CliError.h"
#include "StateFile.h"
#include "Text.h"

namespace marovex::cli {

PluginSession::PluginSession(const std::string& path, int32_t stemFormat, float sampleRate, int32_t maxBlock) {
    std::string error;
    mModule = MarovexModule::Load(path, &error);
    if (!mModule) throw Failure("cannot load the plug-in module " + Quote(path) + ": " + error);
    mInstance = MarovexInstance::Create(mModule, stemFormat, sampleRate, maxBlock, &error);
    if (!mInstance) throw Failure("cannot create a plug-in instance: " + error);
    const int32_t count = mInstance->ParameterCount();
    for (int32_t i = 0; i < count; ++i) {
        MarovexParameterInfo info;
        if (!mInstance->GetParameterInfo(i, &info, &error)) {
            throw Failure("cannot read parameter " + std::to_string(i) + ": " + error);
        }
        mParameters.push_back(std::move(info));
    }
}

PluginSession::~PluginSession() {
    // The instance goes before the module it runs.
    mInstance.reset();
    mModule.reset();
}

std::string PluginSession::IdentifierList() const {
    std::string list;
    for (size_t i = 0; i < mParameters.size(); ++i) {
        if (i > 0) list += ", ";
        list += std::to_string(i) + " " + mParameters[i].id;
    }
    return list;
}

std::string PluginSession::Resolve(const std::string& idOrIndex) const {
    for (const MarovexParameterInfo& p : mParameters) {
        if (p.id == idOrIndex) return p.id;
    }
    if (!idOrIndex.empty() && idOrIndex.find_first_not_of("0123456789") == std::string::npos &&
        idOrIndex.size() < 10) {
        const size_t index = std::stoul(idOrIndex);
        if (index < mParameters.size()) return mParameters[index].id;
    }
    std::vector<std::string> ids;
    for (const MarovexParameterInfo& p : mParameters) ids.push_back(p.id);
    const std::string closest = ClosestMatch(idOrIndex, ids);
    throw UsageError("unknown parameter '" + EscapeText(idOrIndex) + "'" +
                     (closest.empty() ? std::string() : " (did you mean '" + closest + "'?)") +
                     "; the parameters are: " + IdentifierList());
}

void PluginSession::Set(const std::string& id, double normalized) {
    std::string error;
    if (!mInstance->SetParameter(id, normalized, &error)) {
        throw Failure("cannot set " + id + ": " + error);
    }
}

void PluginSession::SetAsEditor(const std::string& id, double normalized) {
    AAX_IACFEffectParameters* model = mInstance->EffectParameters();
    if (model == nullptr) throw Failure("the plug-in instance has no data model");
    const AAX_Result result = model->SetParameterNormalizedValue(id.c_str(), normalized);
    if (result != AAX_SUCCESS) throw Failure("cannot set " + id + ": the plug-in answered " + std::to_string(result));
}

void PluginSession::SetFromText(const std::string& id, const std::string& value) { Set(id, ValueOfText(id, value)); }

double PluginSession::Get(const std::string& id) const {
    double value = 0.0;
    std::string error;
    if (!mInstance->GetParameterValue(id, &value, &error)) throw Failure("cannot read " + id + ": " + error);
    return value;
}

}  // namespace marovex::cli

namespace marovex::cli {

std::string PluginSession::TextOf(const std::string& id) const {
    MarovexParameterInfo info;
    std::string error;
    if (!mInstance->FindParameterInfo(id, &info, &error)) throw Failure("cannot read " + id + ": " + error);
    return info.valueText;
}

double PluginSession::ValueOfText(const std::string& id, const std::string& text) const {
    double number = 0.0;
    if (ParseDecimal(text, &number) && number >= 0.0 && number <= 1.0) return number;
    // The parameter's own reading may take only the start of a text ("0,5" as 0): a value text counts
    // only when the parameter shows the value it read as the very same text.
    double value = 0.0;
    std::string shown, error;
    if (mInstance->ParameterValueFromText(id, text, &value, &error) && value >= 0.0 && value <= 1.0 &&
        mInstance->ParameterTextFromValue(id, value, &shown, &error) && shown == text) {
        return value;
    }
    std::string examples;
    for (const MarovexParameterInfo& p : mParameters) {
        if (p.id != id) continue;
        examples = Quote(p.defaultText);
        // An on/off parameter: both of its texts.
        std::string off, on;
        if (p.steps == 2 && mInstance->ParameterTextFromValue(id, 0.0, &off, &error) &&
            mInstance->ParameterTextFromValue(id, 1.0, &on, &error)) {
            examples = Quote(off) + " or " + Quote(on);
        }
    }
    throw UsageError("cannot set " + id + " to " + (text.empty() ? std::string("an empty text") : Quote(text)) +
                     ": give a normalized value from 0 to 1 or the whole value text of " + id + ", such as " +
                     examples + DecimalCommaHint(text));
}

namespace {

std::string ValueText(const StateEntry& e) {
    return e.type == 'r' ? Quote(e.text) : fmt::format("{}", e.number);
}

const StateEntry* FindEntry(const StateRecord& record, const std::string& id) {
    for (const StateEntry& e : record.entries) {
        if (e.identifier == id) return &e;
    }
    return nullptr;
}

}  // namespace

std::vector<std::string> PluginSession::LoadStateAndReport(const std::vector<uint8_t>& record) {
    // What the plug-in stores comes from the plug-in itself: the entries of a state it saves, before
    // the load and after it.
    std::string error;
    std::vector<uint8_t> bytes;
    if (!mInstance->SaveState(&bytes, &error)) throw Failure("cannot save the state: " + error);
    const StateRecord stored = ParseStateRecord(bytes);
    if (!mInstance->LoadState(record, &error)) throw Failure(error);
    if (!mInstance->SaveState(&bytes, &error)) throw Failure("cannot save the state: " + error);
    const StateRecord applied = ParseStateRecord(bytes);
    const StateRecord given = ParseStateRecord(record);

    std::vector<std::string> problems;
    std::vector<std::string> missingIds, seen;  // a damaged name most likely stood for one of these
    for (const StateEntry& e : stored.entries) {
        if (FindEntry(given, e.identifier) == nullptr) missingIds.push_back(e.identifier);
    }
    for (const StateEntry& e : given.entries) {
        const std::string name = Quote(e.identifier);
        const auto copies = std::count_if(given.entries.begin(), given.entries.end(),
                                          [&](const StateEntry& other) { return other.identifier == e.identifier; });
        if (std::find(seen.begin(), seen.end(), e.identifier) != seen.end()) continue;
        seen.push_back(e.identifier);
        const StateEntry* reference = FindEntry(stored, e.identifier);
        const StateEntry* now = FindEntry(applied, e.identifier);
        if (reference == nullptr || now == nullptr) {
            const bool isParameter = std::any_of(mParameters.begin(), mParameters.end(),
                                                 [&](const MarovexParameterInfo& p) { return p.id == e.identifier; });
            if (isParameter) {
                problems.push_back(name + " is a parameter a state does not restore; not applied");
            } else {
                const std::string closest = ClosestMatch(e.identifier, missingIds);
                problems.push_back(name + " names no parameter" +
                                   (closest.empty() ? std::string() : " (did you mean '" + closest + "'?)") +
                                   "; not applied");
            }
        } else if (e.type != reference->type) {
            problems.push_back(fmt::format("{} holds a {} value where the plug-in stores a {}; not applied", name,
                                           StateTypeName(e.type), StateTypeName(reference->type)));
        } else if (copies > 1) {
            problems.push_back(fmt::format("{} is given {} times; the plug-in applied {}", name, copies, ValueText(*now)));
        } else if (e.type == 'r' ? e.text != now->text
                                 : !(now->number == e.number ||
                                     (e.type == 'd' && now->number == double(float(e.number))))) {
            if (e.type != 'r' && std::isnan(e.number)) {
                problems.push_back(fmt::format("{} holds NaN; not applied (it stays {})", name, ValueText(*now)));
            } else {
                problems.push_back(fmt::format("{} holds {}, which the parameter does not take; applied as {}", name,
                                               ValueText(e), ValueText(*now)));
            }
        }
    }
    for (const StateEntry& e : stored.entries) {
        if (FindEntry(given, e.identifier) == nullptr) {
            const StateEntry* now = FindEntry(applied, e.identifier);
            problems.push_back(fmt::format("no entry for {}; it stays {}", Quote(e.identifier),
                                           now != nullptr ? ValueText(*now) : std::string("as it was")));
        }
    }
    return problems;
}

}  // namespace marovex::cli

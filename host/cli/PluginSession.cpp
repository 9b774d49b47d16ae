#include "PluginSession.h"

#include <charconv>
#include <cmath>

#include "AAX_IACFEffectParameters.h"
#include "CliError.h"
#include "Text.h"

namespace marovex::cli {

bool ParseDecimal(const std::string& text, double* value) {
    std::string_view view(text);
    if (!view.empty() && view.front() == '+') view.remove_prefix(1);
    if (view.empty()) return false;
    const char* end = view.data() + view.size();
    const auto result = std::from_chars(view.data(), end, *value);
    return result.ec == std::errc() && result.ptr == end && std::isfinite(*value);
}

PluginSession::PluginSession(const std::string& path, int32_t stemFormat, float sampleRate, int32_t maxBlock) {
    std::string error;
    mModule = MarovexModule::Load(path, &error);
    if (!mModule) throw Failure("cannot load the plug-in module '" + path + "': " + error);
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

void PluginSession::SetFromText(const std::string& id, const std::string& value) {
    double number = 0.0;
    if (ParseDecimal(value, &number) && number >= 0.0 && number <= 1.0) {
        Set(id, number);
        return;
    }
    std::string error;
    if (!mInstance->SetParameterFromText(id, value, &error)) {
        std::string example;
        for (const MarovexParameterInfo& p : mParameters) {
            if (p.id == id) example = p.defaultText;
        }
        throw UsageError("cannot set " + id + " to '" + EscapeText(value) +
                      "': give a normalized value from 0 to 1 or a value text such as '" + example +
                      "'; the parameters are: " + IdentifierList());
    }
}

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

double PluginSession::ValueOfText(const std::string& id, const std::string& text) {
    const double kept = Get(id);
    std::string error;
    if (!mInstance->SetParameterFromText(id, text, &error)) {
        throw UsageError("cannot set " + id + " to '" + EscapeText(text) + "': not a value text of " + id +
                         " (such as '" + TextOf(id) + "')");
    }
    const double value = Get(id);
    Set(id, kept);
    return value;
}

}  // namespace marovex::cli

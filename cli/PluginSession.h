// Loading the plug-in module and running one instance of it for the marovex program, and addressing
// its parameters by identifier or index.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Arguments.h"
#include "MarovexHost.h"

namespace marovex::cli {

class PluginSession {
public:
    // Loads the module at `path` and creates an instance of the component with `stemFormat`. Throws a
    // CliError saying why when either fails.
    PluginSession(const std::string& path, int32_t stemFormat, float sampleRate, int32_t maxBlock);
    ~PluginSession();
    PluginSession(const PluginSession&) = delete;
    PluginSession& operator=(const PluginSession&) = delete;

    MarovexModule& Module() { return *mModule; }
    MarovexInstance& Instance() { return *mInstance; }

    // Every parameter of the fresh instance, in index order.
    const std::vector<MarovexParameterInfo>& Parameters() const { return mParameters; }

    // The identifier of a parameter given by identifier or by index ("3"). Throws a usage CliError
    // listing the identifiers (and the closest one) when there is no such parameter.
    std::string Resolve(const std::string& idOrIndex) const;

    // Sets a parameter through the host's normal update path from a value the user typed (see
    // ValueOfText). Throws a usage CliError when the text is no value of the parameter.
    void SetFromText(const std::string& id, const std::string& value);
    // Sets a normalized value. Throws a CliError when the host refuses it.
    void Set(const std::string& id, double normalized);
    // Hands a value to the data model's SetParameterNormalizedValue as it stands, as the editor does
    // when it applies a preset: the parameter clamps values outside 0 to 1 and ignores a NaN. Throws a
    // CliError when the data model answers with an error.
    void SetAsEditor(const std::string& id, double normalized);
    double Get(const std::string& id) const;
    // The current value as the parameter shows it.
    std::string TextOf(const std::string& id) const;
    // The normalized value a text the user typed stands for, nothing set: the whole text is either a
    // decimal number from 0 to 1 or the parameter's whole value text ("on", "0.25"): a text the
    // parameter reads and shows again exactly so. Anything else ("0,5", "1/2", "0.5x", "0x.8", " on")
    // throws a usage CliError saying what the parameter takes, with a hint for a decimal comma.
    double ValueOfText(const std::string& id, const std::string& text) const;

    // "MasterBypassID, InGain, ..." for messages.
    std::string IdentifierList() const;

    // Loads a saved state record (already parsed by ParseStateRecord) through the plug-in's own chunk
    // path, then says which of its entries did not take effect as stored, one line each: an entry that
    // names no parameter the state holds (a damaged name), one of another type than the plug-in stores,
    // one given twice, a value the parameter did not take (NaN) or took otherwise (clamped), and a
    // stored parameter the record holds no entry for. Empty when the whole record was applied. Throws
    // a CliError when the plug-in refuses the record.
    std::vector<std::string> LoadStateAndReport(const std::vector<uint8_t>& record);

private:
    std::shared_ptr<MarovexModule> mModule;
    std::unique_ptr<MarovexInstance> mInstance;
    std::vector<MarovexParameterInfo> mParameters;
};

}  // namespace marovex::cli

// What the user types on the command line, read by one set of rules for every command: each value is
// its whole text or nothing ("0.5x", "0,5", "0x.8", " 1" are refused, never read by their first
// characters), and every refusal is a usage error that names the option, quotes the text and says
// what would have been taken. Also the one parser of `ID=VALUE` that every command shares.
#pragma once

#include <cstdint>
#include <string>

namespace CLI {
class App;
}

namespace marovex::cli {

// A whole-text decimal number in the classic notation, whatever the locale: an optional sign, digits
// with an optional point (".5", "5.", "0.25"), an optional exponent ("5e-1"). Nothing before or after
// it, no hexadecimal form, no infinity or NaN.
bool ParseDecimal(const std::string& text, double* value);

// For a text that would be a decimal number with a point in place of each comma ("0,5"): the advice
// "; the decimal separator is a point: '0.5'". Otherwise empty.
std::string DecimalCommaHint(const std::string& text);

// `text` as a decimal number from `low` to `high`, for `option` ("--meter"). Throws a usage CliError
// ("--meter takes a number from 0 to 1, not '0,5'; the decimal separator is a point: '0.5'").
double ReadNumber(const std::string& option, const std::string& text, double low, double high);

// `text` as a whole number in decimal digits only, from `low` to `high`. Throws a usage CliError
// ("--block takes a whole number from 1 to 1048576, not '0x200'").
uint64_t ReadWholeNumber(const std::string& option, const std::string& text, uint64_t low, uint64_t high);

// One `ID=VALUE` of `option`: the identifier before the first '=', the value after it, neither empty.
// `form` names the expected shape in the message ("ID=VALUE", "ID=TIME:VALUE,...").
struct Assignment {
    std::string key;
    std::string value;
};
Assignment ParseAssignment(const std::string& option, const std::string& text, const std::string& form = "ID=VALUE");

// Refuses an empty value given to any option of the command that was run, or of the program itself
// ("--format ''" is a mistake, not the default): throws a usage CliError naming the option.
void RefuseEmptyValues(const CLI::App& app);

// A picture is written as PNG whatever its name says: refuses a name whose extension is not .png (any
// case) so that "p.jpg" does not become a PNG file under a JPEG name. Names without an extension
// (a device, a pipe) and "-" pass.
void CheckPictureName(const std::string& option, const std::string& path);

}  // namespace marovex::cli

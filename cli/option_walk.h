// The walk over a command line that every program of the project takes, and the readings of
// option values they share.
#pragma once

#include <charconv>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Options that a program, or a further mode of one, claims from the command line.
struct OptionExtension {
    // Offered every argument that no earlier extension claimed, at args[index]. Returns how
    // many arguments it takes from there, 0 when the argument is not one of its own; sets
    // error for one of its own given wrongly.
    std::function<int(const std::vector<std::string>& args, std::size_t index,
                      std::string& error)>
        claim;
    // True when the arguments claimed so far make -o unnecessary.
    std::function<bool()> replacesOutput;
    // Usage lines of its options, appended to the help.
    std::string usage;
};

// An extension whose claim is (pParser->*claim)(args, index, error), for a parser class that
// claims its options in one member function.
template <class Parser>
OptionExtension ClaimingExtension(
    Parser* pParser,
    int (Parser::*claim)(const std::vector<std::string>&, std::size_t, std::string&))
{
    OptionExtension extension;
    extension.claim = [pParser, claim](const std::vector<std::string>& args, std::size_t index,
                                       std::string& error) {
        return (pParser->*claim)(args, index, error);
    };
    return extension;
}

// The whole text as one number of that type: nothing for an empty text, other characters
// after the number, or a value beyond the type's range.
template <typename Number>
std::optional<Number> ParseNumber(const std::string& text)
{
    Number value{};
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

// The whole text as an int from lowest to highest; nothing otherwise.
std::optional<int> ParseIntInRange(const std::string& text, int lowest, int highest);

inline constexpr int kMaxSide = 16384;

struct PictureSize {
    int width = 0;
    int height = 0;
};

// "WxH" (or "WXH"), each side from 1 to kMaxSide; nothing for any other text.
std::optional<PictureSize> ParseSize(const std::string& text);

// True for an argument that reads as an option rather than as a value: a "-" followed by
// anything but a number ("-0.5" is a value, "--x" and "-o" are not).
bool LooksLikeOption(const std::string& argument);

// The count values after the option at args[index]: empty strings where one is missing or
// where an option stands instead.
std::vector<std::string> OptionValues(const std::vector<std::string>& args, std::size_t index,
                                      std::size_t count);
// The one value after the option at args[index], read the same way.
std::string OptionValue(const std::vector<std::string>& args, std::size_t index);

enum class ParseOutcome { Run, Help, Error };

struct WalkResult {
    ParseOutcome outcome = ParseOutcome::Run;
    std::string error;  // for ParseOutcome::Error
};

// -h and --help ask for the help; every other argument is offered to the extensions in turn,
// and one that none claims is an error, as is an option given twice. Stops at the first
// error or request for help.
WalkResult WalkOptions(const std::vector<std::string>& args,
                       const std::vector<OptionExtension>& extensions);

// The command line of orvane-render, and the walk over arguments that every program shares.
#pragma once

#include <charconv>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/home_views.h"

struct RenderOptions {
    int width = 1920;
    int height = 1080;
    // The view: centre and extent along the shorter side (home view 0 unless chosen).
    double centreRe = kHomeViews[0].dCentreRe;
    double centreIm = kHomeViews[0].dCentreIm;
    double span = kHomeViews[0].dSpan;
    int threads = 0;  // 0: every processor
    std::string outputPath;
    bool bViewChosen = false;  // --home or --view given
};

// Options that a further mode of the tool adds (the tour adds its own).
struct OptionExtension {
    // Offered every argument the common options do not know, at args[index]. Returns how many
    // arguments it takes from there, 0 when the argument is not one of its own; sets error for
    // one of its own given wrongly.
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

// The value after the option at args[index]: empty where it is missing or where an option
// stands instead.
std::string OptionValue(const std::vector<std::string>& args, std::size_t index);

enum class ParseOutcome { Run, Help, Error };

struct WalkResult {
    ParseOutcome outcome = ParseOutcome::Run;
    std::string error;  // for ParseOutcome::Error
};

// The walk every command line of the project takes: -h and --help ask for the help; every
// other argument is offered to the extensions in turn, and one that none claims is an error,
// as is an option given twice. Stops at the first error or request for help.
WalkResult WalkOptions(const std::vector<std::string>& args,
                       const std::vector<OptionExtension>& extensions);

struct ParsedOptions {
    ParseOutcome outcome = ParseOutcome::Run;
    RenderOptions options;
    std::string error;  // for ParseOutcome::Error
};

// args without the program name.
ParsedOptions ParseOptions(const std::vector<std::string>& args,
                           const std::vector<OptionExtension>& extensions = {});

std::string UsageText(const std::vector<OptionExtension>& extensions = {});

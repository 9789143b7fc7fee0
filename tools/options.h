// The command line of orvane-render.
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

// True for an argument that reads as an option rather than as a value: a "-" followed by
// anything but a number ("-0.5" is a value, "--x" and "-o" are not).
bool LooksLikeOption(const std::string& argument);

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

enum class ParseOutcome { Run, Help, Error };

struct ParsedOptions {
    ParseOutcome outcome = ParseOutcome::Run;
    RenderOptions options;
    std::string error;  // for ParseOutcome::Error
};

// args without the program name.
ParsedOptions ParseOptions(const std::vector<std::string>& args,
                           const std::vector<OptionExtension>& extensions = {});

std::string UsageText(const std::vector<OptionExtension>& extensions = {});

#include "cli/option_walk.h"

#include <set>

std::optional<int> ParseIntInRange(const std::string& text, int lowest, int highest)
{
    const auto value = ParseNumber<int>(text);
    if (!value || *value < lowest || *value > highest) {
        return std::nullopt;
    }
    return value;
}

std::optional<PictureSize> ParseSize(const std::string& text)
{
    const std::size_t cross = text.find_first_of("xX");
    const auto width = ParseIntInRange(text.substr(0, cross), 1, kMaxSide);
    const auto height = cross == std::string::npos
                            ? std::nullopt
                            : ParseIntInRange(text.substr(cross + 1), 1, kMaxSide);
    if (!width || !height) {
        return std::nullopt;
    }
    return PictureSize{*width, *height};
}

bool LooksLikeOption(const std::string& argument)
{
    return argument.size() > 1 && argument[0] == '-' && !ParseNumber<double>(argument);
}

std::vector<std::string> OptionValues(const std::vector<std::string>& args, std::size_t index,
                                      std::size_t count)
{
    std::vector<std::string> values(count);
    for (std::size_t i = 0; i < count && index + 1 + i < args.size(); ++i) {
        const std::string& value = args[index + 1 + i];
        values[i] = LooksLikeOption(value) ? std::string() : value;
    }
    return values;
}

std::string OptionValue(const std::vector<std::string>& args, std::size_t index)
{
    return OptionValues(args, index, 1)[0];
}

WalkResult WalkOptions(const std::vector<std::string>& args,
                       const std::vector<OptionExtension>& extensions)
{
    WalkResult result;
    std::set<std::string> given;
    std::size_t index = 0;
    while (index < args.size()) {
        if (args[index] == "--help" || args[index] == "-h") {
            result.outcome = ParseOutcome::Help;
            return result;
        }
        if (LooksLikeOption(args[index]) && !given.insert(args[index]).second) {
            result.outcome = ParseOutcome::Error;
            result.error = args[index] + " is given twice";
            return result;
        }
        int taken = 0;
        for (const OptionExtension& extension : extensions) {
            taken = extension.claim(args, index, result.error);
            if (!result.error.empty()) {
                result.outcome = ParseOutcome::Error;
                return result;
            }
            if (taken > 0) {
                break;
            }
        }
        if (taken <= 0) {
            result.outcome = ParseOutcome::Error;
            result.error = "unknown option " + args[index];
            return result;
        }
        index += static_cast<std::size_t>(taken);
    }
    return result;
}

#include "tools/options.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <set>

namespace {

constexpr int kMaxThreads = 256;

std::optional<int> ParseInt(const std::string& text, int lowest, int highest)
{
    const auto value = ParseNumber<int>(text);
    if (!value || *value < lowest || *value > highest) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> ParseFinite(const std::string& text)
{
    const auto value = ParseNumber<double>(text);
    if (!value || !std::isfinite(*value)) {
        return std::nullopt;
    }
    return value;
}

// One pixel's step along the shorter side must change both centre coordinates, or the
// picture has no extent to draw.
bool SeparatesPixels(const RenderOptions& options)
{
    const double step = options.span / std::min(options.width, options.height);
    return options.centreRe + step != options.centreRe &&
           options.centreIm + step != options.centreIm;
}

// The count values after args[index] (empty strings where missing or where an option stands
// instead).
std::vector<std::string> ValuesAfter(const std::vector<std::string>& args, std::size_t index,
                                     std::size_t count)
{
    std::vector<std::string> values(count);
    for (std::size_t i = 0; i < count && index + 1 + i < args.size(); ++i) {
        const std::string& value = args[index + 1 + i];
        values[i] = LooksLikeOption(value) ? std::string() : value;
    }
    return values;
}

// The renderer's own options, claimed before any extension's.
class RenderOptionParser {
public:
    OptionExtension Extension() { return ClaimingExtension(this, &RenderOptionParser::Claim); }

    const RenderOptions& Options() const { return m_options; }
    bool HomeAndViewGiven() const { return m_bHomeGiven && m_bViewGiven; }
    bool ViewChosen() const { return m_bHomeGiven || m_bViewGiven; }

private:
    int Claim(const std::vector<std::string>& args, std::size_t index, std::string& error)
    {
        const std::string& option = args[index];
        const std::string value = OptionValue(args, index);
        if (option == "--size") {
            ParseSize(value, error);
        } else if (option == "--home") {
            m_bHomeGiven = true;
            ParseHome(value, error);
        } else if (option == "--view") {
            m_bViewGiven = true;
            ParseView(ValuesAfter(args, index, 3), error);
            return 4;
        } else if (option == "--threads") {
            if (const auto threads = ParseInt(value, 1, kMaxThreads)) {
                m_options.threads = *threads;
            } else {
                error = "--threads takes a number from 1 to " + std::to_string(kMaxThreads);
            }
        } else if (option == "-o") {
            m_options.outputPath = value;
            if (value.empty()) {
                error = "-o takes a file name";
            }
        } else {
            return 0;
        }
        return 2;
    }

    void ParseSize(const std::string& text, std::string& error)
    {
        const std::optional<PictureSize> size = ::ParseSize(text);
        if (!size) {
            error = "--size takes WxH, each from 1 to " + std::to_string(kMaxSide);
            return;
        }
        m_options.width = size->width;
        m_options.height = size->height;
    }

    void ParseHome(const std::string& value, std::string& error)
    {
        const auto home = ParseInt(value, 0, kHomeViewCount - 1);
        if (!home) {
            error = "--home takes 0, 1 or 2";
            return;
        }
        const HomeView& view = kHomeViews[*home];
        SetView(view.dCentreRe, view.dCentreIm, view.dSpan);
    }

    void ParseView(const std::vector<std::string>& values, std::string& error)
    {
        const auto centreRe = ParseFinite(values[0]);
        const auto centreIm = ParseFinite(values[1]);
        const auto span = ParseFinite(values[2]);
        if (!centreRe || !centreIm || !span || *span <= 0.0) {
            error = "--view takes RE IM SPAN: finite numbers, SPAN above 0";
            return;
        }
        SetView(*centreRe, *centreIm, *span);
    }

    void SetView(double centreRe, double centreIm, double span)
    {
        m_options.centreRe = centreRe;
        m_options.centreIm = centreIm;
        m_options.span = span;
    }

    RenderOptions m_options;
    bool m_bHomeGiven = false;
    bool m_bViewGiven = false;
};

bool AnyReplacesOutput(const std::vector<OptionExtension>& extensions)
{
    for (const OptionExtension& extension : extensions) {
        if (extension.replacesOutput && extension.replacesOutput()) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool LooksLikeOption(const std::string& argument)
{
    return argument.size() > 1 && argument[0] == '-' && !ParseNumber<double>(argument);
}

std::string OptionValue(const std::vector<std::string>& args, std::size_t index)
{
    return ValuesAfter(args, index, 1)[0];
}

std::optional<PictureSize> ParseSize(const std::string& text)
{
    const std::size_t cross = text.find_first_of("xX");
    const auto width = ParseInt(text.substr(0, cross), 1, kMaxSide);
    const auto height =
        cross == std::string::npos ? std::nullopt : ParseInt(text.substr(cross + 1), 1, kMaxSide);
    if (!width || !height) {
        return std::nullopt;
    }
    return PictureSize{*width, *height};
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

ParsedOptions ParseOptions(const std::vector<std::string>& args,
                           const std::vector<OptionExtension>& extensions)
{
    RenderOptionParser common;
    std::vector<OptionExtension> all{common.Extension()};
    all.insert(all.end(), extensions.begin(), extensions.end());
    const WalkResult walk = WalkOptions(args, all);

    ParsedOptions result;
    result.outcome = walk.outcome;
    result.error = walk.error;
    result.options = common.Options();
    result.options.bViewChosen = common.ViewChosen();
    if (result.outcome != ParseOutcome::Run) {
        return result;
    }
    if (common.HomeAndViewGiven()) {
        result.error = "--home and --view exclude each other";
    } else if (!SeparatesPixels(result.options)) {
        result.error = "--view: SPAN is too small to tell pixels apart at this centre";
    } else if (result.options.outputPath.empty() && !AnyReplacesOutput(extensions)) {
        result.error = "no output file: -o FILE";
    }
    if (!result.error.empty()) {
        result.outcome = ParseOutcome::Error;
    }
    return result;
}

std::string UsageText(const std::vector<OptionExtension>& extensions)
{
    std::string usage =
        "usage: orvane-render [--size WxH] [--home K | --view RE IM SPAN] [--threads N] -o FILE\n"
        "\n"
        "Renders one picture of the show, caption included, into FILE: a 24-bit BMP file, or a\n"
        "PNG file when FILE ends in .png.\n"
        "\n"
        "  --size WxH          picture size in pixels (default 1920x1080)\n"
        "  --home K            home view 0, 1 or 2 (default 0)\n"
        "  --view RE IM SPAN   view centre and its extent along the shorter side\n"
        "  --threads N         worker threads (default: every processor)\n"
        "  -o FILE             the picture file\n"
        "  -h, --help          this text\n";
    for (const OptionExtension& extension : extensions) {
        usage += extension.usage;
    }
    return usage;
}

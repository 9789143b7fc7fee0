#include "render/render_options.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

constexpr int kMaxThreads = 256;

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
            ParseView(OptionValues(args, index, 3), error);
            return 4;
        } else if (option == "--threads") {
            if (const auto threads = ParseIntInRange(value, 1, kMaxThreads)) {
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
        const auto home = ParseIntInRange(value, 0, kHomeViewCount - 1);
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

#include "tools/options.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <set>

namespace {

constexpr int kMaxSide = 16384;
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

// Walks the arguments; every failure ends the walk with a message.
class Parser {
public:
    Parser(const std::vector<std::string>& args, const std::vector<OptionExtension>& extensions)
        : m_args(args), m_extensions(extensions)
    {
    }

    ParsedOptions Run()
    {
        bool bHomeGiven = false;
        bool bViewGiven = false;
        std::set<std::string> given;
        while (m_index < m_args.size() && m_result.outcome == ParseOutcome::Run) {
            const std::string& option = m_args[m_index];
            if (LooksLikeOption(option) && !given.insert(option).second) {
                Fail(option + " is given twice");
            } else if (option == "--help" || option == "-h") {
                m_result.outcome = ParseOutcome::Help;
            } else if (option == "--size") {
                ParseSize();
            } else if (option == "--home") {
                bHomeGiven = true;
                ParseHome();
            } else if (option == "--view") {
                bViewGiven = true;
                ParseView();
            } else if (option == "--threads") {
                if (const auto threads = ParseInt(Value(), 1, kMaxThreads)) {
                    m_result.options.threads = *threads;
                } else {
                    Fail("--threads takes a number from 1 to " + std::to_string(kMaxThreads));
                }
            } else if (option == "-o") {
                m_result.options.outputPath = Value();
                if (m_result.options.outputPath.empty()) {
                    Fail("-o takes a file name");
                }
            } else {
                OfferToExtensions();
            }
        }
        if (m_result.outcome != ParseOutcome::Run) {
            return m_result;
        }
        m_result.options.bViewChosen = bHomeGiven || bViewGiven;
        if (bHomeGiven && bViewGiven) {
            Fail("--home and --view exclude each other");
        } else if (!SeparatesPixels(m_result.options)) {
            Fail("--view: SPAN is too small to tell pixels apart at this centre");
        } else if (m_result.options.outputPath.empty() && !ExtensionReplacesOutput()) {
            Fail("no output file: -o FILE");
        }
        return m_result;
    }

private:
    // The count values after the option (empty strings where missing or where an option
    // stands instead); moves past them.
    std::vector<std::string> Values(std::size_t count)
    {
        std::vector<std::string> values(count);
        for (std::size_t i = 0; i < count && m_index + 1 + i < m_args.size(); ++i) {
            const std::string& value = m_args[m_index + 1 + i];
            values[i] = LooksLikeOption(value) ? std::string() : value;
        }
        m_index += 1 + count;
        return values;
    }

    std::string Value() { return Values(1)[0]; }

    void Fail(const std::string& message)
    {
        if (m_result.outcome != ParseOutcome::Run) {
            return;
        }
        m_result.outcome = ParseOutcome::Error;
        m_result.error = message;
    }

    void ParseSize()
    {
        const std::string size = Value();
        const std::size_t cross = size.find_first_of("xX");
        const auto width = ParseInt(size.substr(0, cross), 1, kMaxSide);
        const auto height = cross == std::string::npos
                                ? std::nullopt
                                : ParseInt(size.substr(cross + 1), 1, kMaxSide);
        if (!width || !height) {
            Fail("--size takes WxH, each from 1 to " + std::to_string(kMaxSide));
            return;
        }
        m_result.options.width = *width;
        m_result.options.height = *height;
    }

    void ParseHome()
    {
        const auto home = ParseInt(Value(), 0, kHomeViewCount - 1);
        if (!home) {
            Fail("--home takes 0, 1 or 2");
            return;
        }
        const HomeView& view = kHomeViews[*home];
        SetView(view.dCentreRe, view.dCentreIm, view.dSpan);
    }

    void ParseView()
    {
        const std::vector<std::string> values = Values(3);
        const auto centreRe = ParseFinite(values[0]);
        const auto centreIm = ParseFinite(values[1]);
        const auto span = ParseFinite(values[2]);
        if (!centreRe || !centreIm || !span || *span <= 0.0) {
            Fail("--view takes RE IM SPAN: finite numbers, SPAN above 0");
            return;
        }
        SetView(*centreRe, *centreIm, *span);
    }

    void SetView(double centreRe, double centreIm, double span)
    {
        m_result.options.centreRe = centreRe;
        m_result.options.centreIm = centreIm;
        m_result.options.span = span;
    }

    void OfferToExtensions()
    {
        for (const OptionExtension& extension : m_extensions) {
            std::string error;
            const int taken = extension.claim(m_args, m_index, error);
            if (!error.empty()) {
                Fail(error);
                return;
            }
            if (taken > 0) {
                m_index += static_cast<std::size_t>(taken);
                return;
            }
        }
        Fail("unknown option " + m_args[m_index]);
    }

    bool ExtensionReplacesOutput() const
    {
        for (const OptionExtension& extension : m_extensions) {
            if (extension.replacesOutput && extension.replacesOutput()) {
                return true;
            }
        }
        return false;
    }

    const std::vector<std::string>& m_args;
    const std::vector<OptionExtension>& m_extensions;
    std::size_t m_index = 0;
    ParsedOptions m_result;
};

}  // namespace

bool LooksLikeOption(const std::string& argument)
{
    return argument.size() > 1 && argument[0] == '-' && !ParseNumber<double>(argument);
}

ParsedOptions ParseOptions(const std::vector<std::string>& args,
                           const std::vector<OptionExtension>& extensions)
{
    return Parser(args, extensions).Run();
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

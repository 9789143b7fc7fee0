#include "shell/x11/show_options.h"

#include <cerrno>
#include <cstdlib>

#include "show/count_text.h"

namespace {

class ShowOptionParser {
public:
    OptionExtension Extension() { return ClaimingExtension(this, &ShowOptionParser::Claim); }

    ShowOptions& Options() { return m_options; }
    int PlacesGiven() const { return m_nPlaces; }

private:
    int Claim(const std::vector<std::string>& args, std::size_t index, std::string& error)
    {
        const std::string& option = args[index];
        const std::string value = OptionValue(args, index);
        if (option == "--version") {
            m_options.bVersion = true;
            return 1;
        }
        if (option == "--root") {
            SetPlace(ShowPlace::Root);
            return 1;
        }
        if (option == "--no-save") {
            m_options.bSave = false;
            return 1;
        }
        if (option == "--window") {
            SetPlace(ShowPlace::Window);
            const std::optional<PictureSize> size = ParseSize(value);
            if (!size) {
                error = "--window takes WxH, each from 1 to " + std::to_string(kMaxSide);
            }
            m_options.windowSize = size.value_or(PictureSize{});
        } else if (option == "--window-id") {
            SetPlace(ShowPlace::WindowId);
            const std::optional<unsigned long> id = ParseWindowId(value);
            if (!id) {
                error = "--window-id takes a window id, decimal or 0x hexadecimal";
            }
            m_options.windowId = id.value_or(0);
        } else if (option == "--max-images") {
            // A whole number, clamped as the Windows dialog clamps its count.
            if (!ParseNumber<long long>(value)) {
                error = "--max-images takes a whole number";
            }
            m_options.maxImages = ParseCountText(value);
        } else if (option == "--seed") {
            m_options.seed = ParseNumber<std::int64_t>(value);
            if (!m_options.seed) {
                error = "--seed takes a whole number";
            }
        } else if (option == "--save-dir") {
            m_options.saveDirectory = value;
            if (value.empty()) {
                error = "--save-dir takes a folder";
            }
        } else {
            return 0;
        }
        return 2;
    }

    void SetPlace(ShowPlace place)
    {
        m_options.place = place;
        ++m_nPlaces;
    }

    ShowOptions m_options;
    int m_nPlaces = 0;
};

}  // namespace

std::optional<unsigned long> ParseWindowId(const std::string& text)
{
    if (text.empty() || text[0] == '-' || text[0] == '+') {
        return std::nullopt;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long id = std::strtoul(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || id == 0) {
        return std::nullopt;
    }
    return id;
}

ParsedShowOptions ParseShowOptions(const std::vector<std::string>& args)
{
    ShowOptionParser parser;
    const WalkResult walk = WalkOptions(args, {parser.Extension()});
    ParsedShowOptions result{walk.outcome, parser.Options(), walk.error};
    if (result.outcome == ParseOutcome::Run && parser.PlacesGiven() > 1) {
        result.outcome = ParseOutcome::Error;
        result.error = "--window, --root and --window-id exclude each other";
    }
    if (result.outcome == ParseOutcome::Run && !result.options.bSave &&
        !result.options.saveDirectory.empty()) {
        result.outcome = ParseOutcome::Error;
        result.error = "--no-save and --save-dir exclude each other";
    }
    return result;
}

std::string ShowUsageText()
{
    return "usage: orvane [--window WxH | --root | --window-id ID] [--max-images N] [--seed S]\n"
           "              [--save-dir DIR | --no-save]\n"
           "\n"
           "Tours the variant Mandelbrot set on the screen, saving every zoom picture.\n"
           "Esc or a left click ends the show; holding the right button shows the grid and\n"
           "saves the grid picture too; the middle button recolours the picture.\n"
           "\n"
           "  --window WxH      an ordinary window of that size instead of the full screen\n"
           "  --root            draw into the screen saver's window (XSCREENSAVER_WINDOW) or\n"
           "                    the root window, taking no input\n"
           "  --window-id ID    draw into that window, taking no input\n"
           "  --max-images N    save in slots 1 to N, used in turn (default 10)\n"
           "  --seed S          the target finder's counter reads S, S+1, ...: a repeatable tour\n"
           "  --save-dir DIR    save into DIR (default: the pictures folder's Orvane folder)\n"
           "  --no-save         save nothing\n"
           "  --version         the program's version\n"
           "  -h, --help        this text\n";
}

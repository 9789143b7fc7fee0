#include "shell/x11/show_options.h"

#include <cerrno>
#include <cstdlib>
#include <set>

#include "show/count_text.h"

namespace {

// Options that take no value, so that "--root=1" is refused rather than half read.
const std::set<std::string> kFlags = {"--root", "--no-save", "--version", "--help"};

class ShowOptionParser {
public:
    OptionExtension Extension() { return ClaimingExtension(this, &ShowOptionParser::Claim); }

    // The options with the place decided: a window of its own excludes one it is given, and
    // the window id wins over --root; --no-save wins over --save-dir.
    std::string Finish()
    {
        if (m_bWindow && (m_bRoot || m_bWindowId)) {
            return "--window excludes --root and --window-id";
        }
        m_options.place = m_bWindowId ? ShowPlace::WindowId
                          : m_bRoot   ? ShowPlace::Root
                          : m_bWindow ? ShowPlace::Window
                                      : ShowPlace::FullScreen;
        // A preview in someone else's window is no show to keep pictures of.
        if (m_options.place == ShowPlace::WindowId && m_options.saveDirectory.empty()) {
            m_options.bSave = false;
        }
        return {};
    }

    const ShowOptions& Options() const { return m_options; }

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
            m_bRoot = true;
            return 1;
        }
        if (option == "--no-save") {
            m_options.bSave = false;
            return 1;
        }
        if (option == "--window") {
            m_bWindow = true;
            if (value.empty()) {
                return 1;  // the default size
            }
            const std::optional<PictureSize> size = ParseSize(value);
            if (!size) {
                error = "--window takes WxH, each from 1 to " + std::to_string(kMaxSide);
            }
            m_options.windowSize = size.value_or(PictureSize{});
        } else if (option == "--window-id") {
            m_bWindowId = true;
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

    ShowOptions m_options;
    bool m_bRoot = false;
    bool m_bWindow = false;
    bool m_bWindowId = false;
};

// The arguments in the spellings the walk knows: the X toolkit's "-name" as "--name" (a
// single letter stays, as do negative numbers), "--name=value" as "--name" "value".
std::vector<std::string> CommonSpellings(const std::vector<std::string>& args,
                                         std::string& error)
{
    std::vector<std::string> common;
    for (const std::string& arg : args) {
        if (!LooksLikeOption(arg) || arg == "--") {
            common.push_back(arg);
            continue;
        }
        std::string name = arg[1] == '-' || arg.size() == 2 ? arg : "-" + arg;
        const std::size_t equals = name.find('=');
        if (equals == std::string::npos) {
            common.push_back(name);
            continue;
        }
        const std::string value = name.substr(equals + 1);
        name.resize(equals);
        if (kFlags.count(name) != 0 || value.empty()) {
            error = arg + ": " + name + (value.empty() ? " is given no value" : " takes no value");
            return {};
        }
        common.push_back(name);
        common.push_back(value);
    }
    return common;
}

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
    ParsedShowOptions result;
    const std::vector<std::string> common = CommonSpellings(args, result.error);
    if (!result.error.empty()) {
        result.outcome = ParseOutcome::Error;
        return result;
    }
    ShowOptionParser parser;
    const WalkResult walk = WalkOptions(common, {parser.Extension()});
    result.outcome = walk.outcome;
    result.error = walk.error;
    if (result.outcome == ParseOutcome::Run) {
        result.error = parser.Finish();
        if (!result.error.empty()) {
            result.outcome = ParseOutcome::Error;
        }
    }
    result.options = parser.Options();
    return result;
}

std::string ShowUsageText()
{
    return "usage: orvane [--window [WxH] | --root | --window-id ID] [--max-images N] [--seed S]\n"
           "              [--save-dir DIR | --no-save]\n"
           "\n"
           "Tours the variant Mandelbrot set on the screen, saving every zoom picture.\n"
           "Esc or a left click ends the show; holding the right button shows the grid and\n"
           "saves the grid picture too; the middle button recolours the picture.\n"
           "\n"
           "  --window [WxH]    an ordinary window of that size (default 640x400) instead of\n"
           "                    the full screen\n"
           "  --root            draw into the screen saver's window (XSCREENSAVER_WINDOW) or\n"
           "                    the root window, taking no input\n"
           "  --window-id ID    draw into that window, taking no input; wins over --root, and\n"
           "                    saves nothing unless --save-dir is given\n"
           "  --max-images N    save in slots 1 to N, used in turn (default 10)\n"
           "  --seed S          the target finder's counter reads S, S+1, ...: a repeatable tour\n"
           "  --save-dir DIR    save into DIR (default: the pictures folder's Orvane folder)\n"
           "  --no-save         save nothing (wins over --save-dir)\n"
           "  --version         the program's version\n"
           "  -h, --help        this text\n"
           "\n"
           "Options may also be written -root, -window-id ID (as screen saver programs pass\n"
           "them) and --option=value.\n";
}

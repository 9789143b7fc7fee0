// The renderer's tour mode: the saver's own tour on a window without a screen, its zoom
// pictures saved as the saver names them. Also --grid FILE of single-picture mode.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "platform/system.h"
#include "render/render_options.h"
#include "render/tour_recorder.h"

struct TourOptions {
    int pictureCount = 0;  // --tour N; 0: a single picture
    int maxImages = 10;
    std::string prefix = "./orvane";
    bool bSave = true;                 // false: --no-save
    bool bGrid = false;                // save every grid picture too
    std::string gridFile;              // single picture: where its grid picture goes
    std::optional<std::int64_t> seed;  // the target finder's counter starts here
    std::string filmDirectory;
};

// Takes the tour's options from the command line, beside the common ones.
class TourOptionParser {
public:
    OptionExtension Extension();
    const TourOptions& Options() const { return m_options; }
    // After the common options have been parsed: the message for options that do not go
    // together, or an empty string.
    std::string Validate(const RenderOptions& common) const;

private:
    int Claim(const std::vector<std::string>& args, std::size_t index, std::string& error);

    TourOptions m_options;
    std::string m_tourOnlyOption;  // the first option given that only a tour takes
};

// Runs the tour until its pictures are saved or stopSignal is set, printing one line per
// saved picture to out, and recording it through pRecorder when given. Returns the exit
// status: 0 done; 1 a file or out could not be written, or memory ran short; 2 a picture too
// small for the tour; 128 + the signal when stopped.
int RunTour(const RenderOptions& common, const TourOptions& tour,
            const std::atomic<int>& stopSignal, std::ostream& out,
            ITourRecorder* pRecorder = nullptr);

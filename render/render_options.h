// The command line of orvane-render: the picture's size, view, threads and file.
#pragma once

#include <string>
#include <vector>

#include "cli/option_walk.h"
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

struct ParsedOptions {
    ParseOutcome outcome = ParseOutcome::Run;
    RenderOptions options;
    std::string error;  // for ParseOutcome::Error
};

// args without the program name.
ParsedOptions ParseOptions(const std::vector<std::string>& args,
                           const std::vector<OptionExtension>& extensions = {});

std::string UsageText(const std::vector<OptionExtension>& extensions = {});

// Copies of the show that save into one folder at the same time (xscreensaver starts one per
// monitor) never write the same file: each holds a numbered lock in the folder's lock file for
// as long as it runs, and its number names its pictures. The first copy saves Orvane_N.bmp,
// the second Orvane-2_N.bmp, and so on.
#pragma once

#include <string>

struct PicturePrefix {
    std::string fileBase;  // the folder and "Orvane" or "Orvane-K"; empty: nothing can be saved
    std::string problem;   // why nothing can be saved
};

// Takes the lowest number no running copy holds in folder, until the process ends.
PicturePrefix ClaimPicturePrefix(const std::string& folder);

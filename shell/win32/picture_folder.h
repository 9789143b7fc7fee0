// Where the show's pictures go: beside the program when its folder takes files, so that a
// program carried around keeps its pictures with it; otherwise in the Orvane folder of the
// user's Pictures, where a program installed in the system folder can always save. The file
// names are the same in both.
#pragma once

#include <string>

struct SaveTarget {
    // The path the picture files' names start with; empty when no folder takes files.
    std::string fileBase;
    // Why pictures cannot be saved, for the user, when fileBase is empty.
    std::string problem;
};

// programFileBase: the base beside the program (the executable's path cut at its last ".").
SaveTarget ChooseSaveTarget(const std::string& programFileBase);

// One line for the user: the file or folder and, in words, why it took no picture (error is
// an errno value).
std::string DescribeSaveFailure(const std::string& path, int error);

// Where the Linux show saves: the Orvane folder in the user's pictures folder, as the xdg
// user-dirs settings name it.
#pragma once

#include <string>

// The pictures folder from the text of a user-dirs.dirs file (lines such as
// XDG_PICTURES_DIR="$HOME/Pictures"), else from the environment's value (null when unset),
// else home + "/Pictures".
std::string PicturesFolder(const std::string& userDirsText, const char* pEnvironmentValue,
                           const std::string& home);

// The Orvane folder in this user's pictures folder.
std::string DefaultSaveFolder();

// Creates the folder when needed and checks that files can be made in it. The reason it
// cannot take pictures, or an empty string.
std::string PrepareSaveFolder(const std::string& folder);

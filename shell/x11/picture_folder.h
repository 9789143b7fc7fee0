// Where the Linux show saves: the Orvane folder in the user's pictures folder, as the xdg
// user-dirs settings name it.
#pragma once

#include <string>

// The pictures folder from the text of a user-dirs.dirs file (lines such as
// XDG_PICTURES_DIR="$HOME/Pictures"), else from the environment's value (null when unset),
// else home + "/Pictures".
std::string PicturesFolder(const std::string& userDirsText, const char* pEnvironmentValue,
                           const std::string& home);

// $HOME, else the home the password database gives this user.
std::string HomeFolder();

// The Orvane folder in this user's pictures folder.
std::string DefaultSaveFolder();

// The folder a user chose: chosen itself, or the folder that holds it when chosen names a
// file that is not a folder (xscreensaver-settings' Browse button picks only files).
std::string ChosenFolder(const std::string& chosen);

// Creates the folder when needed and checks that files can be made in it. The reason it
// cannot take pictures, or an empty string.
std::string PrepareSaveFolder(const std::string& folder);

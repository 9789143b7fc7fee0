#include "shell/x11/picture_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

constexpr char kPicturesKey[] = "XDG_PICTURES_DIR=";
constexpr char kHomePrefix[] = "$HOME";

// A value of the file: quoted, either "$HOME/..." or an absolute path.
std::string ExpandValue(std::string value, const std::string& home)
{
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
    }
    if (value.rfind(kHomePrefix, 0) == 0) {
        return home + value.substr(std::strlen(kHomePrefix));
    }
    return value;
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

std::string PicturesFolder(const std::string& userDirsText, const char* pEnvironmentValue,
                           const std::string& home)
{
    std::istringstream lines(userDirsText);
    std::string line;
    std::string fromFile;
    while (std::getline(lines, line)) {
        const std::size_t start = line.find_first_not_of(" \t");
        if (start != std::string::npos && line.compare(start, std::strlen(kPicturesKey),
                                                       kPicturesKey) == 0) {
            fromFile = ExpandValue(line.substr(start + std::strlen(kPicturesKey)), home);
        }
    }
    if (!fromFile.empty()) {
        return fromFile;
    }
    if (pEnvironmentValue != nullptr && *pEnvironmentValue != '\0') {
        return pEnvironmentValue;
    }
    return home + "/Pictures";
}

std::string HomeFolder()
{
    if (const char* pHome = std::getenv("HOME"); pHome != nullptr && *pHome != '\0') {
        return pHome;
    }
    // Services and su without a login run without HOME.
    const passwd* pEntry = getpwuid(getuid());
    return pEntry != nullptr && pEntry->pw_dir != nullptr ? pEntry->pw_dir : "";
}

std::string DefaultSaveFolder()
{
    const std::string home = HomeFolder();
    const char* pConfig = std::getenv("XDG_CONFIG_HOME");
    const std::filesystem::path config =
        pConfig != nullptr && *pConfig != '\0' ? std::filesystem::path(pConfig)
                                               : std::filesystem::path(home) / ".config";
    const std::string pictures =
        PicturesFolder(ReadFile(config / "user-dirs.dirs"), std::getenv("XDG_PICTURES_DIR"), home);
    return (std::filesystem::path(pictures) / "Orvane").string();
}

std::string ChosenFolder(const std::string& chosen)
{
    std::error_code error;
    const std::filesystem::path path(chosen);
    if (std::filesystem::exists(path, error) && !std::filesystem::is_directory(path, error)) {
        return path.has_parent_path() ? path.parent_path().string() : ".";
    }
    return chosen;
}

std::string PrepareSaveFolder(const std::string& folder)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        return "cannot create " + folder + ": " + error.message();
    }
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
        return "cannot save into " + folder + ": " + std::strerror(errno);
    }
    return {};
}

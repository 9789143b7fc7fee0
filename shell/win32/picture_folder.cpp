#include "shell/win32/picture_folder.h"

#include <fcntl.h>
#include <io.h>
#include <shlobj.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/win32/win32_api.h"

namespace {

constexpr char kPicturesSubfolder[] = "Orvane";

// 0 when a file can be made in folder, else the errno saying why not. The test file is
// deleted when closed, or when the process ends first.
int ProbeFolder(const std::string& folder)
{
    const std::wstring probe = platform::win32::Utf8ToWide(
        folder + "\\.orvane-" + std::to_string(GetCurrentProcessId()) + ".tmp");
    const int file = _wopen(probe.c_str(), _O_CREAT | _O_WRONLY | _O_TEMPORARY | _O_BINARY,
                            _S_IREAD | _S_IWRITE);
    if (file == -1) {
        return errno != 0 ? errno : EACCES;
    }
    _close(file);
    return 0;
}

// The Orvane folder of the user's Pictures, made when missing; empty when the system names
// no Pictures folder.
std::string PicturesSubfolder()
{
    PWSTR pPictures = nullptr;
    std::string folder;
    if (SHGetKnownFolderPath(FOLDERID_Pictures, KF_FLAG_CREATE, nullptr, &pPictures) == S_OK) {
        folder = platform::win32::WideToUtf8(pPictures) + "\\" + kPicturesSubfolder;
        CreateDirectoryW(platform::win32::Utf8ToWide(folder).c_str(), nullptr);
    }
    CoTaskMemFree(pPictures);
    return folder;
}

const char* ReasonText(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return "書き込みが許可されていません";
    case EROFS:
        return "読み取り専用です";
    case ENOSPC:
        return "ディスクに空きがありません";
    case ENOENT:
        return "フォルダが見つかりません";
    case ENAMETOOLONG:
        return "パスが長すぎます";
    default:
        return nullptr;
    }
}

}  // namespace

SaveTarget ChooseSaveTarget(const std::string& programFileBase)
{
    const std::size_t nameStart = programFileBase.find_last_of("\\/");
    const std::string programFolder =
        nameStart == std::string::npos ? "." : programFileBase.substr(0, nameStart);
    const std::string name =
        nameStart == std::string::npos ? programFileBase : programFileBase.substr(nameStart + 1);

    const int programError = ProbeFolder(programFolder);
    if (programError == 0) {
        return {programFileBase, {}};
    }
    std::string problem = DescribeSaveFailure(programFolder, programError);
    const std::string pictures = PicturesSubfolder();
    if (pictures.empty()) {
        return {{}, problem + "\n" + DescribeSaveFailure("ピクチャ フォルダ", ENOENT)};
    }
    const int picturesError = ProbeFolder(pictures);
    if (picturesError == 0) {
        return {pictures + "\\" + name, {}};
    }
    return {{}, problem + "\n" + DescribeSaveFailure(pictures, picturesError)};
}

std::string DescribeSaveFailure(const std::string& path, int error)
{
    const char* pReason = ReasonText(error);
    return path + ": " + (pReason != nullptr ? pReason : std::strerror(error));
}

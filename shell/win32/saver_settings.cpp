#include "shell/win32/saver_settings.h"

#include "platform/win32/win32_api.h"

namespace {

constexpr wchar_t kSettingsKey[] = L"Software\\Orvane";
constexpr wchar_t kMaxImagesValue[] = L"MaxImages";

}  // namespace

std::optional<int> LoadMaxImages()
{
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, kMaxImagesValue, RRF_RT_REG_DWORD, nullptr,
                     &value, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    // The count box's number, negative ones included, as it was stored.
    return static_cast<int>(value);
}

void StoreMaxImages(int count)
{
    HKEY hKey = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &hKey, nullptr) != ERROR_SUCCESS) {
        return;  // the show goes on with the count it has
    }
    const auto value = static_cast<DWORD>(count);
    RegSetValueExW(hKey, kMaxImagesValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof value);
    RegCloseKey(hKey);
}

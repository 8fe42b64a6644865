#pragma once

// The Win32 side of the platform layer: thin wrappers over the registry, the shell and
// the system metrics.  Plain C++ on purpose (no Qt), so that it can be built and tested
// on its own with mingw-w64 and run under wine.  Strings are UTF-16 in and out.

#include <cstdint>
#include <string>

namespace winplatform {

enum class RootKey { CurrentUser };

enum class RegStatus {
    Ok,
    NoKey,    // the subkey could not be opened
    NoValue,  // the subkey exists, the value is missing or of another type
};

// RegOpenKeyExW(KEY_READ) + RegGetValueW(RRF_RT_REG_SZ); out is cleared first.
RegStatus readRegistryString(RootKey root, const std::wstring& subKey,
                             const std::wstring& valueName, std::wstring& out);
// RegCreateKeyExW(KEY_WRITE) + RegSetValueExW(REG_SZ, 2 * length + 2 bytes).
// False only when the key cannot be created or opened.
bool writeRegistryString(RootKey root, const std::wstring& subKey,
                         const std::wstring& valueName, const std::wstring& value);
// RegGetValueW(RRF_RT_REG_DWORD) straight into out; out is untouched on failure.
bool readRegistryDword(RootKey root, const std::wstring& subKey,
                       const std::wstring& valueName, std::uint32_t& out);
// RegCreateKeyExW(KEY_WRITE) + RegSetValueExW(REG_DWORD).  Returns false only when the
// key cannot be created or opened; valueWritten tells whether the value itself went in.
bool writeRegistryDword(RootKey root, const std::wstring& subKey,
                        const std::wstring& valueName, std::uint32_t value,
                        bool* valueWritten = nullptr);

// SHBrowseForFolderW with flags 0x51 and a callback selecting initialFolder.
// Empty when the user cancels.
std::wstring browseForFolder(const std::wstring& initialFolder, const std::wstring& title);

// SHGetFolderPathW(CSIDL_PERSONAL / CSIDL_MYPICTURES, SHGFP_TYPE_CURRENT); empty on error.
std::wstring documentsFolder();
std::wstring picturesFolder();

// GetWindowsDirectoryW / GetSystemDirectoryW; empty when the call returns 0.
std::wstring windowsDirectory();
std::wstring systemDirectory();

// ShellExecuteW(nullptr, nullptr, url, nullptr, nullptr, SW_SHOW); result ignored.
void openUrl(const std::wstring& url);

// GetSystemMetrics(SM_CXFULLSCREEN / SM_CYFULLSCREEN).
int fullScreenClientWidth();
int fullScreenClientHeight();

} // namespace winplatform

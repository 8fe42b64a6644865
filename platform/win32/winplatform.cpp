#include "winplatform.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shlobj.h>
#include <shellapi.h>

#include <algorithm>
#include <cwchar>
#include <vector>

namespace winplatform {

namespace {

// The shell's path limit (MAX_PATH): the folder chooser's title, initial folder and
// result each live in a buffer of this many UTF-16 units, terminator included.
constexpr std::size_t kShellPathUnits = 260;
// GetWindowsDirectoryW / GetSystemDirectoryW: the longest path the system allows.
constexpr UINT kDirectoryUnits = 32767;
// The program keeps paths and short settings in the registry.  A string value larger
// than this is not one of ours and is not read (it would only cost memory).
constexpr DWORD kMaxRegistryStringBytes = 1024 * 1024;
// RegGetValueW is asked for the size first and the data second; another writer may
// grow the value in between.  Asking again a few times covers that.
constexpr int kRegistryReadAttempts = 4;

HKEY nativeRoot(RootKey root)
{
    switch (root) {
    case RootKey::CurrentUser:
        break;
    }
    return HKEY_CURRENT_USER;
}

// Creates or opens root\subKey for writing; nullptr when that fails.
HKEY createKeyForWriting(RootKey root, const std::wstring& subKey)
{
    HKEY key = nullptr;
    const LSTATUS status = RegCreateKeyExW(nativeRoot(root), subKey.c_str(), 0, nullptr,
                                           REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                                           nullptr);
    return status == ERROR_SUCCESS ? key : nullptr;
}

// The text of a wide buffer up to its first null, never past its end.
std::wstring textOf(const wchar_t* buffer, std::size_t units)
{
    return std::wstring(buffer, wcsnlen(buffer, units));
}

// Copies text into a shell buffer of kShellPathUnits units.  False (and an empty
// buffer) when it does not fit with its terminator.
bool copyToShellBuffer(const std::wstring& text, wchar_t (&buffer)[kShellPathUnits])
{
    buffer[0] = L'\0';
    if (text.size() >= kShellPathUnits)
        return false;
    wmemcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

int CALLBACK browseCallback(HWND window, UINT message, LPARAM, LPARAM data)
{
    // Select the initial folder and scroll it into view once the browser is up.
    if (message == BFFM_INITIALIZED && data != 0)
        SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

std::wstring shellFolder(int csidl)
{
    wchar_t path[kShellPathUnits] = {};
    const HRESULT result = SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    if (FAILED(result))
        return {};
    return textOf(path, kShellPathUnits);
}

} // namespace

RegStatus readRegistryString(RootKey root, const std::wstring& subKey,
                             const std::wstring& valueName, std::wstring& out)
{
    out.clear();
    HKEY key = nullptr;
    if (RegOpenKeyExW(nativeRoot(root), subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return RegStatus::NoKey;

    RegStatus status = RegStatus::NoValue;
    for (int attempt = 0; attempt < kRegistryReadAttempts; ++attempt) {
        DWORD size = 0;
        if (RegGetValueW(key, nullptr, valueName.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &size)
            != ERROR_SUCCESS)
            break;
        if (size > kMaxRegistryStringBytes)
            break;
        // size is in bytes and may be odd for a value written by someone else: round up.
        // The text is taken up to its first null within the buffer, so a value stored
        // without a terminator is still read safely.
        const std::size_t units = std::max<std::size_t>(1, (static_cast<std::size_t>(size) + 1) / 2);
        std::vector<wchar_t> buffer(units, L'\0');
        DWORD bytes = static_cast<DWORD>(units * sizeof(wchar_t));
        const LSTATUS read = RegGetValueW(key, nullptr, valueName.c_str(), RRF_RT_REG_SZ,
                                          nullptr, buffer.data(), &bytes);
        if (read == ERROR_MORE_DATA)
            continue;  // the value grew since the size query
        if (read == ERROR_SUCCESS) {
            out = textOf(buffer.data(), units);
            status = RegStatus::Ok;
        }
        break;
    }
    RegCloseKey(key);
    return status;
}

bool writeRegistryString(RootKey root, const std::wstring& subKey,
                         const std::wstring& valueName, const std::wstring& value)
{
    HKEY key = createKeyForWriting(root, subKey);
    if (!key)
        return false;
    // The text and its terminator, in bytes.  A value too long for a DWORD byte count
    // cannot be stored; the key still counts as opened.
    const unsigned long long bytes = 2ull * value.size() + 2ull;
    if (bytes <= MAXDWORD) {
        RegSetValueExW(key, valueName.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(bytes));
    }
    RegCloseKey(key);
    return true;
}

bool readRegistryDword(RootKey root, const std::wstring& subKey,
                       const std::wstring& valueName, std::uint32_t& out)
{
    // Read into a local first: on a type mismatch RegGetValueW may already have copied
    // the stored bytes into the buffer (a REG_SZ "1" fits in four bytes), and the
    // caller's value must survive a failed read.
    DWORD value = 0;
    DWORD size = sizeof(value);
    const LSTATUS status = RegGetValueW(nativeRoot(root), subKey.c_str(), valueName.c_str(),
                                        RRF_RT_REG_DWORD, nullptr, &value, &size);
    if (status != ERROR_SUCCESS || size != sizeof(value))
        return false;
    out = value;
    return true;
}

bool writeRegistryDword(RootKey root, const std::wstring& subKey,
                        const std::wstring& valueName, std::uint32_t value,
                        bool* valueWritten)
{
    if (valueWritten)
        *valueWritten = false;
    HKEY key = createKeyForWriting(root, subKey);
    if (!key)
        return false;
    const DWORD data = value;
    const LSTATUS status = RegSetValueExW(key, valueName.c_str(), 0, REG_DWORD,
                                          reinterpret_cast<const BYTE*>(&data), sizeof(data));
    if (valueWritten)
        *valueWritten = status == ERROR_SUCCESS;
    RegCloseKey(key);
    return true;
}

std::wstring browseForFolder(const std::wstring& initialFolder, const std::wstring& title)
{
    wchar_t titleBuffer[kShellPathUnits];
    wchar_t initialBuffer[kShellPathUnits];
    wchar_t displayName[kShellPathUnits] = {};
    // A title that does not fit is cut to the buffer; an initial folder that does not
    // fit is dropped, since a cut path would select some other folder.
    if (!copyToShellBuffer(title, titleBuffer)) {
        wmemcpy(titleBuffer, title.c_str(), kShellPathUnits - 1);
        titleBuffer[kShellPathUnits - 1] = L'\0';
    }
    const bool haveInitial = copyToShellBuffer(initialFolder, initialBuffer) && initialBuffer[0];

    BROWSEINFOW info = {};
    info.hwndOwner = nullptr;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = titleBuffer;
    // BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE
    info.ulFlags = 0x51;
    info.lpfn = browseCallback;
    info.lParam = haveInitial ? reinterpret_cast<LPARAM>(initialBuffer) : 0;

    PIDLIST_ABSOLUTE items = SHBrowseForFolderW(&info);
    if (!items)
        return {};

    wchar_t path[kShellPathUnits] = {};
    const bool converted = SHGetPathFromIDListW(items, path) != FALSE;
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator) {
        allocator->Free(items);
        allocator->Release();
    }
    return converted ? textOf(path, kShellPathUnits) : std::wstring();
}

std::wstring documentsFolder()
{
    return shellFolder(CSIDL_PERSONAL);
}

std::wstring picturesFolder()
{
    return shellFolder(CSIDL_MYPICTURES);
}

std::wstring windowsDirectory()
{
    std::vector<wchar_t> buffer(kDirectoryUnits, L'\0');
    const UINT length = GetWindowsDirectoryW(buffer.data(), kDirectoryUnits);
    // 0 is failure; a length of the buffer or more is the size it would have needed.
    if (length == 0 || length >= kDirectoryUnits)
        return {};
    return textOf(buffer.data(), length);
}

std::wstring systemDirectory()
{
    std::vector<wchar_t> buffer(kDirectoryUnits, L'\0');
    const UINT length = GetSystemDirectoryW(buffer.data(), kDirectoryUnits);
    if (length == 0 || length >= kDirectoryUnits)
        return {};
    return textOf(buffer.data(), length);
}

void openUrl(const std::wstring& url)
{
    ShellExecuteW(nullptr, nullptr, url.c_str(), nullptr, nullptr, SW_SHOW);
}

int fullScreenClientWidth()
{
    return GetSystemMetrics(SM_CXFULLSCREEN);
}

int fullScreenClientHeight()
{
    return GetSystemMetrics(SM_CYFULLSCREEN);
}

} // namespace winplatform

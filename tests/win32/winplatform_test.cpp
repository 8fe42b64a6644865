// Checks the Win32 platform layer against a real registry, shell and module loader
// (wine's, when run by run-wine-tests.sh).  Plain C++ so that it builds with mingw-w64
// alone.
//
//   winplatform_test.exe FIXTURE_DIR [--app-resources DLL --artwork|--placeholder]
//                        [--dump DUMP_DIR] [LIBRARY...]
//
// FIXTURE_DIR holds fixture.dll (icon groups put in by windres from the .ico files next
// to it) and those .ico files.  Each LIBRARY (a path, or a name looked up in the system
// directory) is walked through the module loader; with --dump its icon resources are
// written to DUMP_DIR\<file name>.loader.txt in the format described in
// compare-icon-dumps.sh.  --app-resources names a library linked from glyphora.rc.
// The last line printed is "N passed, M failed".

#include "winmodule.h"
#include "winplatform.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

using winplatform::Module;
using winplatform::RegStatus;
using winplatform::ResourceName;
using winplatform::RootKey;

namespace {

int g_passed = 0;
int g_failed = 0;

void check(bool condition, const char* what, const std::wstring& row, int line)
{
    if (condition) {
        ++g_passed;
        return;
    }
    ++g_failed;
    std::printf("FAIL line %d: %s", line, what);
    if (!row.empty())
        std::printf(" [%ls]", row.c_str());
    std::printf("\n");
}

#define CHECK(cond) check((cond), #cond, std::wstring(), __LINE__)
#define CHECK_ROW(cond, row) check((cond), #cond, (row), __LINE__)

using Bytes = std::vector<std::uint8_t>;

const wchar_t kTestRoot[] = L"Software\\Glyphora Tests";
const std::wstring kBase = L"Software\\Glyphora Tests\\platform";

// ---- registry helpers that bypass the code under test ----------------------------

bool rawSet(const std::wstring& subKey, const std::wstring& name, DWORD type, const void* data,
            DWORD size)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        &key, nullptr)
        != ERROR_SUCCESS)
        return false;
    const bool ok = RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size)
                    == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

struct RawValue
{
    bool found = false;
    DWORD type = REG_NONE;
    Bytes data;
};

RawValue rawGet(const std::wstring& subKey, const std::wstring& name)
{
    RawValue value;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        if (RegQueryValueExW(key, name.c_str(), nullptr, &value.type,
                             value.data.empty() ? nullptr : value.data.data(), &size)
            == ERROR_SUCCESS) {
            value.data.resize(size);
            value.found = true;
        }
    }
    RegCloseKey(key);
    return value;
}

bool keyExists(const std::wstring& subKey)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

Bytes utf16Bytes(const std::wstring& text, bool terminated)
{
    Bytes bytes;
    for (wchar_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
    }
    if (terminated) {
        bytes.push_back(0);
        bytes.push_back(0);
    }
    return bytes;
}

// ---- registry ---------------------------------------------------------------------

void testDwordRoundTrip()
{
    struct Row { const wchar_t* tag; const wchar_t* subKey; std::uint32_t value; };
    const Row rows[] = {
        {L"nested missing key, -1", L"\\dword\\a\\b\\c", 0xFFFFFFFFu},
        {L"zero", L"\\dword", 0u},
        {L"high bit", L"\\dword", 0x80000000u},
        {L"plain", L"\\dword", 1234567u},
    };
    for (const Row& row : rows) {
        const std::wstring subKey = kBase + row.subKey;
        const std::wstring name = std::wstring(L"v ") + row.tag;
        bool written = false;
        CHECK_ROW(winplatform::writeRegistryDword(RootKey::CurrentUser, subKey, name, row.value,
                                                  &written),
                  row.tag);
        CHECK_ROW(written, row.tag);
        const RawValue raw = rawGet(subKey, name);
        CHECK_ROW(raw.found && raw.type == REG_DWORD && raw.data.size() == 4, row.tag);
        if (raw.data.size() == 4) {
            const std::uint32_t stored = raw.data[0] | (raw.data[1] << 8) | (raw.data[2] << 16)
                                         | (std::uint32_t(raw.data[3]) << 24);
            CHECK_ROW(stored == row.value, row.tag);
        }
        std::uint32_t out = ~row.value;
        CHECK_ROW(winplatform::readRegistryDword(RootKey::CurrentUser, subKey, name, out), row.tag);
        CHECK_ROW(out == row.value, row.tag);
    }
    // -1 from a signed caller lands as all ones
    const std::wstring subKey = kBase + L"\\dword\\signed";
    CHECK(winplatform::writeRegistryDword(RootKey::CurrentUser, subKey, L"minus",
                                          static_cast<std::uint32_t>(-1)));
    const RawValue raw = rawGet(subKey, L"minus");
    CHECK(raw.found && raw.data == Bytes({0xFF, 0xFF, 0xFF, 0xFF}));
}

void testDwordReadFailures()
{
    const std::wstring subKey = kBase + L"\\dword-bad";
    const std::wstring text100 = L"100";
    const std::wstring text1 = L"1";  // with its terminator exactly four bytes
    const std::uint16_t shortDword = 7;
    const std::uint64_t qword = 5;
    const std::uint8_t binary[4] = {1, 0, 0, 0};
    CHECK(rawSet(subKey, L"sz100", REG_SZ, text100.c_str(), 8));
    CHECK(rawSet(subKey, L"sz1", REG_SZ, text1.c_str(), 4));
    CHECK(rawSet(subKey, L"short", REG_DWORD, &shortDword, 2));
    CHECK(rawSet(subKey, L"qword", REG_QWORD, &qword, 8));
    CHECK(rawSet(subKey, L"binary", REG_BINARY, binary, 4));
    CHECK(rawSet(subKey, L"bigendian", REG_DWORD_BIG_ENDIAN, binary, 4));

    struct Row { const wchar_t* tag; std::wstring subKey; const wchar_t* name; };
    const Row rows[] = {
        {L"REG_SZ 100", subKey, L"sz100"},
        {L"REG_SZ 1 fitting in four bytes", subKey, L"sz1"},
        {L"REG_DWORD of two bytes", subKey, L"short"},
        {L"REG_QWORD", subKey, L"qword"},
        {L"REG_BINARY of four bytes", subKey, L"binary"},
        {L"REG_DWORD_BIG_ENDIAN", subKey, L"bigendian"},
        {L"missing value", subKey, L"nothing"},
        {L"missing subkey", kBase + L"\\no such key", L"sz100"},
    };
    for (const Row& row : rows) {
        std::uint32_t out = 0x12345678u;
        CHECK_ROW(!winplatform::readRegistryDword(RootKey::CurrentUser, row.subKey, row.name, out),
                  row.tag);
        CHECK_ROW(out == 0x12345678u, row.tag);
    }
}

void testStringRoundTrip()
{
    std::wstring longText;
    for (int i = 0; i < 5000; ++i)
        longText += static_cast<wchar_t>(L'a' + i % 26);
    struct Row { const wchar_t* tag; std::wstring value; };
    const Row rows[] = {
        {L"empty", L""},
        {L"path", L"C:\\Users\\someone\\Pictures\\Icons"},
        // a Latin-1 letter, a dash, CJK and a surrogate pair
        {L"non-ASCII", L"Z\u00FCrich \u2014 \u56FE\u6807 \U0001F600"},
        {L"one unit", L"x"},
        {L"past the shell's 260", longText.substr(0, 300)},
        {L"long", longText},
    };
    const std::wstring subKey = kBase + L"\\string\\deeper";
    for (const Row& row : rows) {
        const std::wstring name = std::wstring(L"s ") + row.tag;
        CHECK_ROW(winplatform::writeRegistryString(RootKey::CurrentUser, subKey, name, row.value),
                  row.tag);
        const RawValue raw = rawGet(subKey, name);
        CHECK_ROW(raw.found && raw.type == REG_SZ, row.tag);
        CHECK_ROW(raw.data.size() == 2 * row.value.size() + 2, row.tag);
        CHECK_ROW(raw.data == utf16Bytes(row.value, true), row.tag);
        std::wstring out = L"stale";
        CHECK_ROW(winplatform::readRegistryString(RootKey::CurrentUser, subKey, name, out)
                      == RegStatus::Ok,
                  row.tag);
        CHECK_ROW(out == row.value, row.tag);
    }
    // Writing again replaces the value, also with a shorter one.
    CHECK(winplatform::writeRegistryString(RootKey::CurrentUser, subKey, L"again", L"longer text"));
    CHECK(winplatform::writeRegistryString(RootKey::CurrentUser, subKey, L"again", L"ab"));
    std::wstring out;
    CHECK(winplatform::readRegistryString(RootKey::CurrentUser, subKey, L"again", out) == RegStatus::Ok);
    CHECK(out == L"ab");
}

void testStringReadOddValues()
{
    // Values that some other writer may have left: the reader must stay inside its buffer
    // and hand back the text before the first null.
    const std::wstring subKey = kBase + L"\\string-odd";
    const std::wstring abc = L"abc";
    const std::wstring inner = std::wstring(L"ab\0cd", 5);
    CHECK(rawSet(subKey, L"odd size", REG_SZ, abc.c_str(), 5));
    CHECK(rawSet(subKey, L"no terminator", REG_SZ, abc.c_str(), 6));
    CHECK(rawSet(subKey, L"inner null", REG_SZ, inner.c_str(), 12));
    CHECK(rawSet(subKey, L"zero bytes", REG_SZ, L"", 0));

    // An odd byte count leaves half a unit; zero-filled it may come back as a whole one.
    struct Row { const wchar_t* name; std::wstring expected; std::wstring alternative; };
    const Row rows[] = {
        {L"odd size", L"ab", L"abc"},
        {L"no terminator", L"abc", L"abc"},
        {L"inner null", L"ab", L"ab"},
        {L"zero bytes", L"", L""},
    };
    for (const Row& row : rows) {
        std::wstring out = L"stale";
        const RegStatus status = winplatform::readRegistryString(RootKey::CurrentUser, subKey, row.name, out);
        std::printf("odd value '%ls': status %d, '%ls'\n", row.name, static_cast<int>(status), out.c_str());
        CHECK_ROW(status == RegStatus::Ok, row.name);
        CHECK_ROW(out == row.expected || out == row.alternative, row.name);
    }
}

void testStringReadFailures()
{
    const std::wstring subKey = kBase + L"\\string-bad";
    const std::uint32_t number = 100;
    const std::wstring multi = std::wstring(L"a\0b\0\0", 5);
    CHECK(rawSet(subKey, L"dword", REG_DWORD, &number, 4));
    CHECK(rawSet(subKey, L"binary", REG_BINARY, L"ab", 6));
    CHECK(rawSet(subKey, L"multi", REG_MULTI_SZ, multi.c_str(), 10));
    // Far larger than any path or setting the program keeps.
    const std::wstring huge(700 * 1024, L'h');
    CHECK(rawSet(subKey, L"huge", REG_SZ, huge.c_str(), static_cast<DWORD>(2 * huge.size() + 2)));

    struct Row { const wchar_t* tag; std::wstring subKey; const wchar_t* name; RegStatus expected; };
    const Row rows[] = {
        {L"missing subkey", kBase + L"\\no such key", L"x", RegStatus::NoKey},
        {L"missing nested subkey", kBase + L"\\no\\such\\key", L"x", RegStatus::NoKey},
        {L"existing subkey, missing value", subKey, L"x", RegStatus::NoValue},
        {L"REG_DWORD", subKey, L"dword", RegStatus::NoValue},
        {L"REG_BINARY", subKey, L"binary", RegStatus::NoValue},
        {L"REG_MULTI_SZ", subKey, L"multi", RegStatus::NoValue},
        {L"over the size limit", subKey, L"huge", RegStatus::NoValue},
    };
    for (const Row& row : rows) {
        std::wstring out = L"stale";
        CHECK_ROW(winplatform::readRegistryString(RootKey::CurrentUser, row.subKey, row.name, out)
                      == row.expected,
                  row.tag);
        CHECK_ROW(out.empty(), row.tag);
    }
    // Reading never creates the key it looked for.
    CHECK(!keyExists(kBase + L"\\no such key"));
}

void testWriteFailures()
{
    // A key name component may have at most 255 characters.
    const std::wstring badKey = kBase + L"\\" + std::wstring(300, L'k');
    bool written = true;
    CHECK(!winplatform::writeRegistryDword(RootKey::CurrentUser, badKey, L"v", 1, &written));
    CHECK(!written);
    CHECK(!winplatform::writeRegistryString(RootKey::CurrentUser, badKey, L"v", L"x"));
}

// ---- folders and metrics ----------------------------------------------------------

std::wstring lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(towlower(c));
    return text;
}

bool isDirectory(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool endsWith(const std::wstring& text, const std::wstring& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void testFolders()
{
    const std::wstring windows = winplatform::windowsDirectory();
    const std::wstring system = winplatform::systemDirectory();
    std::printf("windows directory: %ls\nsystem directory: %ls\n", windows.c_str(), system.c_str());
    CHECK(lower(windows) == L"c:\\windows");
    CHECK(lower(system) == L"c:\\windows\\system32");
    CHECK(lower(system) == lower(windows) + L"\\system32");
    CHECK(isDirectory(windows));
    CHECK(isDirectory(system));
    CHECK(GetFileAttributesW((system + L"\\shell32.dll").c_str()) != INVALID_FILE_ATTRIBUTES);

    struct Row { const wchar_t* tag; std::wstring path; const wchar_t* leaf; };
    const Row rows[] = {
        {L"documents", winplatform::documentsFolder(), L"\\documents"},
        {L"pictures", winplatform::picturesFolder(), L"\\pictures"},
    };
    for (const Row& row : rows) {
        std::printf("%ls folder: %ls\n", row.tag, row.path.empty() ? L"(none)" : row.path.c_str());
        if (row.path.empty())
            continue;  // allowed: the shell may know no such folder
        // Otherwise an absolute path in native form, with no trailing separator.
        CHECK_ROW(row.path.size() > 3 && row.path[1] == L':' && row.path[2] == L'\\', row.tag);
        CHECK_ROW(row.path.find(L'/') == std::wstring::npos, row.tag);
        CHECK_ROW(row.path.back() != L'\\', row.tag);
        CHECK_ROW(endsWith(lower(row.path), row.leaf), row.tag);
        CHECK_ROW(isDirectory(row.path), row.tag);
    }
}

void testMetrics()
{
    const int width = winplatform::fullScreenClientWidth();
    const int height = winplatform::fullScreenClientHeight();
    std::printf("full-screen client area: %d x %d\n", width, height);
    CHECK(width > 0);
    CHECK(height > 0);
    CHECK(width == GetSystemMetrics(SM_CXFULLSCREEN));
    CHECK(height == GetSystemMetrics(SM_CYFULLSCREEN));
}

// ---- folder chooser ---------------------------------------------------------------

// Answers the folder chooser from a second thread, as a user would: finds the dialog of
// this process, notes whether it has an edit box, and presses a button.
struct Answer
{
    int button = IDCANCEL;
    bool sawDialog = false;
    bool hadEditBox = false;
    std::wstring caption;
};

BOOL CALLBACK findDialog(HWND window, LPARAM param)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) && wcscmp(className, L"#32770") == 0) {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK findEdit(HWND window, LPARAM param)
{
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (wcscmp(className, L"Edit") == 0)
        *reinterpret_cast<bool*>(param) = true;
    return TRUE;
}

DWORD WINAPI answerDialog(void* param)
{
    auto* answer = static_cast<Answer*>(param);
    for (int i = 0; i < 200; ++i) {  // 20 s at most
        HWND dialog = nullptr;
        EnumWindows(findDialog, reinterpret_cast<LPARAM>(&dialog));
        if (dialog) {
            Sleep(500);  // let the initial selection settle
            answer->sawDialog = true;
            EnumChildWindows(dialog, findEdit, reinterpret_cast<LPARAM>(&answer->hadEditBox));
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(answer->button, BN_CLICKED), 0);
            return 0;
        }
        Sleep(100);
    }
    return 0;
}

std::wstring browseAndAnswer(const std::wstring& initial, const std::wstring& title, Answer& answer)
{
    HANDLE thread = CreateThread(nullptr, 0, answerDialog, &answer, 0, nullptr);
    const std::wstring chosen = winplatform::browseForFolder(initial, title);
    WaitForSingleObject(thread, 30000);
    CloseHandle(thread);
    return chosen;
}

bool canShowWindows()
{
    HWND window = CreateWindowExW(0, L"STATIC", L"probe", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (!window)
        return false;
    DestroyWindow(window);
    return true;
}

void testBrowseForFolder()
{
    if (!canShowWindows()) {
        std::printf("folder chooser: no display, not tried\n");
        return;
    }
    OleInitialize(nullptr);  // the chooser needs a single-threaded apartment
    const std::wstring windows = winplatform::windowsDirectory();
    const std::wstring system = winplatform::systemDirectory();
    struct Row { const wchar_t* tag; std::wstring initial; std::wstring title; int button; std::wstring expected; };
    const Row rows[] = {
        {L"OK keeps the initial folder", system, L"Choose a folder", IDOK, system},
        {L"OK on the Windows directory", windows, L"Choose a folder", IDOK, windows},
        {L"a drive root keeps its separator", L"C:\\", L"Choose a folder", IDOK, L"C:\\"},
        {L"Cancel gives nothing", system, L"Choose a folder", IDCANCEL, L""},
        {L"a title past 259 characters", system, std::wstring(400, L't'), IDCANCEL, L""},
    };
    for (const Row& row : rows) {
        Answer answer;
        answer.button = row.button;
        const std::wstring chosen = browseAndAnswer(row.initial, row.title, answer);
        std::printf("folder chooser, %ls: '%ls'\n", row.tag, chosen.c_str());
        CHECK_ROW(answer.sawDialog, row.tag);
        CHECK_ROW(answer.hadEditBox, row.tag);  // BIF_EDITBOX
        CHECK_ROW(lower(chosen) == lower(row.expected), row.tag);
    }
    // An initial folder that does not fit the 260-unit buffer is not selected (a cut path
    // would name another folder); OK then gives whatever the chooser starts on.
    Answer answer;
    answer.button = IDOK;
    const std::wstring longPath = system + L"\\" + std::wstring(300, L'x');
    const std::wstring chosen = browseAndAnswer(longPath, L"Choose a folder", answer);
    std::printf("folder chooser, initial folder past 259 characters: '%ls'\n", chosen.c_str());
    CHECK(answer.sawDialog);
    CHECK(chosen.size() < 260);
    CHECK(lower(chosen).find(L"xxxx") == std::wstring::npos);
    OleUninitialize();
}

// ---- module loader ----------------------------------------------------------------

std::uint16_t u16(const Bytes& bytes, std::size_t offset)
{
    return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

std::uint32_t u32(const Bytes& bytes, std::size_t offset)
{
    return u16(bytes, offset) | (std::uint32_t(u16(bytes, offset + 2)) << 16);
}

Bytes readFile(const std::wstring& path)
{
    Bytes bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (64 << 20)) {
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD read = 0;
        if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)
            || read != bytes.size())
            bytes.clear();
    }
    CloseHandle(file);
    return bytes;
}

bool writeFile(const std::wstring& path, const Bytes& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)
                    && written == bytes.size();
    CloseHandle(file);
    return ok;
}

// An .ico file as windres sees it: the 16-byte directory entries and their payloads.
struct IcoImage
{
    Bytes entry;  // 16 bytes
    Bytes payload;
};

std::vector<IcoImage> readIco(const Bytes& file)
{
    std::vector<IcoImage> images;
    if (file.size() < 6)
        return images;
    const std::size_t count = u16(file, 4);
    if (6 + 16 * count > file.size())
        return images;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = 6 + 16 * i;
        const std::uint64_t size = u32(file, at + 8);
        const std::uint64_t offset = u32(file, at + 12);
        if (offset + size > file.size())
            return {};
        IcoImage image;
        image.entry.assign(file.begin() + at, file.begin() + at + 16);
        image.payload.assign(file.begin() + offset, file.begin() + offset + size);
        images.push_back(image);
    }
    return images;
}

// The RT_GROUP_ICON payload a resource compiler makes from an .ico file whose images
// became the RT_ICON resources firstId, firstId + 1, ...
Bytes expectedGroup(const Bytes& ico, std::uint16_t firstId)
{
    const std::vector<IcoImage> images = readIco(ico);
    Bytes group(ico.begin(), ico.begin() + 6);
    for (std::size_t i = 0; i < images.size(); ++i) {
        group.insert(group.end(), images[i].entry.begin(), images[i].entry.begin() + 12);
        const auto id = static_cast<std::uint16_t>(firstId + i);
        group.push_back(static_cast<std::uint8_t>(id & 0xFF));
        group.push_back(static_cast<std::uint8_t>(id >> 8));
    }
    return group;
}

std::wstring nameText(const ResourceName& name)
{
    return name.isId ? L"#" + std::to_wstring(name.id) : name.name;
}

// Keep in step with fixture.rc, which run-wine-tests.sh writes.
void testFixtureModule(const std::wstring& fixtureDir)
{
    const Bytes twoImages = readFile(fixtureDir + L"\\two.ico");
    const Bytes oneImage = readFile(fixtureDir + L"\\one.ico");
    const Bytes threeImages = readFile(fixtureDir + L"\\three.ico");
    CHECK(readIco(twoImages).size() == 2);
    CHECK(readIco(oneImage).size() == 1);
    CHECK(readIco(threeImages).size() == 3);

    Module module(fixtureDir + L"\\fixture.dll");
    CHECK(module.isOpen());
    bool ok = false;
    const std::vector<ResourceName> names = module.iconGroupNames(&ok);
    CHECK(ok);
    // The loader lists string names first (in upper case, sorted), then IDs ascending.
    std::wstring listed;
    for (const ResourceName& name : names)
        listed += nameText(name) + L" ";
    std::printf("fixture groups: %ls\n", listed.c_str());
    CHECK(listed == L"NAMED #1 #300 ");

    // windres numbers the RT_ICON resources 1, 2, ... in the order the .ico files appear.
    struct Row { ResourceName name; const Bytes* ico; std::uint16_t firstIcon; };
    ResourceName named;
    named.isId = false;
    named.name = L"NAMED";
    ResourceName one;
    one.id = 1;
    ResourceName three;
    three.id = 300;
    const Row rows[] = {
        {one, &twoImages, 1},
        {three, &oneImage, 3},
        {named, &threeImages, 4},
    };
    for (const Row& row : rows) {
        const std::wstring tag = nameText(row.name);
        Bytes group;
        CHECK_ROW(module.groupData(row.name, group), tag);
        CHECK_ROW(group == expectedGroup(*row.ico, row.firstIcon), tag);
        const std::vector<IcoImage> images = readIco(*row.ico);
        for (std::size_t i = 0; i < images.size(); ++i) {
            Bytes icon;
            CHECK_ROW(module.iconData(static_cast<std::uint16_t>(row.firstIcon + i), icon), tag);
            CHECK_ROW(icon == images[i].payload, tag);
        }
    }

    // Looked up by name the loader ignores case, as it does on Windows.
    ResourceName lowerName;
    lowerName.isId = false;
    lowerName.name = L"named";
    Bytes group;
    CHECK(module.groupData(lowerName, group) && group == expectedGroup(threeImages, 4));

    // Misses leave the output as it was.
    struct Miss { const wchar_t* tag; ResourceName name; };
    ResourceName absentId;
    absentId.id = 2;
    ResourceName absentName;
    absentName.isId = false;
    absentName.name = L"ABSENT";
    ResourceName emptyName;
    emptyName.isId = false;
    const Miss misses[] = {
        {L"absent ID", absentId},
        {L"absent name", absentName},
        {L"empty name", emptyName},
    };
    for (const Miss& miss : misses) {
        Bytes out = {9, 9};
        CHECK_ROW(!module.groupData(miss.name, out), miss.tag);
        CHECK_ROW(out == Bytes({9, 9}), miss.tag);
    }
    Bytes out = {9};
    CHECK(!module.iconData(99, out));
    CHECK(out == Bytes({9}));
    // A group ID is not an icon ID, and the other way round.
    CHECK(!module.iconData(300, out));
    ResourceName iconId;
    iconId.id = 2;
    CHECK(!module.groupData(iconId, out));
}

void testModulesThatDoNotLoad(const std::wstring& fixtureDir)
{
    const std::wstring notPe = fixtureDir + L"\\not-a-module.dll";
    CHECK(writeFile(notPe, Bytes({'M', 'Z', 'n', 'o', 't', ' ', 'P', 'E'})));
    const std::wstring paths[] = {
        fixtureDir + L"\\no-such-file.dll",
        notPe,
        fixtureDir,  // a folder
        L"",
    };
    for (const std::wstring& path : paths) {
        Module module(path);
        CHECK_ROW(!module.isOpen(), path);
        bool ok = true;
        CHECK_ROW(module.iconGroupNames(&ok).empty(), path);
        CHECK_ROW(!ok, path);
        Bytes out;
        ResourceName name;
        name.id = 1;
        CHECK_ROW(!module.groupData(name, out) && !module.iconData(1, out), path);
    }
    // A module without any resources enumerates nothing and says so.
    Module plain(fixtureDir + L"\\plain.dll");
    CHECK(plain.isOpen());
    bool ok = true;
    CHECK(plain.iconGroupNames(&ok).empty());
}

// Finds the resource data entry (16 bytes: RVA, size, code page, reserved) of the first
// RT_ICON in a PE file, for the test that lies about its size.  0 when not found.
std::size_t firstIconDataEntry(const Bytes& file)
{
    auto inside = [&](std::uint64_t offset, std::uint64_t size) {
        return offset + size <= file.size();
    };
    if (!inside(0, 64) || u16(file, 0) != 0x5A4D)
        return 0;
    const std::uint64_t pe = u32(file, 0x3C);
    if (!inside(pe, 24) || u32(file, pe) != 0x4550)
        return 0;
    const std::uint64_t sections = u16(file, pe + 6);
    const std::uint64_t optional = pe + 24;
    const std::uint64_t optionalSize = u16(file, pe + 20);
    if (!inside(optional, 2) || u16(file, optional) != 0x20B || !inside(optional, 136))
        return 0;
    const std::uint32_t resourceRva = u32(file, optional + 112 + 16);
    const std::uint64_t table = optional + optionalSize;
    std::uint64_t root = 0;
    for (std::uint64_t i = 0; i < sections && inside(table + 40 * i, 40); ++i) {
        const std::uint64_t at = table + 40 * i;
        const std::uint32_t virtualSize = u32(file, at + 8);
        const std::uint32_t address = u32(file, at + 12);
        if (resourceRva >= address && resourceRva - address < virtualSize)
            root = u32(file, at + 20) + (resourceRva - address);
    }
    if (!root || !inside(root, 16))
        return 0;
    // root -> type 3 -> first name -> first language -> data entry
    auto findEntry = [&](std::uint64_t directory, bool wantId, std::uint32_t id) -> std::uint64_t {
        if (!inside(directory, 16))
            return 0;
        const std::uint64_t count = u16(file, directory + 12) + std::uint64_t(u16(file, directory + 14));
        for (std::uint64_t i = 0; i < count && inside(directory + 16 + 8 * i, 8); ++i) {
            const std::uint64_t at = directory + 16 + 8 * i;
            if (!wantId || u32(file, at) == id)
                return u32(file, at + 4);
        }
        return 0;
    };
    const std::uint64_t typeDir = findEntry(root, true, 3);
    if (!(typeDir & 0x80000000u))
        return 0;
    const std::uint64_t nameDir = findEntry(root + (typeDir & 0x7FFFFFFFu), false, 0);
    if (!(nameDir & 0x80000000u))
        return 0;
    const std::uint64_t data = findEntry(root + (nameDir & 0x7FFFFFFFu), false, 0);
    if (data & 0x80000000u || !inside(root + data, 16))
        return 0;
    return static_cast<std::size_t>(root + data);
}

void testResourceSizeBeyondTheImage(const std::wstring& fixtureDir)
{
    Bytes file = readFile(fixtureDir + L"\\fixture.dll");
    const std::size_t entry = firstIconDataEntry(file);
    CHECK(entry != 0);
    if (entry == 0)
        return;
    struct Row { const wchar_t* tag; std::uint32_t size; };
    const Row rows[] = {
        {L"2 GiB", 0x7FFFFFF0u},
        {L"just past the image", 0x00100000u},
        {L"4 GiB - 1", 0xFFFFFFFFu},
    };
    int index = 0;
    for (const Row& row : rows) {
        for (int i = 0; i < 4; ++i)
            file[entry + 4 + i] = static_cast<std::uint8_t>(row.size >> (8 * i));
        const std::wstring path = fixtureDir + L"\\lying" + std::to_wstring(index++) + L".dll";
        CHECK_ROW(writeFile(path, file), row.tag);
        Module module(path);
        if (!module.isOpen()) {
            ++g_passed;  // the loader refusing the file is fine too
            continue;
        }
        Bytes out = {7};
        // Either the loader or the module refuses it; reading it would run off the mapping.
        CHECK_ROW(!module.iconData(1, out), row.tag);
        CHECK_ROW(out == Bytes({7}), row.tag);
        Bytes intact;
        CHECK_ROW(module.iconData(2, intact) && !intact.empty(), row.tag);
    }
}

// ---- the program's own resources -------------------------------------------------

// The application icon group IDI_ICON1 and the manifest (RT_MANIFEST 1) as the loader
// sees them in a library linked from glyphora.rc.  With the real artwork the group must
// hold 16, 32 and 48 pixels at 8 bits and 16, 32, 48 and 256 pixels at 32 bits.
void testApplicationResources(const std::wstring& path, bool artwork)
{
    Module module(path);
    CHECK_ROW(module.isOpen(), path);
    ResourceName icon;
    icon.isId = false;
    icon.name = L"IDI_ICON1";
    Bytes group;
    CHECK(module.groupData(icon, group));
    CHECK(group.size() >= 6 && u16(group, 2) == 1);
    const std::size_t count = group.size() >= 6 ? u16(group, 4) : 0;
    CHECK(count > 0 && group.size() >= 6 + 14 * count);
    std::vector<std::pair<int, int>> formats;  // (bits, side)
    for (std::size_t i = 0; i < count && 6 + 14 * (i + 1) <= group.size(); ++i) {
        const std::size_t at = 6 + 14 * i;
        const int side = group[at] == 0 ? 256 : group[at];
        formats.emplace_back(u16(group, at + 6), side);
        Bytes image;
        CHECK(module.iconData(u16(group, at + 12), image) && image.size() == u32(group, at + 8));
    }
    if (artwork) {
        std::sort(formats.begin(), formats.end());
        const std::vector<std::pair<int, int>> expected = {
            {8, 16}, {8, 32}, {8, 48}, {32, 16}, {32, 32}, {32, 48}, {32, 256}};
        CHECK(formats == expected);
    }

    HMODULE raw = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    CHECK(raw != nullptr);
    if (!raw)
        return;
    HRSRC manifest = FindResourceW(raw, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    CHECK(manifest != nullptr);
    if (manifest) {
        const char* text = static_cast<const char*>(LockResource(LoadResource(raw, manifest)));
        const std::string xml = text ? std::string(text, SizeofResource(raw, manifest)) : std::string();
        CHECK(xml.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"") != std::string::npos);
    }
    FreeLibrary(raw);
}

// ---- dumps of real libraries ------------------------------------------------------

BOOL CALLBACK collectIconId(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param)
{
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::vector<std::uint16_t>*>(param)->push_back(
            static_cast<std::uint16_t>(reinterpret_cast<ULONG_PTR>(name)));
    return TRUE;
}

// Every integer RT_ICON ID, straight from the loader (the Module class lists groups only).
std::vector<std::uint16_t> iconIds(const std::wstring& path)
{
    std::vector<std::uint16_t> ids;
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module)
        return ids;
    EnumResourceNamesW(module, MAKEINTRESOURCEW(3), collectIconId, reinterpret_cast<LONG_PTR>(&ids));
    FreeLibrary(module);
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::string hex(const Bytes& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * bytes.size());
    for (std::uint8_t byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

// A resource name as one token: #ID, or the string with anything but letters, digits
// and '_' written as %XXXX (its UTF-16 unit).
std::string nameToken(const ResourceName& name)
{
    if (name.isId)
        return "#" + std::to_string(name.id);
    std::string token;
    for (wchar_t unit : name.name) {
        if ((unit >= L'A' && unit <= L'Z') || (unit >= L'a' && unit <= L'z')
            || (unit >= L'0' && unit <= L'9') || unit == L'_') {
            token += static_cast<char>(unit);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "%%%04X", static_cast<unsigned>(unit) & 0xFFFF);
            token += escaped;
        }
    }
    return token;
}

std::wstring fileName(const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

void testLibrary(const std::wstring& library, const std::wstring& dumpDir)
{
    const std::wstring path = library.find(L'\\') == std::wstring::npos
                                  ? winplatform::systemDirectory() + L"\\" + library
                                  : library;
    Module module(path);
    CHECK_ROW(module.isOpen(), path);
    if (!module.isOpen())
        return;
    bool ok = false;
    const std::vector<ResourceName> names = module.iconGroupNames(&ok);
    CHECK_ROW(ok, path);
    CHECK_ROW(!names.empty(), path);

    std::string dump = "glyphora-icon-dump 1\n";
    std::size_t images = 0;
    std::size_t missing = 0;
    for (const ResourceName& name : names) {
        Bytes group;
        const bool found = module.groupData(name, group);
        CHECK_ROW(found && group.size() >= 6, path + L" " + nameText(name));
        if (!found)
            continue;
        dump += "group " + nameToken(name) + " " + std::to_string(group.size()) + " " + hex(group) + "\n";
        // Every entry the directory holds names an RT_ICON that the loader can hand out.
        const std::size_t count = group.size() >= 6 ? u16(group, 4) : 0;
        for (std::size_t i = 0; i < count && 6 + 14 * (i + 1) <= group.size(); ++i) {
            Bytes icon;
            if (module.iconData(u16(group, 6 + 14 * i + 12), icon) && !icon.empty())
                ++images;
            else
                ++missing;
        }
    }
    for (std::uint16_t id : iconIds(path)) {
        Bytes icon;
        CHECK_ROW(module.iconData(id, icon) && !icon.empty(), path + L" icon " + std::to_wstring(id));
        dump += "icon #" + std::to_string(id) + " " + std::to_string(icon.size()) + " " + hex(icon) + "\n";
    }
    std::printf("%ls: %zu groups, %zu images, %zu missing\n", path.c_str(), names.size(), images, missing);
    CHECK_ROW(images > 0 && missing == 0, path);

    if (!dumpDir.empty()) {
        const std::wstring out = dumpDir + L"\\" + fileName(path) + L".loader.txt";
        CHECK_ROW(writeFile(out, Bytes(dump.begin(), dump.end())), out);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::printf("usage: winplatform_test FIXTURE_DIR [--dump DUMP_DIR] [LIBRARY...]\n");
        return 2;
    }
    const std::wstring fixtureDir = argv[1];
    std::wstring dumpDir;
    std::wstring appResources;
    bool artwork = false;
    std::vector<std::wstring> libraries;
    for (int i = 2; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--dump" && i + 1 < argc)
            dumpDir = argv[++i];
        else if (arg == L"--app-resources" && i + 1 < argc)
            appResources = argv[++i];
        else if (arg == L"--artwork")
            artwork = true;
        else if (arg == L"--placeholder")
            artwork = false;
        else
            libraries.push_back(arg);
    }

    RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot);
    testDwordRoundTrip();
    testDwordReadFailures();
    testStringRoundTrip();
    testStringReadOddValues();
    testStringReadFailures();
    testWriteFailures();
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot);

    testFolders();
    testMetrics();
    testBrowseForFolder();

    testFixtureModule(fixtureDir);
    testModulesThatDoNotLoad(fixtureDir);
    testResourceSizeBeyondTheImage(fixtureDir);
    if (!appResources.empty())
        testApplicationResources(appResources, artwork);
    for (const std::wstring& library : libraries)
        testLibrary(library, dumpDir);

    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    std::fflush(stdout);
    return g_failed == 0 ? 0 : 1;
}

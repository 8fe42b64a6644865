#include "winmodule.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cwchar>
#include <new>

namespace winplatform {

namespace {

constexpr WORD kTypeIcon = 3;        // RT_ICON
constexpr WORD kTypeGroupIcon = 14;  // RT_GROUP_ICON
// An icon image is at most a 256 x 256 PNG or 32-bit DIB with its mask (about 330 KiB);
// a resource far beyond this is not an icon and is not copied.
constexpr DWORD kMaxResourceBytes = 64 * 1024 * 1024;

HMODULE moduleOf(void* handle)
{
    return static_cast<HMODULE>(handle);
}

struct NameCollector
{
    std::vector<ResourceName>* names = nullptr;
    bool failed = false;
};

BOOL CALLBACK collectGroupName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param)
{
    auto* collector = reinterpret_cast<NameCollector*>(param);
    // No exception may travel through the loader's frames.
    try {
        ResourceName entry;
        if (IS_INTRESOURCE(name)) {
            entry.isId = true;
            entry.id = static_cast<std::uint16_t>(reinterpret_cast<ULONG_PTR>(name));
        } else {
            entry.isId = false;
            entry.name = name;
        }
        collector->names->push_back(std::move(entry));
    } catch (const std::bad_alloc&) {
        collector->failed = true;
    }
    return TRUE;
}

BOOL CALLBACK visitType(HMODULE module, LPWSTR type, LONG_PTR param)
{
    // Only the names of RT_GROUP_ICON are wanted; named types are never it.
    if (IS_INTRESOURCE(type) && reinterpret_cast<ULONG_PTR>(type) == kTypeGroupIcon)
        EnumResourceNamesW(module, type, collectGroupName, param);
    return TRUE;
}

// True when every byte of [data, data + size) is committed, readable memory: the
// loader takes a resource's size from the file, and a data-file mapping does not
// check it against the image.
bool isReadable(const void* data, std::size_t size)
{
    const auto* at = static_cast<const unsigned char*>(data);
    const auto* end = at + size;
    while (at < end) {
        MEMORY_BASIC_INFORMATION info = {};
        if (VirtualQuery(at, &info, sizeof(info)) != sizeof(info))
            return false;
        if (info.State != MEM_COMMIT)
            return false;
        const DWORD protect = info.Protect & 0xFF;
        if ((info.Protect & PAGE_GUARD) || protect == PAGE_NOACCESS || protect == PAGE_EXECUTE)
            return false;
        const auto* regionEnd = static_cast<const unsigned char*>(info.BaseAddress) + info.RegionSize;
        if (regionEnd <= at)
            return false;
        at = regionEnd;
    }
    return true;
}

bool copyResource(void* handle, LPCWSTR name, WORD type, std::vector<std::uint8_t>& out)
{
    if (!handle)
        return false;
    const HMODULE module = moduleOf(handle);
    HRSRC resource = FindResourceW(module, name, MAKEINTRESOURCEW(type));
    if (!resource)
        return false;
    HGLOBAL loaded = LoadResource(module, resource);
    if (!loaded)
        return false;
    const void* data = LockResource(loaded);
    const DWORD size = SizeofResource(module, resource);
    if (!data || size == 0 || size > kMaxResourceBytes || !isReadable(data, size))
        return false;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    try {
        std::vector<std::uint8_t> copy(bytes, bytes + size);
        out.swap(copy);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

} // namespace

Module::Module(const std::wstring& path)
{
    m_handle = LoadLibraryExW(path.c_str(), nullptr,
                              LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
}

Module::~Module()
{
    if (m_handle)
        FreeLibrary(moduleOf(m_handle));
}

std::vector<ResourceName> Module::iconGroupNames(bool* ok) const
{
    std::vector<ResourceName> names;
    NameCollector collector;
    collector.names = &names;
    bool completed = false;
    if (m_handle) {
        completed = EnumResourceTypesW(moduleOf(m_handle), visitType,
                                       reinterpret_cast<LONG_PTR>(&collector)) != FALSE;
    }
    if (ok)
        *ok = completed && !collector.failed;
    return names;
}

bool Module::groupData(const ResourceName& name, std::vector<std::uint8_t>& out) const
{
    if (name.isId)
        return copyResource(m_handle, MAKEINTRESOURCEW(name.id), kTypeGroupIcon, out);
    if (name.name.empty())
        return false;
    return copyResource(m_handle, name.name.c_str(), kTypeGroupIcon, out);
}

bool Module::iconData(std::uint16_t id, std::vector<std::uint8_t>& out) const
{
    return copyResource(m_handle, MAKEINTRESOURCEW(id), kTypeIcon, out);
}

} // namespace winplatform

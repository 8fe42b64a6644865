#pragma once

// The Windows module loader seen as a resource source: a library loaded as a data file
// (LoadLibraryExW with LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE, so no
// code runs), its RT_GROUP_ICON names enumerated with EnumResourceTypesW and
// EnumResourceNamesW, and payloads read with FindResourceW, LoadResource, LockResource
// and SizeofResource.  Plain C++, no Qt.

#include <cstdint>
#include <string>
#include <vector>

namespace winplatform {

// A resource name as the loader reports it: an integer ID or a string.
struct ResourceName
{
    bool isId = true;
    std::uint16_t id = 0;
    std::wstring name;
};

class Module
{
public:
    explicit Module(const std::wstring& path);
    ~Module();  // FreeLibrary
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    bool isOpen() const { return m_handle != nullptr; }

    // Every RT_GROUP_ICON name, in the loader's order.  ok (if given) is false when the
    // type enumeration did not complete.
    std::vector<ResourceName> iconGroupNames(bool* ok = nullptr) const;
    // The payload of an RT_GROUP_ICON (type 14) or an RT_ICON (type 3); false when the
    // resource is missing.
    bool groupData(const ResourceName& name, std::vector<std::uint8_t>& out) const;
    bool iconData(std::uint16_t id, std::vector<std::uint8_t>& out) const;

private:
    void* m_handle = nullptr;  // HMODULE
};

} // namespace winplatform

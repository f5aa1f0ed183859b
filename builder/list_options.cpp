#include "list_options.h"

#include <windows.h>

#include "error.h"
#include "handles.h"

namespace orvalis {

namespace {

constexpr wchar_t kOptionsKey[] = L"Software\\Orvalis\\Options";
constexpr wchar_t kExpandNested[] = L"ExpandNested";
constexpr wchar_t kListFormat[] = L"ListFormat";

constexpr struct {
    ListFormat format;
    const wchar_t* name;
} kFormatNames[] = {
    {ListFormat::AddressName, L"address-name"},
    {ListFormat::Mailman, L"mailman"},
    {ListFormat::Csv, L"csv"},
};

orv::RegKey CreateOptionsKey() {
    orv::RegKey key;
    orv::ThrowIfWin32Failed(RegCreateKeyExW(HKEY_CURRENT_USER, kOptionsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr),
                          kOptionsKey);
    return key;
}

// A value of the key, read with the type and size asked for; false where it isn't so.
bool ReadValue(HKEY key, const wchar_t* name, DWORD type, void* data, DWORD size, DWORD* read) {
    DWORD actualType = 0;
    *read = size;
    return RegQueryValueExW(key, name, nullptr, &actualType, static_cast<BYTE*>(data), read) == ERROR_SUCCESS &&
           actualType == type;
}

}  // namespace

ListOptions ReadListOptions() noexcept {
    ListOptions options;
    orv::RegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kOptionsKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return options;
    DWORD flag = 0, read = 0;
    if (ReadValue(key.get(), kExpandNested, REG_DWORD, &flag, sizeof flag, &read) && read == sizeof flag && flag <= 1)
        options.expandNested = flag == 1;
    // The longest name fits with room to spare; anything longer is no name of ours.
    wchar_t name[16] = {};
    if (ReadValue(key.get(), kListFormat, REG_SZ, name, sizeof name - sizeof(wchar_t), &read)) {
        const size_t chars = read / sizeof(wchar_t);
        const std::wstring text(name, chars && name[chars - 1] == L'\0' ? chars - 1 : chars);
        if (const std::optional<ListFormat> format = ListFormatNamed(text)) options.format = *format;
    }
    return options;
}

void WriteExpandNested(bool expandNested) {
    const DWORD flag = expandNested ? 1 : 0;
    orv::ThrowIfWin32Failed(RegSetValueExW(CreateOptionsKey().get(), kExpandNested, 0, REG_DWORD,
                                         reinterpret_cast<const BYTE*>(&flag), sizeof flag),
                          kExpandNested);
}

void WriteListFormat(ListFormat format) {
    const std::wstring name = ListFormatName(format);
    orv::ThrowIfWin32Failed(RegSetValueExW(CreateOptionsKey().get(), kListFormat, 0, REG_SZ,
                                         reinterpret_cast<const BYTE*>(name.c_str()),
                                         static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t))),
                          kListFormat);
}

const wchar_t* ListFormatName(ListFormat format) noexcept {
    for (const auto& f : kFormatNames)
        if (f.format == format) return f.name;
    return kFormatNames[0].name;
}

std::optional<ListFormat> ListFormatNamed(const std::wstring& name) noexcept {
    for (const auto& f : kFormatNames)
        if (name == f.name) return f.format;
    return std::nullopt;
}

}  // namespace orvalis

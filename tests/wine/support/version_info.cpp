#include "version_info.h"

namespace orvtest {

std::vector<BYTE> VersionBlock(const std::wstring& path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<BYTE> block(size);
    if (size && !GetFileVersionInfoW(path.c_str(), 0, size, block.data())) block.clear();
    return block;
}

std::wstring VersionString(const std::vector<BYTE>& block, const std::wstring& name) {
    wchar_t* text = nullptr;
    UINT length = 0;
    std::wstring path = L"\\StringFileInfo\\040904B0\\" + name;
    if (block.empty() || !VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &length) || !text)
        return L"<missing>";
    return std::wstring(text, wcsnlen(text, length));
}

const VS_FIXEDFILEINFO* FixedVersion(const std::vector<BYTE>& block) {
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (block.empty() || !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length)) return nullptr;
    return info;
}

}  // namespace orvtest

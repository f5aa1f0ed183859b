#pragma once
// A file's version resource, read back the way Explorer's property page reads it.
#include <windows.h>

#include <string>
#include <vector>

namespace orvtest {

// The whole resource; empty when the file has none.
std::vector<BYTE> VersionBlock(const std::wstring& path);
// A string of its US English Unicode table ("FileVersion", ...); "<missing>" when absent.
std::wstring VersionString(const std::vector<BYTE>& block, const std::wstring& name);
// Its fixed part; null when absent.
const VS_FIXEDFILEINFO* FixedVersion(const std::vector<BYTE>& block);

}  // namespace orvtest

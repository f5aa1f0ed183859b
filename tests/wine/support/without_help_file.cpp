#include "without_help_file.h"

#include <windows.h>

#include "wine_test.h"

namespace orvtest {

namespace {
std::wstring AsidePath() { return CompiledHelpPath() + L".aside"; }
}  // namespace

std::wstring CompiledHelpPath() { return BuildPath(L"addin\\orvalis.chm"); }

WithoutHelpFile::WithoutHelpFile() {
    if (!MoveFileExW(CompiledHelpPath().c_str(), AsidePath().c_str(), MOVEFILE_REPLACE_EXISTING))
        error_ = L"could not move " + CompiledHelpPath() + L" aside: error " + std::to_wstring(GetLastError());
}

WithoutHelpFile::~WithoutHelpFile() { Restore(); }

void WithoutHelpFile::Restore() {
    if (GetFileAttributesW(AsidePath().c_str()) != INVALID_FILE_ATTRIBUTES)
        MoveFileExW(AsidePath().c_str(), CompiledHelpPath().c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace orvtest

#pragma once
// The registered add-in without its compiled help beside it, as a developer build registered
// from another folder: while a WithoutHelpFile lives, the build's addin\orvalis.chm is moved
// aside, and the add-in's help goes through WinHelp. Every Wine test program starts by putting
// back what one that died inside a WithoutHelpFile left aside.
#include <string>

namespace orvtest {

class WithoutHelpFile {
public:
    WithoutHelpFile();
    ~WithoutHelpFile();
    WithoutHelpFile(const WithoutHelpFile&) = delete;
    WithoutHelpFile& operator=(const WithoutHelpFile&) = delete;
    // True when the compiled help is no longer beside the add-in.
    bool ok() const { return error_.empty(); }
    const std::wstring& error() const { return error_; }
    // Puts the compiled help back beside the add-in when it is aside.
    static void Restore();

private:
    std::wstring error_;
};

// The compiled help beside the build's registered add-in.
std::wstring CompiledHelpPath();

}  // namespace orvtest

#include "nested_directory.h"

namespace orvtest {

std::wstring ChainDirectory(size_t depth) {
    std::wstring json = L"[";
    json.reserve(depth * 160);
    for (size_t n = 1; n <= depth; ++n) {
        const std::wstring id = L"chain" + std::to_wstring(n);
        const std::wstring member = n < depth ? L"chain" + std::to_wstring(n + 1) : L"bottom";
        json += L"{\"id\":\"" + id + L"\",\"name\":\"Chain " + std::to_wstring(n) + L"\",\"type\":\"EX\",\"address\":\"/o=Ex/cn=" +
                id + L"\",\"fields\":{\"PR_SMTP_ADDRESS\":\"" + id + L"@example.com\"},\"members\":[\"" + member + L"\"]},\n";
    }
    return json + L"{\"id\":\"bottom\",\"name\":\"Bottom\",\"type\":\"SMTP\",\"address\":\"bottom@example.com\"}]";
}

std::wstring ChainScenario(size_t depth) {
    return L"{\"cdo\":{\"directory\":" + ChainDirectory(depth) + L",\"picks\":[[\"chain1\"]]}}";
}

}  // namespace orvtest

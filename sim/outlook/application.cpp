// Placeholder until the mail-client stand-in lands.
#include "parts.h"
#include "sim_object.h"

namespace sim {
namespace {
const IID IID_Application = {0x00063001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
class Application : public Object {
public:
    Application() : Object(L"Application", L"", {IID_Application}) {}
};
}  // namespace
HRESULT GetOutlookApplication(IUnknown** out) {
    *out = static_cast<IDispatch*>(new Application);
    return S_OK;
}
}  // namespace sim

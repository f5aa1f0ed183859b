// Placeholder until the CDO stand-in lands: a session that answers nothing.
#include "parts.h"
#include "sim_object.h"

namespace sim {
namespace {
const IID IID_CdoSession = {0x3FA7DEA8, 0x6438, 0x101B, {0xAC, 0xC1, 0x00, 0xAA, 0x00, 0x42, 0x33, 0x26}};
class Session : public Object {
public:
    Session() : Object(L"Session", L"", {IID_CdoSession}) {}
};
}  // namespace
HRESULT CreateCdoSession(IUnknown** out) {
    *out = static_cast<IDispatch*>(new Session);
    return S_OK;
}
}  // namespace sim

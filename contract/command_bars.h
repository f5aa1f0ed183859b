#pragma once
// The way both deliverables reach the mail client's command bars.
#include "dispatch.h"

namespace contract {

// The command bars of the client's active explorer, fetched afresh on every use: the client
// may rebuild them at any time, so nothing holds them across steps.
inline orv::ComPtr<IDispatch> ActiveCommandBars(IDispatch* app) {
    return orv::GetObj(orv::GetObj(app, L"ActiveExplorer").Get(), L"CommandBars");
}

}  // namespace contract

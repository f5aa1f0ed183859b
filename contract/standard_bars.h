#pragma once
// How both deliverables reach the mail client's command bars, and the walk both make over its
// "Standard" bars: the add-in to put its button on each, the reset program to take it off.
#include <cstdint>
#include <functional>

#include "dispatch.h"
#include "host_contract.h"

namespace contract {

// The command bars of the client's active explorer, fetched afresh on every use: the client
// may rebuild them at any time, so nothing holds them across steps.
inline orv::ComPtr<IDispatch> ActiveCommandBars(IDispatch* app) {
    return orv::GetObj(orv::GetObj(app, L"ActiveExplorer").Get(), L"CommandBars");
}

// Bar i (from 1) of the active explorer's command bars, fetched afresh.
inline orv::ComPtr<IDispatch> CommandBarAt(IDispatch* app, int16_t i) {
    return orv::GetObj(ActiveCommandBars(app).Get(), L"Item", {orv::Variant::I2(i)});
}

// Calls f(i, bar) for each bar i named exactly "Standard", in the bars' order: their count read
// once, as a 16-bit count (error 6 when it doesn't fit), each bar fetched afresh by its index
// for the name test. The walk ends early when f returns false.
inline void ForEachStandardBar(IDispatch* app, const std::function<bool(int16_t, IDispatch*)>& f) {
    const int16_t n = orv::ToCount16(orv::Call(ActiveCommandBars(app).Get(), L"Count"));
    for (int i = 1; i <= n; ++i) {
        const orv::ComPtr<IDispatch> bar = CommandBarAt(app, static_cast<int16_t>(i));
        if (orv::GetString(bar.Get(), L"Name") != kStandardBar) continue;
        if (!f(static_cast<int16_t>(i), bar.Get())) return;
    }
}

}  // namespace contract

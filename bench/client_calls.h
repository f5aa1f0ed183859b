#pragma once
// The calls "Create List" makes through the mail client's own address book, for a bench to
// replay bare (the same late-bound calls, in the same order, nothing done with the answers).
#include <windows.h>
#include <ole2.h>

#include <functional>
#include <string>

#include "dispatch.h"

namespace bench {

// The Select Names dialog and each picked list as "Create List" reaches them; every member,
// fetched by its index, goes to read. The number of members read.
inline int ForEachClientMember(IDispatch* ns, const std::function<void(IDispatch*)>& read) {
    using orv::Variant;
    auto dialog = orv::GetObj(ns, L"GetSelectNamesDialog");
    orv::Put(dialog.Get(), L"Caption", Variant::Str(L"Select Names"));
    orv::Put(dialog.Get(), L"ToLabel", Variant::Str(L"Names"));
    orv::Put(dialog.Get(), L"NumberOfRecipientSelectors", Variant::I4(1));
    orv::Put(dialog.Get(), L"AllowMultipleSelection", Variant::Bool(true));
    orv::Put(dialog.Get(), L"ForceResolution", Variant::Bool(true));
    orv::Call(dialog.Get(), L"Display");
    int members = 0;
    orv::ForEach(orv::GetObj(dialog.Get(), L"Recipients").Get(), [&](const Variant& item) {
        auto entry = orv::GetObj(orv::AsObject(item).Get(), L"AddressEntry");
        orv::ComPtr<IDispatch> list;
        if (orv::ToLong(orv::Call(entry.Get(), L"AddressEntryUserType")) == 1)  // an Exchange list
            list = orv::GetObj(orv::GetObj(entry.Get(), L"GetExchangeDistributionList").Get(), L"GetExchangeDistributionListMembers");
        else  // a contact group
            list = orv::GetObj(entry.Get(), L"Members");
        const int32_t n = orv::ToLong(orv::Call(list.Get(), L"Count"));
        for (int32_t i = 1; i <= n; ++i, ++members) read(orv::GetObj(list.Get(), L"Item", {Variant::I4(i)}).Get());
        return true;
    });
    return members;
}

// A member's one read: its accessor, and GetProperties with the six schema names.
inline void ReadByProperties(IDispatch* member) {
    static const orv::Args* names = [] {
        orv::SafeArray array = orv::SafeArray::Variants(6);
        const wchar_t* tags[] = {L"3002001F", L"3003001F", L"3001001F", L"3A06001F", L"3A11001F", L"39FE001F"};
        for (LONG i = 0; i < 6; ++i) {
            orv::Variant name = orv::Variant::Str(std::wstring(L"http://schemas.microsoft.com/mapi/proptag/0x") + tags[i]);
            SafeArrayPutElement(array.get(), &i, const_cast<VARIANT*>(&name.get()));
        }
        return new orv::Args{orv::Variant::Array(std::move(array))};  // never freed: lives as long as the bench
    }();
    orv::Call(orv::GetObj(member, L"PropertyAccessor").Get(), L"GetProperties", *names);
}

}  // namespace bench

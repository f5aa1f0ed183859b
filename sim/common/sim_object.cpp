#include "sim_object.h"

#include <algorithm>

#include "bstr.h"
#include "error.h"
#include "sim_state.h"

namespace sim {

const VARIANT* CallArgs::At(size_t i) const {
    const VARIANT* v = i < byParam_.size() ? byParam_[i] : nullptr;
    if (!v) return nullptr;
    if (v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
    if (v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND) return nullptr;
    return v;
}

const VARIANT* CallArgs::Named(const wchar_t* param) const {
    for (size_t i = 0; i < params_.size(); ++i)
        if (_wcsicmp(params_[i].c_str(), param) == 0) return At(i);
    return nullptr;
}

Object::Object(std::wstring kind, std::wstring id, std::vector<IID> interfaces)
    : kind_(std::move(kind)), id_(std::move(id)), interfaces_(std::move(interfaces)) {
    CountBirth(kind_);
}

Object::~Object() { CountDeath(kind_); }

HRESULT Object::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    bool known = iid == IID_IUnknown || iid == IID_IDispatch ||
                 std::any_of(interfaces_.begin(), interfaces_.end(), [&](const IID& i) { return i == iid; });
    if (!known) return E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

ULONG Object::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG Object::Release() {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

HRESULT Object::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT Object::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

void Object::Member(const std::wstring& name, std::vector<std::wstring> params, Getter get, Putter put) {
    DISPID id = name == L"_NewEnum" ? DISPID_NEWENUM
              : name == L"Item"     ? DISPID_VALUE
                                    : static_cast<DISPID>(members_.size() + 1);
    members_.push_back(Entry{name, id, std::move(params), std::move(get), std::move(put)});
}

void Object::Value(const std::wstring& name, std::function<Variant()> get) {
    Member(name, {}, [get](const CallArgs&) { return get(); });
}

void Object::Field(const std::wstring& name, std::function<Variant()> get, std::function<void(const VARIANT&)> put) {
    Member(name, {}, [get](const CallArgs&) { return get(); },
           [put](const CallArgs&, const VARIANT& v) { put(v); });
}

void Object::WithLatency(std::initializer_list<const wchar_t*> names) {
    for (Entry& e : members_)
        if (names.size() == 0 || std::any_of(names.begin(), names.end(), [&](const wchar_t* n) { return e.name == n; }))
            e.latent = true;
}

void Object::Hidden(const std::wstring& name) {
    for (Entry& e : members_)
        if (e.name == name) e.hidden = true;
}

const Object::Entry* Object::Find(DISPID id) const {
    for (const Entry& e : members_)
        if (e.id == id) return &e;
    return nullptr;
}

HRESULT Object::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    const Entry* found = nullptr;
    for (const Entry& e : members_)
        if (_wcsicmp(e.name.c_str(), names[0]) == 0) found = &e;
    HRESULT hr = S_OK;
    ids[0] = found ? found->id : DISPID_UNKNOWN;
    if (!found) hr = DISP_E_UNKNOWNNAME;
    for (UINT i = 1; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        if (!found) continue;
        for (size_t p = 0; p < found->params.size(); ++p)
            if (_wcsicmp(found->params[p].c_str(), names[i]) == 0) ids[i] = static_cast<DISPID>(p);
        if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

namespace {

HRESULT Excep(EXCEPINFO* excep, HRESULT hr, const std::wstring& description, const std::wstring& source) {
    if (!excep) return hr;
    *excep = EXCEPINFO{};
    excep->scode = hr;
    excep->bstrDescription = SysAllocString(description.c_str());
    excep->bstrSource = SysAllocString(source.c_str());
    return DISP_E_EXCEPTION;
}

std::wstring DescribeCall(const std::wstring& target, const std::wstring& member, WORD flags, const DISPPARAMS& dp,
                          const std::vector<std::wstring>& params) {
    std::wstring line = target + L"." + member;
    UINT named = dp.cNamedArgs;
    bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    std::vector<std::wstring> parts;
    for (UINT i = dp.cArgs; i-- > named;) parts.push_back(Describe(dp.rgvarg[i]));
    for (UINT i = 0; i < named; ++i) {
        DISPID id = dp.rgdispidNamedArgs[i];
        if (id == DISPID_PROPERTYPUT) continue;
        std::wstring name = id >= 0 && static_cast<size_t>(id) < params.size() ? params[id] : L"?";
        parts.push_back(name + L":=" + Describe(dp.rgvarg[i]));
    }
    line += L"(";
    for (size_t i = 0; i < parts.size(); ++i) line += (i ? L", " : L"") + parts[i];
    line += L")";
    if (put) {
        for (UINT i = 0; i < named; ++i)
            if (dp.rgdispidNamedArgs[i] == DISPID_PROPERTYPUT) line += L" = " + Describe(dp.rgvarg[i]);
    }
    return line;
}

// An array answer with error values in the rule's elements (an element past its end spoils
// nothing); any other answer as it is.
Variant WithElementErrors(const FaultRule& rule, const Variant& real) {
    if (real.vt() != (VT_ARRAY | VT_VARIANT) || SafeArrayGetDim(real.get().parray) != 1) return real;
    Variant spoiled = real;
    SAFEARRAY* a = spoiled.get().parray;
    LONG low = 0, high = -1;
    SafeArrayGetLBound(a, 1, &low);
    SafeArrayGetUBound(a, 1, &high);
    for (LONG i = low; i <= high; ++i) {
        if (rule.element >= 0 && i - low != rule.element) continue;
        VARIANT error;
        error.vt = VT_ERROR;
        error.scode = rule.hr;
        SafeArrayPutElement(a, &i, &error);
    }
    return spoiled;
}

// What a call answers when a fault rule makes it answer wrongly: Nothing, or a value of
// another type than the real answer (a number or Boolean becomes a string that is no number,
// a string an array, an object a number).
Variant WrongAnswer(const FaultRule& rule, const Variant& real) {
    if (rule.answer == FaultAnswer::ElementError) return WithElementErrors(rule, real);
    if (rule.answer == FaultAnswer::Nothing) return Variant::Object(nullptr);
    switch (real.get().vt) {
        case VT_BSTR: {
            Variant v;
            VARIANT* p = v.put();
            p->parray = orv::SafeArray::Variants(0).release();
            p->vt = VT_ARRAY | VT_VARIANT;
            return v;
        }
        case VT_DISPATCH:
        case VT_UNKNOWN: return Variant::I4(1);
        default: return Variant::Str(L"wrong type");
    }
}

}  // namespace

HRESULT Object::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* dp, VARIANT* result, EXCEPINFO* excep,
                       UINT* argErr) {
    DISPPARAMS none{};
    if (!dp) dp = &none;
    const Entry* e = Find(id);
    if (!e) return DISP_E_MEMBERNOTFOUND;
    AddRef();  // a handler may drop the last outside reference while it runs
    struct Hold { Object* o; ~Hold() { o->Release(); } } hold{this};

    std::wstring target = id_.empty() ? kind_ : kind_ + L"[" + id_ + L"]";
    LogLine(DescribeCall(target, e->name, flags, *dp, e->params) + (e->hidden ? L" [hidden]" : L""));
    CountCall(kind_, e->name);
    // A call that goes to the server takes its time, whatever it answers.
    if (e->latent) WaitCallLatency();

    bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    const VARIANT* putValue = nullptr;
    std::vector<const VARIANT*> byParam(e->params.size(), nullptr);
    for (UINT i = 0; i < dp->cNamedArgs; ++i) {
        DISPID n = dp->rgdispidNamedArgs[i];
        if (n == DISPID_PROPERTYPUT) { putValue = &dp->rgvarg[i]; continue; }
        if (n < 0 || static_cast<size_t>(n) >= byParam.size()) { if (argErr) *argErr = i; return DISP_E_PARAMNOTFOUND; }
        byParam[n] = &dp->rgvarg[i];
    }
    // A put must name its value DISPID_PROPERTYPUT, as the automation rules require.
    if (put && !putValue) return DISP_E_PARAMNOTFOUND;
    UINT count = dp->cArgs - dp->cNamedArgs;
    if (count > byParam.size()) return DISP_E_BADPARAMCOUNT;
    for (UINT k = 0; k < count; ++k) byParam[k] = &dp->rgvarg[dp->cArgs - 1 - k];

    const FaultRule* fault = MatchFault(kind_, id_, e->name);
    if (fault && fault->answer == FaultAnswer::Fail) return Excep(excep, fault->hr, fault->description, kind_);

    CallArgs args(e->params, std::move(byParam));
    try {
        if (put) {
            if (!e->put || !putValue) return DISP_E_MEMBERNOTFOUND;
            e->put(args, *putValue);
            return S_OK;
        }
        if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) || !e->get) return DISP_E_MEMBERNOTFOUND;
        Variant r = e->get(args);
        if (fault) r = WrongAnswer(*fault, r);
        if (LogResults()) LogLine(L"<- " + target + L"." + e->name + L" " + TypeName(r.get()));
        if (result) *result = r.detach();
        return S_OK;
    } catch (const Failure& f) {
        return Excep(excep, f.hr, f.description, kind_);
    } catch (const orv::Error& err) {
        return Excep(excep, err.hr(), err.description(), kind_);
    } catch (...) {
        return Excep(excep, E_UNEXPECTED, L"Unexpected failure in the stand-in", kind_);
    }
}

Variant Hand(Object* fresh) {
    Variant v = Variant::Object(fresh);
    fresh->Release();
    return v;
}

namespace {

class Enumerator : public Unknown<IEnumVARIANT> {
public:
    Enumerator(std::vector<Variant> items, size_t pos) : items_(std::move(items)), pos_(pos) { CountBirth(L"Enum"); }
    HRESULT STDMETHODCALLTYPE Next(ULONG celt, VARIANT* out, ULONG* fetched) override {
        if (fetched) *fetched = 0;
        // An enumeration that breaks off half-way: {"object": "Enum", "member": "Next", "skip": k}.
        if (const FaultRule* f = MatchFault(L"Enum", L"", L"Next"))
            if (f->answer == FaultAnswer::Fail) return f->hr;
        ULONG n = 0;
        for (; n < celt && pos_ < items_.size(); ++n, ++pos_) {
            VariantInit(&out[n]);
            VariantCopy(&out[n], const_cast<VARIANT*>(&items_[pos_].get()));
        }
        if (fetched) *fetched = n;
        return n == celt ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override {
        pos_ = std::min<size_t>(items_.size(), pos_ + celt);
        return pos_ < items_.size() ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override { pos_ = 0; return S_OK; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** out) override {
        if (!out) return E_POINTER;
        *out = new Enumerator(items_, pos_);
        return S_OK;
    }

private:
    ~Enumerator() override { CountDeath(L"Enum"); }
    std::vector<Variant> items_;
    size_t pos_;
};

}  // namespace

Variant NewEnum(std::vector<Variant> items) {
    Variant v;
    VARIANT* p = v.put();
    p->vt = VT_UNKNOWN;
    p->punkVal = new Enumerator(std::move(items), 0);
    return v;
}

std::wstring TypeName(const VARIANT& v) {
    if (v.vt == VT_DISPATCH && !v.pdispVal) return L"NOTHING";
    std::wstring text = Describe(v);
    return text.substr(0, text.find(L' '));
}

std::wstring Describe(const VARIANT& v) {
    std::wstring prefix = (v.vt & VT_BYREF) ? L"BYREF " : L"";
    VARIANT value;
    VariantInit(&value);
    VariantCopyInd(&value, const_cast<VARIANT*>(&v));
    std::wstring text;
    switch (value.vt) {
        case VT_EMPTY: text = L"EMPTY"; break;
        case VT_NULL: text = L"NULL"; break;
        case VT_I2: text = L"I2 " + std::to_wstring(value.iVal); break;
        case VT_I4: text = L"I4 " + std::to_wstring(value.lVal); break;
        case VT_UI1: text = L"UI1 " + std::to_wstring(value.bVal); break;
        case VT_R8: text = L"R8 " + std::to_wstring(value.dblVal); break;
        case VT_BOOL: text = value.boolVal ? L"BOOL True" : L"BOOL False"; break;
        case VT_BSTR: text = L"BSTR \"" + std::wstring(value.bstrVal ? value.bstrVal : L"") + L"\""; break;
        case VT_DISPATCH: text = L"DISPATCH"; break;
        case VT_UNKNOWN: text = L"UNKNOWN"; break;
        case VT_ERROR:
            text = value.scode == DISP_E_PARAMNOTFOUND ? L"ERROR missing" : L"ERROR " + std::to_wstring(value.scode);
            break;
        default:
            if (value.vt & VT_ARRAY) text = L"ARRAY";
            else text = L"VT " + std::to_wstring(value.vt);
    }
    VariantClear(&value);
    return prefix + text;
}

}  // namespace sim

#include "member_table.h"

#include <algorithm>
#include <cstring>

#include "line_breaks.h"

namespace orvalis {

namespace {

// True when s holds a line-breaking character. Printable ASCII never breaks a line, so
// only a string with some other unit needs the exact test. The pre-test runs over fixed
// blocks with no early exit, which the compiler turns into a few vector compares.
bool HoldsLineBreak(std::wstring_view s) {
    constexpr std::size_t kBlock = 8;
    auto outside = [](wchar_t c) -> uint32_t { return static_cast<uint32_t>(c) - 0x20u > 0x7Eu - 0x20u; };
    uint32_t block[kBlock] = {};
    std::size_t i = 0;
    for (; i + kBlock <= s.size(); i += kBlock) {
        for (std::size_t k = 0; k < kBlock; ++k) block[k] |= outside(s[i + k]);
    }
    uint32_t seen = 0;
    for (; i < s.size(); ++i) seen |= outside(s[i]);
    for (uint32_t b : block) seen |= b;
    return seen != 0 && HasLineBreaking(s);
}

// The address's units as 64-bit words: four units a word. With 32-bit units the upper
// halves of two units overlap the lower halves of two others, which for characters of
// the basic plane (upper half zero) loses nothing, and for the rest costs at most a
// probe: only lookups depend on the hash, never an answer.
constexpr std::size_t kUnitsPerWord = 4;

uint64_t WordAt(const wchar_t* p) {
    uint64_t w[sizeof(wchar_t) == 4 ? 2 : 1];
    std::memcpy(w, p, sizeof w);
    if constexpr (sizeof(wchar_t) == 4) return w[0] ^ w[1] << 16;
    return w[0];
}

// A multiply-rotate hash over the words in two independent lanes, with a final mix so
// that the low bits, which pick the slot, depend on every unit. The last few units go in
// as the word that ends the string, overlapping units already taken, rather than one by
// one; the length goes in first, so that stays unambiguous enough for an index.
uint32_t HashOf(std::wstring_view s) {
    constexpr uint64_t kMul = 0x9E3779B97F4A7C15ull;
    auto step = [](uint64_t h, uint64_t word) { return ((h << 23 | h >> 41) ^ word) * kMul; };
    const wchar_t* p = s.data();
    const std::size_t n = s.size();
    uint64_t a = n, b = ~a;
    std::size_t i = 0;
    for (; i + 2 * kUnitsPerWord <= n; i += 2 * kUnitsPerWord) {
        a = step(a, WordAt(p + i));
        b = step(b, WordAt(p + i + kUnitsPerWord));
    }
    if (i + kUnitsPerWord <= n) {
        b = step(b, WordAt(p + i));
        i += kUnitsPerWord;
    }
    uint64_t tail = 0;
    if (i < n && n >= kUnitsPerWord) {
        tail = WordAt(p + n - kUnitsPerWord);
    } else {
        for (; i < n; ++i) tail = tail << 16 ^ static_cast<uint32_t>(p[i]);
    }
    uint64_t h = step(a, tail) ^ b * kMul;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    return static_cast<uint32_t>(h);
}

}  // namespace

MemberTable::MemberTable() : rows_(kRows), slots_(kSlots) {}

std::wstring_view MemberTable::Address(int row) const {
    const Row& r = rows_.at(row);
    if (row >= memberCount_) return {};
    return {text_.get() + r.start, r.addressLength};
}

std::wstring_view MemberTable::Name(int row) const {
    const Row& r = rows_.at(row);
    if (row >= memberCount_) return {};
    return {text_.get() + r.start + r.addressLength + 1, r.nameLength};
}

inline std::size_t MemberTable::FindSlot(std::wstring_view address, uint32_t hash) const {
    constexpr Slot kRowMask = (Slot{1} << kRowBits) - 1;
    const Slot tag = hash & ~kRowMask;
    for (std::size_t slot = hash & (kSlots - 1);; slot = (slot + 1) & (kSlots - 1)) {
        const Slot s = slots_[slot];
        if (s == 0) return slot;
        if ((s & ~kRowMask) != tag) continue;
        const Row& r = rows_[(s & kRowMask) - 1];
        if (std::wstring_view(text_.get() + r.start, r.addressLength) == address) return slot;
    }
}

void MemberTable::ReserveText(std::size_t extra) {
    if (textCapacity_ - textSize_ >= extra) return;
    const std::size_t capacity = std::max(2 * textCapacity_, textSize_ + extra);
    std::unique_ptr<wchar_t[]> grown(new wchar_t[capacity]);
    std::copy(text_.get(), text_.get() + textSize_, grown.get());
    text_ = std::move(grown);
    textCapacity_ = capacity;
}

AddOutcome MemberTable::AddListEntry(const std::wstring& displayName, const std::wstring& givenName,
                                     const std::wstring& surname, const std::wstring& address,
                                     ListSink& list) {
    if (address.empty()) return AddOutcome::NoAddress;
    // The index holds exactly the addresses of rows in use, so finding the address there
    // answers what a scan of rows 0..memberCount-1 would, and the first occurrence stays.
    const uint32_t hash = HashOf(address);
    const std::size_t slot = FindSlot(address, hash);
    if (slots_[slot] != 0) return AddOutcome::Duplicate;
    if (memberCount_ >= kRows) return AddOutcome::TableFull;

    // The name the output carries: given name, blank, surname; the display name when the
    // directory gave neither part.
    const bool useDisplayName = givenName.empty() && surname.empty();
    const std::size_t nameLength = useDisplayName ? displayName.size() : givenName.size() + 1 + surname.size();

    // Everything that can throw happens before the row is stored, so a list box that
    // refuses the line leaves no trace.
    ReserveText(address.size() + 1 + nameLength + 2);
    // Written in place: the buffer keeps its capacity, so a line costs no allocation and
    // no more than its own units.
    line_.resize(displayName.size() + 2 + address.size() + 1);
    wchar_t* at = std::copy(displayName.begin(), displayName.end(), &line_[0]);
    *at++ = L' ';
    *at++ = L'(';
    at = std::copy(address.begin(), address.end(), at);
    *at = L')';
    list.AddLine(line_);

    Row& row = rows_[memberCount_];
    row.start = textSize_;
    row.addressLength = address.size();
    row.nameLength = nameLength;
    wchar_t* const begin = text_.get() + textSize_;
    wchar_t* out = std::copy(address.begin(), address.end(), begin);
    *out++ = L' ';
    if (useDisplayName) {
        out = std::copy(displayName.begin(), displayName.end(), out);
    } else {
        out = std::copy(givenName.begin(), givenName.end(), out);
        *out++ = L' ';
        out = std::copy(surname.begin(), surname.end(), out);
    }
    // The blanks in between never break a line, so one look at the copy covers both.
    row.lineBreaks = HoldsLineBreak(std::wstring_view(begin, static_cast<std::size_t>(out - begin)));
    *out++ = L'\r';
    *out++ = L'\n';
    textSize_ = static_cast<std::size_t>(out - text_.get());
    slots_[slot] = (hash & ~((Slot{1} << kRowBits) - 1)) | static_cast<Slot>(memberCount_ + 1);
    ++memberCount_;
    return AddOutcome::Added;
}

void MemberTable::Reset() {
    std::fill(slots_.begin(), slots_.end(), Slot{0});
    textSize_ = 0;
    memberCount_ = 0;
}

}  // namespace orvalis

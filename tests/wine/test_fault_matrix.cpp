// The fault matrix: every operation of the add-in and of the reset program, run once clean
// and then once for every call it makes to the mail client or the address book, with exactly
// that call failing, and once more with it answering wrongly (Nothing where an object is due,
// a value of another type where a number, a string or an array is, and an array of error
// values where an array is). Each run is its own host process
// (OrvalisMatrixCase.exe), so a crash is a crash and a hang a hang. Each run is checked:
// the host is alive and answers, the outcome is what a user is promised for that failure, the
// list box and the output agree, every stand-in object is released after shutdown and nothing
// of ours is left running.
//
// CI runs a fixed sample of each operation's cases; ORVALIS_MATRIX_SAMPLE=0 (what
// scripts/fault-matrix.sh sets) runs every case. GTEST_FILTER picks operations
// ("*create_list_client:*ribbon_click_client" for the client's address book).
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "clipboard_files.h"
#include "sim_client.h"
#include "utf8.h"
#include "wine_test.h"

namespace {

using Lines = std::vector<std::wstring>;

using orvtest::Contains;
using sim::Narrow;
using sim::Widen;

bool StartsWith(const std::wstring& s, const std::wstring& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

// ---- The calls an operation makes, from the stand-ins' log ----

enum class Answer { Failure, Nothing, WrongType, ElementError };

const wchar_t* AnswerName(Answer a) {
    return a == Answer::Failure ? L"failure" : a == Answer::Nothing ? L"nothing" : a == Answer::WrongType ? L"wrongType" : L"elementError";
}

struct Call {
    std::wstring kind, member;
    int occurrence = 1;  // n-th call of kind.member since the fault rules started counting
    bool put = false;
    std::wstring result;  // type of the clean answer: "I4", "BSTR", "DISPATCH", "EMPTY", ...
    std::wstring Label() const { return kind + L"." + member + L" #" + std::to_wstring(occurrence); }
};

struct Case {
    Call call;
    Answer answer = Answer::Failure;
    std::wstring Label() const { return call.Label() + L" " + AnswerName(answer); }
};

// "Kind[id].Member(args)..." or "CreateInstance ProgID"; false for the host's own lines.
bool ParseCall(const std::wstring& line, Call& call) {
    if (StartsWith(line, L"CreateInstance ")) {
        call.kind = Contains(line, L"MAPI.Session") ? L"Session" : L"Application";
        call.member = L"CreateInstance";
        return true;
    }
    size_t i = 0;
    while (i < line.size() && iswalnum(line[i])) ++i;
    if (i == 0) return false;
    call.kind = line.substr(0, i);
    if (call.kind == L"AddIn" || call.kind == L"Host" || call.kind == L"Matrix") return false;
    if (i < line.size() && line[i] == L'[') {
        i = line.find(L"].", i);
        if (i == std::wstring::npos) return false;
        ++i;
    }
    if (i >= line.size() || line[i] != L'.') return false;
    size_t m = i + 1, e = m;
    while (e < line.size() && (iswalnum(line[e]) || line[e] == L'_')) ++e;
    if (e == m || e >= line.size() || line[e] != L'(') return false;
    call.member = line.substr(m, e - m);
    // A put logs its value after the argument list: "...Caption() = BSTR "x"".
    size_t close = line.find(L')', e);
    call.put = close != std::wstring::npos && line.compare(close, 4, L") = ") == 0;
    return true;
}

// The calls between the first line with begin and the first later line with end, numbered
// by occurrence from the line counting starts at. Answers ("<- Kind[id].Member TYPE") give
// each call's result type.
std::vector<Call> CallsIn(const Lines& log, const std::wstring& countFrom, const std::wstring& begin,
                          const std::wstring& end) {
    std::vector<Call> calls;
    std::map<std::wstring, int> seen;
    std::map<std::wstring, std::wstring> results;
    bool counting = countFrom.empty(), inside = false, done = false;
    for (const auto& line : log) {
        if (!counting && Contains(line, countFrom)) counting = true;
        if (!inside && !done && counting && Contains(line, begin)) inside = true;
        else if (inside && Contains(line, end)) inside = false, done = true;
        if (StartsWith(line, L"<- ")) {
            Call c;
            std::wstring rest = line.substr(3);
            size_t blank = rest.rfind(L' ');
            if (blank != std::wstring::npos && ParseCall(rest.substr(0, blank) + L"()", c))
                results.emplace(c.kind + L"." + c.member, rest.substr(blank + 1));
            continue;
        }
        Call c;
        if (!counting || !ParseCall(line, c)) continue;
        c.occurrence = ++seen[c.kind + L"." + c.member];
        if (inside) calls.push_back(c);
    }
    for (auto& c : calls) {
        auto r = results.find(c.kind + L"." + c.member);
        c.result = c.put ? L"" : r == results.end() ? L"EMPTY" : r->second;
    }
    return calls;
}

// Every call failing; and answering Nothing where an object is due, a wrong type where a
// number, a string or an array is, and an array of error values where an array is.
std::vector<Case> CasesOf(const std::vector<Call>& calls) {
    std::vector<Case> cases;
    for (const Call& c : calls) {
        cases.push_back({c, Answer::Failure});
        if (c.member == L"CreateInstance" || c.put) continue;
        if (c.result == L"DISPATCH" || c.result == L"UNKNOWN") cases.push_back({c, Answer::Nothing});
        else if (c.result == L"I2" || c.result == L"I4" || c.result == L"R8" || c.result == L"BOOL" || c.result == L"BSTR")
            cases.push_back({c, Answer::WrongType});
        else if (c.result == L"ARRAY")
            cases.push_back({c, Answer::WrongType}), cases.push_back({c, Answer::ElementError});
    }
    return cases;
}

// ---- One run ----

struct Outcome {
    bool hung = false;
    DWORD exitCode = 0;
    std::map<std::wstring, Lines> report;  // key -> values, in order
    Lines log;
    Lines leftRunning;
    std::string saved;
    const Lines& operator[](const std::wstring& key) const {
        static const Lines none;
        auto it = report.find(key);
        return it == report.end() ? none : it->second;
    }
    std::wstring One(const std::wstring& key) const { return (*this)[key].empty() ? L"" : (*this)[key].front(); }
};

std::string SampleScenario() { return orvtest::FileBytes(orvtest::BuildPath(L"..\\..\\samples\\scenario.json")); }

// The ribbon operations play a client of 2010 or later; the sample is one JSON object.
std::string ForClientOf(const std::wstring& op, const std::string& scenario) {
    if (op.rfind(L"ribbon-", 0) != 0) return scenario;
    size_t close = scenario.rfind('}');
    return scenario.substr(0, close) + ",\n  \"outlook\": {\"version\": \"16.0.0.4266\"}\n" + scenario.substr(close);
}

std::string WithFault(const std::string& scenario, const Case* c) {
    if (!c) return scenario;
    // The sample is one JSON object: the fault rule goes in before its closing brace.
    size_t close = scenario.rfind('}');
    char rule[512];
    snprintf(rule, sizeof rule,
             ",\n  \"faults\": [{\"object\": \"%s\", \"member\": \"%s\", \"skip\": %d, \"times\": 1, \"returns\": \"%s\","
             " \"hresult\": \"0x80004005\", \"description\": \"Injected failure\"}]\n",
             Narrow(c->call.kind).c_str(), Narrow(c->call.member).c_str(), c->call.occurrence - 1,
             Narrow(AnswerName(c->answer)).c_str());
    return scenario.substr(0, close) + rule + scenario.substr(close);
}

// Programs of ours that must not outlive a run.
Lines OurProcesses() {
    Lines found;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return found;
    PROCESSENTRY32W pe{};
    pe.dwSize = sizeof pe;
    for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe))
        for (const wchar_t* name : {L"OrvalisMatrixCase.exe", L"ResetOrvalis.exe", L"winhlp32.exe", L"OrvalisHost.exe"})
            if (_wcsicmp(pe.szExeFile, name) == 0) found.push_back(pe.szExeFile);
    CloseHandle(snap);
    return found;
}

void EndProcesses(const wchar_t* name) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32W pe{};
    pe.dwSize = sizeof pe;
    for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe))
        if (_wcsicmp(pe.szExeFile, name) == 0)
            if (HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pe.th32ProcessID)) {
                TerminateProcess(p, 1);
                WaitForSingleObject(p, 5000);
                CloseHandle(p);
            }
    CloseHandle(snap);
}

Outcome RunCase(const std::wstring& op, const Case* c) {
    std::wstring dir = orvtest::ScratchDir(L"matrix-" + std::to_wstring(GetCurrentProcessId()));
    std::string scenario = ForClientOf(op, SampleScenario());
    orvtest::WriteBytes(dir + L"\\scenario.json", scenario);
    orvtest::WriteBytes(dir + L"\\faults.json", WithFault(scenario, c));

    std::wstring env;
    wchar_t* inherited = GetEnvironmentStringsW();
    for (const wchar_t* p = inherited; *p; p += wcslen(p) + 1)
        if (_wcsnicmp(p, L"ORVALIS_", 8) != 0) env.append(p).push_back(L'\0');
    FreeEnvironmentStringsW(inherited);
    const std::wstring scenarioFile = op == L"reset" ? L"\\scenario.json" : L"\\faults.json";
    for (const auto& var : {L"ORVALIS_HOST_STATE=" + dir + L"\\state.json", L"ORVALIS_SIM_LOG=" + dir + L"\\log.txt",
                            L"ORVALIS_SIM_SCENARIO=" + dir + scenarioFile, std::wstring(L"ORVALIS_SIM_LOG_RESULTS=1")})
        env.append(var).push_back(L'\0');
    env.push_back(L'\0');

    Outcome out;
    std::wstring cmd = L"\"" + orvtest::BuildPath(L"tests\\wine\\OrvalisMatrixCase.exe") + L"\" " + op + L" \"" + dir + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, env.data(), nullptr,
                        &si, &pi)) {
        out.exitCode = 9999;
        return out;
    }
    if (WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0) {
        out.hung = true;
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    GetExitCodeProcess(pi.hProcess, &out.exitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);

    for (const auto& line : simclient::SplitLines(Widen(orvtest::FileBytes(dir + L"\\report.txt")))) {
        size_t colon = line.find(L": ");
        if (colon != std::wstring::npos) out.report[line.substr(0, colon)].push_back(line.substr(colon + 2));
    }
    out.log = simclient::SplitLines(Widen(orvtest::FileBytes(dir + L"\\log.txt")));
    out.saved = orvtest::FileBytes(dir + L"\\list.txt");
    // A run that died without CDO's registration must not take it from the next one.
    simclient::RestoreCdoRegistration();
    // Whatever the run left behind is noted, then ended, so that the next run starts clean.
    orvtest::WaitFor([] { return OurProcesses().empty(); }, 2000);
    out.leftRunning = OurProcesses();
    for (const wchar_t* name : {L"OrvalisMatrixCase.exe", L"ResetOrvalis.exe", L"winhlp32.exe"}) EndProcesses(name);
    return out;
}

// ---- What each operation promises ----

struct Operation {
    const wchar_t* name;
    // Where its calls are in the log: after countFrom (fault rules count from there), from
    // the first line with begin to the next line with end.
    const wchar_t* countFrom;
    const wchar_t* begin;
    const wchar_t* end;
    // How many cases its clean run's calls give, on the sample scenario. Markers that drifted
    // off the log would find none, and the clean run alone would pass; a change in the calls
    // an operation makes shows here too, and the number is then updated with it.
    size_t cases;
};

const Operation kOperations[] = {
    {L"startup", L"", L"Matrix.Begin", L".OnStartupComplete()", 114},
    {L"startup-complete", L"", L".OnStartupComplete()", L"Matrix.End", 8},
    // The window is already loaded (hidden) at start-up: showing it asks only the client's
    // version, as every connection does.
    {L"demand", L"", L"Matrix.Begin", L"Matrix.End", 2},
    {L"demand-reload", L"", L"Matrix.Begin", L"Matrix.End", 4},
    {L"create-list", L"", L"Matrix.Begin", L"Matrix.End", 178},
    // The same through the mail client's own address book, with CDO's registration hidden:
    // each member of a picked list is three calls (Item, PropertyAccessor, GetProperties).
    {L"create-list-client", L"", L"Matrix.Begin", L"Matrix.End", 100},
    // The output buttons call neither the mail client nor the address book; the help button
    // calls HTML Help, and the window's unload closes what it opened.
    {L"clipboard", L"", L"Matrix.Begin", L"Matrix.End", 0},
    {L"save", L"", L"Matrix.Begin", L"Matrix.End", 0},
    {L"help", L"", L"Matrix.Begin", L"Matrix.End", 1},
    {L"close", L"", L"Matrix.Begin", L"Matrix.End", 9},
    {L"shutdown", L"", L"Matrix.Begin", L"Matrix.End", 9},
    // The reset program is a process of its own: its fault rules count from its start.
    {L"reset", L"Matrix.Begin", L"Matrix.Begin", L"Matrix.End", 178},
    // A client of 2010 or later: the add-in asks it for its version alone at start-up, answers
    // the ribbon document without a call, loads the window at the click and lets go of it at
    // the close and at shutdown.
    {L"ribbon-startup", L"", L"Matrix.Begin", L"Matrix.End", 2},
    {L"ribbon-custom-ui", L"", L"Matrix.Begin", L"Matrix.End", 0},
    {L"ribbon-click", L"", L"Matrix.Begin", L"Matrix.End", 2},
    // The same click where CDO is not installed, as on most clients of that era.
    {L"ribbon-click-client", L"", L"Matrix.Begin", L"Matrix.End", 2},
    {L"ribbon-close", L"", L"Matrix.Begin", L"Matrix.End", 1},
    {L"ribbon-shutdown", L"", L"Matrix.Begin", L"Matrix.End", 1},
};

// The host's failure lines ("AddIn[ORVALISutility.Addin].OnConnection failed 0x...") in the span.
Lines HostFailures(const Outcome& out, const Operation& op) {
    Lines found;
    bool inside = false, done = false;
    for (const auto& line : out.log) {
        if (!inside && !done && Contains(line, op.begin)) inside = true;
        else if (inside && Contains(line, op.end)) inside = false, done = true;
        if (inside && StartsWith(line, L"AddIn[") && Contains(line, L" failed ")) found.push_back(line);
    }
    return found;
}

// "Display (address)" and "address name": the list box and the output agree line by line.
std::wstring ListAndOutputDisagree(const Outcome& out) {
    const Lines& list = out[L"list"];
    const Lines& clip = out[L"clip"];
    if (list.size() != clip.size())
        return std::to_wstring(list.size()) + L" list lines but " + std::to_wstring(clip.size()) + L" output lines";
    for (size_t i = 0; i < list.size(); ++i) {
        size_t open = list[i].rfind(L" (");
        std::wstring address = open == std::wstring::npos ? L"?" : list[i].substr(open + 2, list[i].size() - open - 3);
        if (!StartsWith(clip[i], address + L" ")) return L"list line \"" + list[i] + L"\" but output \"" + clip[i] + L"\"";
    }
    return L"";
}

// Every line is one of the clean run's, once: a member left out where it first came may
// still come later, through a list, so the order may differ.
bool IsPartOf(const Lines& part, const Lines& whole) {
    for (size_t i = 0; i < part.size(); ++i) {
        if (std::find(whole.begin(), whole.end(), part[i]) == whole.end()) return false;
        if (std::find(part.begin(), part.begin() + static_cast<long>(i), part[i]) != part.begin() + static_cast<long>(i)) return false;
    }
    return true;
}

const wchar_t kFormTitle[] = L"Orvalis Address Book Utility|";

// What is wrong with this run's outcome for the documented behaviour; empty when nothing is.
std::wstring WrongOutcome(const Operation& op, const Case* c, const Outcome& out, const Outcome& clean) {
    const std::wstring name = op.name;
    const Lines failures = HostFailures(out, op);
    const Lines& boxes = out[L"box"];
    const std::wstring kind = c ? c->call.kind : L"", member = c ? c->call.member : L"";
    auto expect = [](bool ok, const std::wstring& what) { return ok ? std::wstring() : what; };
    auto boxCount = [&](size_t n, const std::wstring& text) -> std::wstring {
        if (boxes.size() != n) return std::to_wstring(boxes.size()) + L" boxes, expected " + std::to_wstring(n);
        // text is "title|" and a part of the message.
        const size_t bar = text.find(L'|');
        for (const auto& b : boxes)
            if (!StartsWith(b, text.substr(0, bar + 1)) || !Contains(b, text.substr(bar + 1)))
                return L"box \"" + b + L"\" is not \"" + text + L"\"";
        return L"";
    };
    std::wstring wrong;
    auto check = [&](const std::wstring& w) { if (wrong.empty()) wrong = w; };
    // A client whose version can't be read is taken for one with command bars, as every
    // client was before the ribbon: on that path the case is the clean run.
    const bool versionUnread = kind == L"Application" && member == L"Version";
    const bool ribbon = name.rfind(L"ribbon-", 0) == 0;
    if (versionUnread && !ribbon) c = nullptr;
    // Help that doesn't open fails nothing: whatever HTML Help answers, the case is the clean run.
    if (kind == L"HtmlHelp") c = nullptr;

    if (name == L"startup" || name == L"startup-complete" || name == L"demand" || name == L"demand-reload") {
        // A host operation that fails reports it to the host; only the window's load step,
        // which opens the address book, tells the user, in one box.
        const bool loadStep = kind == L"Session";
        const std::wstring what = name == L"startup-complete" ? L".OnStartupComplete failed" : L".OnConnection failed";
        check(expect(failures.size() == (c ? 1u : 0u) && (!c || Contains(failures[0], what)),
                     std::to_wstring(failures.size()) + L" failures reported to the host"));
        check(boxCount(loadStep ? 1 : 0, kFormTitle + std::wstring(L"The list builder could not open the address book")));
        if (name == L"demand" || name == L"demand-reload") check(expect((out.One(L"window") == L"open") == !c, L"window " + out.One(L"window")));
        if (name == L"startup-complete" || (name == L"startup" && !c))
            check(expect(out.One(L"addin") == (c ? L"connected" : L"disconnected"), L"add-in " + out.One(L"addin")));
    } else if (name == L"create-list" || name == L"create-list-client") {
        // "Create List" never fails to the host: what it could not read is left out and
        // counted in one box; a dialog that gives nothing, or a selection that can't be
        // walked, leaves the list empty without a word.
        check(expect(failures.empty(), L"a failure reached the host"));
        check(expect(out.One(L"window") == L"open", L"window " + out.One(L"window")));
        check(ListAndOutputDisagree(out));
        const Lines& list = out[L"list"];
        const Lines& cleanList = clean[L"list"];
        // The dialog, whichever address book's, is the selection: failing, it gives none.
        const bool silentByDesign = (kind == L"Session" && member == L"AddressBook") ||
                                    (kind == L"NameSpace" && member == L"GetSelectNamesDialog") ||
                                    kind == L"SelectNamesDialog" || (kind == L"Recipients" && member == L"_NewEnum");
        // An Exchange entry that the client says is neither a user nor a list is taken as a
        // plain directory entry, by its own name and SMTP address: nobody is left out. Only
        // a picked list (user type 1) must be a list to be expanded, and is skipped otherwise.
        const bool plainEntry = c && c->answer == Answer::Nothing && kind == L"AddressEntry" &&
                                (member == L"GetExchangeUser" || member == L"GetExchangeDistributionList");
        // A list member whose properties can't be read in one call is read member by member:
        // the same list, and nothing to report.
        const bool readMemberByMember = kind == L"PropertyAccessor" || (kind == L"AddressEntry" && member == L"PropertyAccessor");
        if (!c) {
            check(expect(!list.empty(), L"the clean run built no list"));
            check(boxCount(0, L""));
        } else if (silentByDesign) {
            check(expect(list.empty(), std::to_wstring(list.size()) + L" lines after the selection failed"));
            check(boxCount(0, L""));
        } else if (readMemberByMember) {
            check(expect(list == cleanList, L"the member-by-member read gave another list"));
            check(boxCount(0, L""));
        } else if (plainEntry && boxes.empty()) {
            check(expect(list == cleanList, L"a member went missing without a word"));
        } else {
            check(expect(IsPartOf(list, cleanList), L"lines that the clean run doesn't have, or twice"));
            check(boxCount(1, kFormTitle + std::wstring(L"left out of the list")));
        }
    } else if (name == L"clipboard" || name == L"save" || name == L"help") {
        check(expect(failures.empty(), L"a failure reached the host"));
        check(boxCount(0, L""));
        check(expect(out.One(L"window") == L"open", L"window " + out.One(L"window")));
        if (name != L"help") check(ListAndOutputDisagree(out));
        if (name != L"help") check(expect(!out[L"list"].empty(), L"no list"));
        if (name == L"save") {
            std::string expected;
            for (const auto& l : out[L"clip"]) expected += Narrow(l) + "\r\n";
            check(expect(out.saved == expected, L"the saved file holds other lines than the clipboard"));
        }
    } else if (name == L"close") {
        // The window always closes; the session is let go even when it can't log off; only a
        // failed disconnection is worth one box, and the add-in then stays connected.
        const bool logoff = kind == L"Session" && member == L"Logoff";
        check(expect(failures.empty(), L"a failure reached the host"));
        check(expect(out.One(L"window") == L"closed", L"window " + out.One(L"window")));
        check(boxCount(c && !logoff ? 1 : 0, kFormTitle + std::wstring(L"could not disconnect itself")));
        check(expect(out.One(L"addin") == (c && !logoff ? L"connected" : L"disconnected"), L"add-in " + out.One(L"addin")));
    } else if (name == L"shutdown") {
        const bool logoff = kind == L"Session" && member == L"Logoff";
        check(expect(failures.size() == (c && !logoff ? 1u : 0u), std::to_wstring(failures.size()) + L" failures reported to the host"));
        check(expect(out.One(L"window") == L"closed", L"window " + out.One(L"window")));
        check(boxCount(0, L""));
        check(expect(out.One(L"addin") == L"disconnected", L"add-in " + out.One(L"addin")));
    } else if (ribbon) {
        // Nothing on the ribbon path fails to the host but the click whose window can't load,
        // and that click's box is the only one; the add-in stays connected until shutdown.
        // Every call of a click is its window's load step.
        const bool click = name == L"ribbon-click" || name == L"ribbon-click-client";
        const bool loadStep = c && click;
        check(expect(failures.size() == (loadStep ? 1u : 0u), std::to_wstring(failures.size()) + L" failures reported to the host"));
        check(expect(out[L"click-failed"].size() == (loadStep ? 1u : 0u), std::to_wstring(out[L"click-failed"].size()) + L" clicks failed"));
        check(boxCount(loadStep ? 1 : 0, kFormTitle + std::wstring(L"The list builder could not open the address book")));
        const bool opened = click && !loadStep;
        check(expect(out.One(L"window") == (opened ? L"open" : L"closed"), L"window " + out.One(L"window")));
        // An unread version: the command bars' start-up, which ends disconnected, with no ribbon.
        const bool connected = !versionUnread && name != L"ribbon-shutdown";
        check(expect(out.One(L"addin") == (connected ? L"connected" : L"disconnected"), L"add-in " + out.One(L"addin")));
        check(expect(out.One(L"ribbon") == (versionUnread ? L"0" : L"1 OrvalisButton"), L"ribbon " + out.One(L"ribbon")));
        if (name == L"ribbon-custom-ui") check(expect(out.One(L"document") != L"" && out.One(L"document") != L"0 chars",
                                                      L"document " + out.One(L"document")));
    } else if (name == L"reset") {
        // The reset program stops at the first failure with its one error box.
        check(expect(out.One(L"reset-exit") == (c ? L"1" : L"0"), L"reset exit code " + out.One(L"reset-exit")));
        check(boxCount(c ? 1 : 0, L"ResetOrvalis|"));
    }
    return wrong;
}

// ---- The figures ----

struct Figures {
    int runs = 0, crashes = 0, hangs = 0, leaks = 0, wrong = 0;
    Figures& operator+=(const Figures& o) {
        runs += o.runs, crashes += o.crashes, hangs += o.hangs, leaks += o.leaks, wrong += o.wrong;
        return *this;
    }
    std::string Line() const {
        char text[160];
        snprintf(text, sizeof text, "%d runs, %d crashes, %d hangs, %d leaks, %d wrong outcomes", runs, crashes, hangs,
                 leaks, wrong);
        return text;
    }
};

Figures g_total;
DWORD g_startedAt = GetTickCount();

class MatrixTotal : public testing::Environment {
public:
    void TearDown() override {
        printf("fault matrix total: %s in %lu s\n", g_total.Line().c_str(),
               static_cast<unsigned long>((GetTickCount() - g_startedAt) / 1000));
        fflush(stdout);
    }
};
const auto* g_env = testing::AddGlobalTestEnvironment(new MatrixTotal);

// Stand-in objects still alive after shutdown. Some outlive the host's shutdown by design, as
// long as the host keeps the library: the application object the add-in made for itself
// (createdApp), the last selection (myRecips, which a cancelled dialog expands again), and
// the session of a window still loaded hidden when the add-in was not connected at shutdown,
// with the start-up's help pop-up over it.
// A clean run may keep those; a run with a fault may keep no more than its clean run, unless
// the fault took it to the command bars.
std::map<std::wstring, long> Live(const Outcome& out) {
    std::map<std::wstring, long> live;
    for (const auto& l : out[L"live"]) {
        size_t eq = l.find(L'=');
        if (eq != std::wstring::npos) live[l.substr(0, eq)] = _wtol(l.c_str() + eq + 1);
    }
    return live;
}

std::wstring Leak(const Outcome& out, const Outcome& clean, bool isClean) {
    static const std::map<std::wstring, long> byDesign = {
        {L"Application", 1}, {L"Recipients", 1}, {L"Session", 1}, {L"HelpPopup", 1}};
    const auto allowed = isClean ? byDesign : Live(clean);
    std::wstring leak;
    for (const auto& [kind, n] : Live(out)) {
        auto a = allowed.find(kind);
        if (n > (a == allowed.end() ? 0 : a->second)) leak += kind + L"=" + std::to_wstring(n) + L" ";
    }
    for (const auto& p : out.leftRunning) leak += p + L" still running ";
    return leak;
}

// The cases of this run: all of them, or a fixed sample spread evenly over them.
std::vector<Case> Sample(const std::vector<Case>& all) {
    wchar_t buf[16];
    DWORD n = GetEnvironmentVariableW(L"ORVALIS_MATRIX_SAMPLE", buf, 16);
    size_t want = n && n < 16 ? static_cast<size_t>(_wtoi(buf)) : 6;
    if (want == 0 || want >= all.size()) return all;
    std::vector<Case> picked;
    for (size_t i = 0; i < want; ++i) picked.push_back(all[i * all.size() / want]);
    return picked;
}

class FaultMatrix : public testing::TestWithParam<Operation> {};

TEST_P(FaultMatrix, EveryCallFailingOrAnsweringWronglyGivesTheDocumentedOutcome) {
    const Operation& op = GetParam();
    Figures figures;
    std::vector<std::string> faults;
    auto judge = [&](const Case* c, const Outcome& out, const Outcome& clean) {
        ++figures.runs;
        std::wstring label = std::wstring(op.name) + L" " + (c ? c->Label() : L"clean") + L": ";
        if (out.hung) {
            ++figures.hangs;
            faults.push_back(Narrow(label + L"hang"));
            return;
        }
        if (out.exitCode != 0 || out.One(L"done") != L"yes" || out.One(L"answers") != L"yes") {
            ++figures.crashes;
            faults.push_back(Narrow(label + L"crash, exit code " + std::to_wstring(out.exitCode)));
            return;
        }
        // A version that can't be read makes a run of the command bars, with what they keep.
        const bool versionUnread = c && c->call.kind == L"Application" && c->call.member == L"Version";
        if (std::wstring leak = Leak(out, clean, c == nullptr || versionUnread); !leak.empty()) {
            ++figures.leaks;
            faults.push_back(Narrow(label + L"leak: " + leak));
        }
        if (std::wstring wrong = WrongOutcome(op, c, out, clean); !wrong.empty()) {
            ++figures.wrong;
            faults.push_back(Narrow(label + wrong));
        }
        for (const auto& s : out[L"step-failed"]) faults.push_back(Narrow(label + L"driver step failed: " + s));
    };

    const Outcome clean = RunCase(op.name, nullptr);
    judge(nullptr, clean, clean);
    const std::vector<Case> all = CasesOf(CallsIn(clean.log, op.countFrom, op.begin, op.end));
    for (const wchar_t* marker : {op.begin, op.end})
        EXPECT_TRUE(std::any_of(clean.log.begin(), clean.log.end(), [&](const std::wstring& l) { return Contains(l, marker); }))
            << Narrow(marker) << " is not in the clean run's log";
    EXPECT_EQ(op.cases, all.size()) << "cases found between the markers of the clean run's log";
    const std::vector<Case> cases = Sample(all);
    for (const Case& c : cases) judge(&c, RunCase(op.name, &c), clean);

    g_total += figures;
    printf("%-19s %s (%zu of %zu cases)\n", Narrow(op.name).c_str(), figures.Line().c_str(), cases.size(), all.size());
    fflush(stdout);
    std::string details;
    for (const auto& f : faults) details += f + "\n";
    EXPECT_EQ(figures.crashes + figures.hangs + figures.leaks + figures.wrong, 0) << details;
    EXPECT_TRUE(faults.empty()) << details;
}

INSTANTIATE_TEST_SUITE_P(Operations, FaultMatrix, testing::ValuesIn(kOperations),
                         [](const testing::TestParamInfo<Operation>& info) {
                             std::string n;
                             for (wchar_t ch : std::wstring(info.param.name)) n += ch == L'-' ? '_' : static_cast<char>(ch);
                             return n;
                         });

}  // namespace

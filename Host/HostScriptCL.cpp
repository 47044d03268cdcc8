#include "HostScriptCL.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "HostInterfaces.h"
#include "KelWnd2DBaseCL.h"
#include "KelWnd2DEditCL.h"
#include "KelWnd2DListCL.h"
#include "KelWnd2DRichEditIICL.h"
#include "Win32/Keyboard.h"
#include "Win32/Messages.h"
#include "Win32/Text.h"

namespace
{
constexpr uint64_t kDefaultTimeoutMs = 10000;

// The window's top-left corner on the desktop: the sum of its and its parents' positions.
POINT DesktopOrigin(KelWndBaseCL* window)
{
    POINT origin{0, 0};
    for (KelWndBaseCL* w = window; w != nullptr; w = w->GetParentM())
        if (auto* w2 = dynamic_cast<KelWnd2DBaseCL*>(w))
        {
            const auto [x, y] = w2->GetPosM();
            origin.x += x;
            origin.y += y;
        }
    return origin;
}

// The text a window shows: an edit's or a label's line, a rich text box's whole text (faces as
// their codes), or the window's text.
std::string ShownText(KelWndBaseCL* window)
{
    if (auto* rich = dynamic_cast<KelWnd2DRichEditIICL*>(window))
        return rich->GetPlainTextM();
    if (auto* edit = dynamic_cast<KelWnd2DEditCL*>(window))
        return edit->GetEditText();
    return window->GetTextM();
}

bool ParseNumber(const std::string& word, long long& value)
{
    try
    {
        size_t used = 0;
        value = std::stoll(word, &used);
        return used == word.size();
    }
    catch (const std::exception&)
    {
        return false;
    }
}
} // namespace

bool HostScriptCL::Load(const std::string& path, std::string& error)
{
    std::ifstream in(path);
    if (!in)
    {
        error = "cannot read the script " + path;
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    return Parse(text.str(), error);
}

bool HostScriptCL::Parse(const std::string& text, std::string& error)
{
    static const std::vector<std::pair<std::string, size_t>> known = {
        {"click", 2},        {"click-window", 1},   {"type", 1},          {"key", 1},
        {"wait", 1},         {"wait-window", 1},    {"wait-gone", 1},     {"wait-log", 1},
        {"wait-traffic", 3}, {"expect-traffic", 3}, {"expect-record", 3}, {"expect-no-log", 1},
        {"expect-sound", 1}, {"snapshot", 1},       {"quit", 0},          {"repeat", 1},
        {"until-window", 1}, {"if-window", 1},      {"if-no-window", 1},  {"end", 0},
        {"tally-scores", 0}, {"write-scores", 1},   {"else", 0},          {"click-row", 2},
        {"wait-face", 2},    {"wait-text", 2},      {"print-window", 1},  {"print-rss", 1},
        {"while-record", 3}};
    std::istringstream lines(text);
    std::string raw;
    int number = 0;
    m_lines.clear();
    while (std::getline(lines, raw))
    {
        ++number;
        if (!raw.empty() && raw.back() == '\r')
            raw.pop_back();
        const size_t start = raw.find_first_not_of(" \t");
        if (start == std::string::npos || raw[start] == '#')
            continue;
        Line line;
        line.number = number;
        std::istringstream words(raw.substr(start));
        for (std::string word; words >> word;)
            line.words.push_back(word);
        const size_t space = raw.find_first_of(" \t", start);
        if (space != std::string::npos)
        {
            const size_t rest = raw.find_first_not_of(" \t", space);
            line.rest = rest == std::string::npos ? "" : raw.substr(rest);
        }
        size_t needed = SIZE_MAX;
        for (const auto& [command, arguments] : known)
            if (command == line.words[0])
                needed = arguments;
        if (needed == SIZE_MAX)
        {
            error = "line " + std::to_string(number) + ": unknown command " + line.words[0];
            return false;
        }
        if (line.words.size() - 1 < needed)
        {
            error = "line " + std::to_string(number) + ": " + line.words[0] + " needs " +
                    std::to_string(needed) + " argument(s)";
            return false;
        }
        m_lines.push_back(std::move(line));
    }
    m_next = 0;
    m_lineActive = false;
    m_repeatsLeft.clear();
    m_untilStarted.clear();
    m_yield = false;
    m_failed = false;
    m_failure.clear();
    m_tally.clear();
    m_talliedHands = 0;
    return MatchBlocks(error);
}

namespace
{
bool OpensBlock(const std::string& command)
{
    return command == "repeat" || command == "until-window" || command == "if-window" ||
           command == "if-no-window" || command == "while-record";
}
} // namespace

bool HostScriptCL::MatchBlocks(std::string& error)
{
    m_partner.assign(m_lines.size(), SIZE_MAX);
    std::vector<size_t> open;
    auto fail = [&](size_t at, const std::string& why)
    {
        error = "line " + std::to_string(m_lines[at].number) + ": " + why;
        return false;
    };
    for (size_t i = 0; i < m_lines.size(); ++i)
    {
        const std::string& command = m_lines[i].words[0];
        if (OpensBlock(command))
            open.push_back(i);
        else if (command == "else")
        {
            // An else belongs to an if that has none yet; the if points at it, it at the end.
            if (open.empty() || m_lines[open.back()].words[0].rfind("if-", 0) != 0 ||
                m_partner[open.back()] != SIZE_MAX)
                return fail(i, "else without an if");
            m_partner[open.back()] = i;
        }
        else if (command == "end")
        {
            if (open.empty())
                return fail(i, "end without a block");
            const size_t opener = open.back();
            open.pop_back();
            if (m_partner[opener] != SIZE_MAX)
                m_partner[m_partner[opener]] = i;
            else
                m_partner[opener] = i;
            m_partner[i] = opener;
        }
    }
    if (!open.empty())
        return fail(open.back(), m_lines[open.back()].words[0] + " has no end");
    return true;
}

bool HostScriptCL::Compare(long long value, const std::string& op, long long expected, bool& ok)
{
    ok = true;
    if (op == "==")
        return value == expected;
    if (op == "!=")
        return value != expected;
    if (op == "<")
        return value < expected;
    if (op == "<=")
        return value <= expected;
    if (op == ">")
        return value > expected;
    if (op == ">=")
        return value >= expected;
    ok = false;
    return false;
}

int HostScriptCL::KeyCode(const std::string& name)
{
    static const std::vector<std::pair<std::string, int>> keys = {
        {"Return", VK_RETURN}, {"Back", VK_BACK}, {"Tab", VK_TAB},     {"Escape", VK_ESCAPE},
        {"Space", VK_SPACE},   {"Left", VK_LEFT}, {"Right", VK_RIGHT}, {"Up", VK_UP},
        {"Down", VK_DOWN},     {"Home", VK_HOME}, {"End", VK_END},     {"Delete", VK_DELETE}};
    for (const auto& [key, code] : keys)
        if (key == name)
            return code;
    if (name.size() >= 2 && name[0] == 'F')
    {
        long long n = 0;
        if (ParseNumber(name.substr(1), n) && n >= 1 && n <= 12)
            return 0x70 + static_cast<int>(n) - 1;
    }
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0])))
        return std::toupper(static_cast<unsigned char>(name[0]));
    return 0;
}

long long HostScriptCL::TrafficValue(const HostTraffic& traffic, const std::string& key, bool& ok)
{
    const size_t dot = key.find('.');
    long long category = 0;
    ok = dot != std::string::npos && ParseNumber(key.substr(dot + 1), category);
    if (!ok)
        return 0;
    const std::string kind = key.substr(0, dot);
    const std::map<int, int>* counts = kind == "accepted"   ? &traffic.accepted
                                       : kind == "refused"  ? &traffic.refused
                                       : kind == "unrouted" ? &traffic.unrouted
                                       : kind == "sent"     ? &traffic.sent
                                                            : nullptr;
    if (counts == nullptr)
    {
        ok = false;
        return 0;
    }
    const auto found = counts->find(static_cast<int>(category));
    return found == counts->end() ? 0 : found->second;
}

HostScriptCL::Status HostScriptCL::Step(HostScriptTarget& target, uint64_t nowMs)
{
    while (!m_failed && m_next < m_lines.size())
    {
        const Line& line = m_lines[m_next];
        if (!m_lineActive)
        {
            m_lineActive = true;
            m_lineStarted = nowMs;
        }
        if (OpensBlock(line.words[0]) || line.words[0] == "else" || line.words[0] == "end")
        {
            m_lineActive = false;
            RunBlock(target, line, nowMs);
            if (m_yield)
            {
                m_yield = false;
                return m_failed ? Status::Failed : Status::Running;
            }
            continue;
        }
        if (!Run(target, line, nowMs))
            return m_failed ? Status::Failed : Status::Running;
        m_lineActive = false;
        if (line.words[0] == "quit")
        {
            m_next = m_lines.size();
            break;
        }
        ++m_next;
    }
    return m_failed ? Status::Failed : Status::Done;
}

void HostScriptCL::RunBlock(HostScriptTarget& target, const Line& line, uint64_t nowMs)
{
    const std::string& command = line.words[0];
    const size_t at = m_next;
    const size_t partner = m_partner[at];
    if (command == "else")
    {
        // The if's own block ran: the else block is skipped.
        m_next = partner + 1;
        return;
    }
    if (command == "end")
    {
        const Line& opener = m_lines[partner];
        if (opener.words[0] == "repeat" && --m_repeatsLeft[partner] > 0)
        {
            m_next = partner + 1;
            return;
        }
        if (opener.words[0] == "until-window" || opener.words[0] == "while-record")
        {
            m_next = partner;
            m_yield = true;
            return;
        }
        m_repeatsLeft.erase(partner);
        ++m_next;
        return;
    }
    if (command == "repeat")
    {
        long long times = 0;
        if (!ParseNumber(line.words[1], times) || times < 0)
        {
            Fail(line, "bad count " + line.words[1]);
            return;
        }
        m_repeatsLeft[at] = times;
        m_next = times > 0 ? at + 1 : partner + 1;
        return;
    }
    if (command == "while-record")
    {
        bool holds = false;
        if (RecordHolds(target, line, holds))
            m_next = holds ? at + 1 : partner + 1;
        return;
    }
    const bool shown = target.FindShownWindow(line.words[1]) != nullptr;
    if (command == "until-window")
    {
        const auto started = m_untilStarted.emplace(at, nowMs).first->second;
        if (shown)
        {
            m_untilStarted.erase(at);
            m_next = partner + 1;
            return;
        }
        long long timeout = static_cast<long long>(kDefaultTimeoutMs);
        if (line.words.size() > 2 && !ParseNumber(line.words[2], timeout))
            Fail(line, "bad time " + line.words[2]);
        else if (nowMs - started >= static_cast<uint64_t>(timeout))
            Fail(line, "no window " + line.words[1] + " after " + std::to_string(timeout) + " ms");
        m_next = at + 1;
        return;
    }
    const bool run = shown == (command == "if-window");
    m_next = run ? at + 1 : partner + 1;
}

bool HostScriptCL::RecordHolds(HostScriptTarget& target, const Line& line, bool& holds)
{
    const VarnokPlayerInfo* self = target.SelfRecord();
    if (self == nullptr)
        return Fail(line, "not logged in");
    const std::string& field = line.words[1];
    bool ok = true;
    const long long value = field == "score"    ? self->score
                            : field == "coins"  ? self->coins
                            : field == "wins"   ? self->wins
                            : field == "losses" ? self->losses
                            : field == "draws"  ? self->draws
                            : field == "level"  ? self->level
                            : field == "hands"
                                ? static_cast<long long>(self->wins) + self->losses + self->draws
                                : (ok = false, 0);
    if (!ok)
        return Fail(line, "unknown value " + field);
    long long expected = 0;
    if (!ParseNumber(line.words[3], expected))
        return Fail(line, "bad number " + line.words[3]);
    holds = Compare(value, line.words[2], expected, ok);
    if (!ok)
        return Fail(line, "unknown comparison " + line.words[2]);
    m_recordWhy = field + " is " + std::to_string(value) + ", not " + line.words[2] + " " + line.words[3];
    return true;
}

bool HostScriptCL::ClickRow(HostScriptTarget& target, const Line& line, uint64_t nowMs)
{
    const std::string& name = line.words[1];
    long long row = 0;
    if (!ParseNumber(line.words[2], row) || row < 0)
        return Fail(line, "bad row " + line.words[2]);
    // Lists fill from the server's answers: the row may come a few frames later.
    auto* list =
        dynamic_cast<KelWnd2DListCL*>(name == "popup" ? target.Popup() : target.FindShownWindow(name));
    if (list == nullptr || row >= list->GetItemCountM())
        return Waited(line, nowMs, 3,
                      list == nullptr ? (name == "popup" ? "no popup menu is open" : "no shown list " + name)
                                      : "no row " + line.words[2] + " in " + name);
    const int height = list->GetRowHeightM();
    const long long visible = row - list->GetTopIndex();
    if (height <= 0 || visible < 0 || visible >= list->GetVisibleRowsM())
        return Fail(line, "row " + line.words[2] + " of " + name + " is scrolled out of sight");
    const POINT origin = DesktopOrigin(list);
    const int width = list->GetSizeM().first;
    const LPARAM point =
        MAKELPARAM(origin.x + width / 2, origin.y + static_cast<int>(visible) * height + height / 2);
    target.Input(WM_MOUSEMOVE, 0, point);
    target.Input(WM_LBUTTONDOWN, MK_LBUTTON, point);
    target.Input(WM_LBUTTONUP, 0, point);
    return true;
}

void HostScriptCL::TallyScores(HostScriptTarget& target, const Line& line)
{
    KelWndBaseCL* dialog = target.FindShownWindow("DlgGameScoreCL");
    if (dialog == nullptr)
    {
        Fail(line, "no hand result is shown");
        return;
    }
    auto text = [dialog](const std::string& name) -> std::string
    {
        auto* label = dynamic_cast<KelWnd2DEditCL*>(dialog->FindChildM(name.c_str()));
        return label != nullptr ? label->GetEditText() : std::string();
    };
    int rows = 0;
    std::string hand;
    for (int i = 0;; ++i)
    {
        const std::string score = text("tital_c_" + std::to_string(i));
        const std::string coins = text("tital_co_" + std::to_string(i));
        long long scoreValue = 0;
        long long coinValue = 0;
        if (score.empty() || !ParseNumber(score, scoreValue) || !ParseNumber(coins, coinValue))
            break;
        const std::string nickname = text("tital_n_" + std::to_string(i));
        Tally& tally = m_tally[nickname];
        hand += (rows > 0 ? "\t" : "") + nickname + " " + score + " " + coins;
        tally.score += scoreValue;
        tally.coins += coinValue;
        ++rows;
    }
    if (rows == 0)
    {
        Fail(line, "the hand result has no rows");
        return;
    }
    ++m_talliedHands;
    if (!line.rest.empty())
    {
        // Written at once: a host that is killed later still leaves the hands it saw.
        std::ofstream out(line.rest, std::ios::binary | std::ios::app);
        out << hand << "\n";
        if (!out.flush())
            Fail(line, "cannot write " + line.rest);
    }
}

void HostScriptCL::WriteScores(const Line& line)
{
    std::ofstream out(line.rest, std::ios::binary | std::ios::trunc);
    out << "hands " << m_talliedHands << "\n";
    for (const auto& [nickname, tally] : m_tally)
        out << nickname << '\t' << tally.score << '\t' << tally.coins << "\n";
    if (!out.flush())
        Fail(line, "cannot write " + line.rest);
}

bool HostScriptCL::Fail(const Line& line, const std::string& why)
{
    m_failed = true;
    m_failure = "script line " + std::to_string(line.number) + " (" + line.words[0] + "): " + why;
    return false;
}

// True once the wait of the line has run out; a failure then when `what` is not empty.
std::string HostScriptCL::TextToTheEnd(const Line& line, size_t firstWord, size_t& timeoutWord)
{
    // The line's text from its word `firstWord` on.
    std::string text = line.rest;
    for (size_t word = 1; word < firstWord && word < line.words.size(); ++word)
    {
        const size_t end = text.find(line.words[word]) + line.words[word].size();
        const size_t next = text.find_first_not_of(" \t", end);
        text = next == std::string::npos ? std::string() : text.substr(next);
    }
    timeoutWord = line.words.size();
    long long timeout = 0;
    if (line.words.size() > firstWord + 1 && ParseNumber(line.words.back(), timeout))
    {
        text = text.substr(0, text.find_last_not_of(" \t", text.rfind(line.words.back()) - 1) + 1);
        timeoutWord = line.words.size() - 1;
    }
    return text;
}

bool HostScriptCL::Waited(const Line& line, uint64_t nowMs, size_t timeoutWord, const std::string& what)
{
    long long timeout = static_cast<long long>(kDefaultTimeoutMs);
    if (line.words.size() > timeoutWord && !ParseNumber(line.words[timeoutWord], timeout))
        return Fail(line, "bad time " + line.words[timeoutWord]), true;
    if (nowMs - m_lineStarted < static_cast<uint64_t>(timeout))
        return false;
    if (!what.empty())
        Fail(line, what + " after " + std::to_string(timeout) + " ms");
    return true;
}

bool HostScriptCL::Run(HostScriptTarget& target, const Line& line, uint64_t nowMs)
{
    const std::string& command = line.words[0];
    if (command == "click" || command == "click-window")
    {
        long long x = 0;
        long long y = 0;
        bool right = false;
        bool doubleClick = false;
        if (command == "click")
        {
            if (!ParseNumber(line.words[1], x) || !ParseNumber(line.words[2], y))
                return Fail(line, "bad point");
            right = line.words.size() > 3 && line.words[3] == "right";
            doubleClick = line.words.size() > 3 && line.words[3] == "double";
        }
        else
        {
            KelWndBaseCL* window = target.FindShownWindow(line.words[1]);
            auto* w2 = dynamic_cast<KelWnd2DBaseCL*>(window);
            if (w2 == nullptr)
                return Fail(line, "no shown window " + line.words[1]);
            const POINT origin = DesktopOrigin(w2);
            const auto [w, h] = w2->GetSizeM();
            x = w / 2;
            y = h / 2;
            if (line.words.size() > 2 &&
                (line.words.size() != 4 || !ParseNumber(line.words[2], x) || !ParseNumber(line.words[3], y) ||
                 x < 0 || y < 0 || x >= w || y >= h))
                return Fail(line, "bad point in " + line.words[1]);
            x += origin.x;
            y += origin.y;
        }
        const LPARAM point = MAKELPARAM(static_cast<int>(x), static_cast<int>(y));
        target.Input(WM_MOUSEMOVE, 0, point);
        target.Input(right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON, point);
        target.Input(right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, point);
        if (doubleClick)
        {
            // The second press of a double click arrives as the double-click message.
            target.Input(WM_LBUTTONDBLCLK, MK_LBUTTON, point);
            target.Input(WM_LBUTTONUP, 0, point);
        }
        return true;
    }
    if (command == "print-window")
    {
        // For a driver outside the program (a real window's test clicks with the X server's own
        // input): where the middle of the window is in the client area, or that it is not shown.
        auto* w2 = dynamic_cast<KelWnd2DBaseCL*>(target.FindShownWindow(line.words[1]));
        if (w2 == nullptr)
        {
            std::printf("window %s none\n", line.words[1].c_str());
        }
        else
        {
            const POINT origin = DesktopOrigin(w2);
            const auto [w, h] = w2->GetSizeM();
            std::printf("window %s %ld %ld\n", line.words[1].c_str(), static_cast<long>(origin.x + w / 2),
                        static_cast<long>(origin.y + h / 2));
        }
        std::fflush(stdout);
        return true;
    }
    if (command == "print-rss")
    {
        // The program's resident memory now, for a long run that watches it grow or not.
        std::ifstream status("/proc/self/status");
        std::string word;
        long kb = -1;
        while (status >> word)
            if (word == "VmRSS:" && (status >> kb))
                break;
        std::printf("rss %s %ld\n", line.words[1].c_str(), kb);
        std::fflush(stdout);
        return true;
    }
    if (command == "type")
    {
        for (unsigned char byte : Utf8ToGbk(line.rest))
            target.Input(WM_CHAR, byte, 1);
        return true;
    }
    if (command == "key")
    {
        const int code = KeyCode(line.words[1]);
        if (code == 0)
            return Fail(line, "unknown key " + line.words[1]);
        target.Input(WM_KEYDOWN, static_cast<WPARAM>(code), 1);
        if (code == VK_RETURN || code == VK_BACK || code == VK_TAB || code == VK_ESCAPE)
            target.Input(WM_CHAR, static_cast<WPARAM>(code), 1);
        target.Input(WM_KEYUP, static_cast<WPARAM>(code), 1);
        return true;
    }
    if (command == "wait")
    {
        long long ms = 0;
        if (!ParseNumber(line.words[1], ms) || ms < 0)
            return Fail(line, "bad time");
        return nowMs - m_lineStarted >= static_cast<uint64_t>(ms);
    }
    if (command == "wait-window" || command == "wait-gone")
    {
        const bool shown = target.FindShownWindow(line.words[1]) != nullptr;
        if (shown == (command == "wait-window"))
            return true;
        return Waited(line, nowMs, 2,
                      command == "wait-window" ? "no window " + line.words[1]
                                               : line.words[1] + " still shown");
    }
    if (command == "wait-log")
    {
        size_t timeoutWord = 0;
        const std::string text = TextToTheEnd(line, 1, timeoutWord);
        if (target.LogText().find(Utf8ToGbk(text)) != std::string::npos)
            return true;
        return Waited(line, nowMs, timeoutWord, "the log has no \"" + text + "\"");
    }
    if (command == "wait-text")
    {
        size_t timeoutWord = 0;
        const std::string text = TextToTheEnd(line, 2, timeoutWord);
        KelWndBaseCL* window = target.FindShownWindow(line.words[1]);
        if (window != nullptr && ShownText(window).find(Utf8ToGbk(text)) != std::string::npos)
            return true;
        return Waited(line, nowMs, timeoutWord,
                      window == nullptr ? "no window " + line.words[1]
                                        : line.words[1] + " does not show \"" + text + "\"");
    }
    if (command == "expect-no-log")
    {
        const std::string text = Utf8ToGbk(line.rest);
        const std::string log = target.LogText();
        const size_t at = log.find(text);
        if (at == std::string::npos)
            return true;
        const size_t begin = log.rfind('\n', at);
        const size_t end = log.find('\n', at);
        return Fail(line, "the log says: " +
                              GbkToUtf8(log.substr(begin == std::string::npos ? 0 : begin + 1,
                                                   (end == std::string::npos ? log.size() : end) -
                                                       (begin == std::string::npos ? 0 : begin + 1))));
    }
    if (command == "expect-record")
    {
        bool holds = false;
        return RecordHolds(target, line, holds) && (holds || Fail(line, m_recordWhy));
    }
    if (command == "wait-traffic" || command == "expect-traffic")
    {
        bool ok = false;
        const long long value = TrafficValue(target.Traffic(), line.words[1], ok);
        if (!ok)
            return Fail(line, "unknown value " + line.words[1]);
        long long expected = 0;
        if (!ParseNumber(line.words[3], expected))
            return Fail(line, "bad number " + line.words[3]);
        const bool holds = Compare(value, line.words[2], expected, ok);
        if (!ok)
            return Fail(line, "unknown comparison " + line.words[2]);
        if (holds)
            return true;
        const std::string why =
            line.words[1] + " is " + std::to_string(value) + ", not " + line.words[2] + " " + line.words[3];
        if (command != "wait-traffic")
            return Fail(line, why);
        return Waited(line, nowMs, 4, why);
    }
    if (command == "expect-sound")
    {
        for (const std::string& sound : target.SoundsPlayed())
            if (sound == line.words[1])
                return true;
        return Fail(line, "no sound " + line.words[1] + " was played");
    }
    if (command == "snapshot")
    {
        // What the commands before changed is drawn by the next frame: the picture is taken then.
        if (!m_framePassed)
        {
            m_framePassed = true;
            return false;
        }
        m_framePassed = false;
        if (!target.Snapshot(line.rest))
            return Fail(line, "cannot write " + line.rest);
        return true;
    }
    if (command == "click-row")
        return ClickRow(target, line, nowMs);
    if (command == "wait-face")
    {
        long long face = 0;
        if (!ParseNumber(line.words[2], face))
            return Fail(line, "bad face " + line.words[2]);
        const int shown = target.ShownFace(Utf8ToGbk(line.words[1]));
        if (shown == face)
            return true;
        return Waited(line, nowMs, 3,
                      shown < 0 ? "no player " + line.words[1]
                                : line.words[1] + " shows face " + std::to_string(shown) + ", not " +
                                      line.words[2]);
    }
    if (command == "tally-scores")
    {
        TallyScores(target, line);
        return true;
    }
    if (command == "write-scores")
    {
        WriteScores(line);
        return true;
    }
    return true; // quit
}

#pragma once
// Scripted sessions: a text file of timed input and checks that the host runs frame by frame,
// so that tests and people can automate whole sessions with input only.
//
//   # a comment
//   click 400 300            click at a point (left button; "click 400 300 right" for the right,
//                            "click 400 300 double" for a double click)
//   click-window lobby_quick click the middle of a window found by name anywhere on the desktop
//   click-window NAME X Y    click the point X, Y of that window (from its top-left corner)
//   type 昵称abc              type text (UTF-8 here; the windows get GBK characters)
//   key Return               press and release a key (Return, Back, Tab, Escape, Left, F8, ...)
//   wait 500                 let 500 ms pass
//   wait-window NAME [MS]    until a window of that name is shown (default 10000 ms)
//   wait-gone NAME [MS]      until no window of that name is shown
//   wait-log TEXT [MS]       until the log holds TEXT (to the end of the line, less a last
//                            number, the time; UTF-8 here, GBK in the log)
//   wait-traffic KEY OP N [MS]   until a traffic count compares so (see below)
//   expect-traffic KEY OP N  the same, at once
//   expect-record FIELD OP N the user's record: score, coins, wins, losses, draws, level, hands
//                            (wins + losses + draws)
//   expect-no-log TEXT       the log holds no TEXT
//   expect-sound NAME        a sound of that name was played
//   click-row LIST N [MS]    click row N (from 0) of a shown list window, or of the open popup
//                            menu when LIST is "popup", waiting for the row (default 10000 ms)
//   wait-face NICKNAME N [MS]   until that player's seat shows face N (1 to 18)
//   wait-text WINDOW TEXT [MS]  until the shown window of that name (an edit, a label or a rich
//                            text box) shows TEXT, which runs to the end of the line less a last
//                            number, the time (UTF-8 here, GBK in the windows)
//   print-window NAME        print "window NAME X Y" (the middle of the shown window, in the
//                            client area) or "window NAME none" on standard output, for a
//                            driver outside the program
//   print-rss LABEL          print "rss LABEL KB", the program's resident memory now
//   snapshot FILE.png        write the next frame drawn
//   tally-scores [FILE]      add the rows of the shown hand result (DlgGameScoreCL) to a tally;
//                            with FILE, also append them to it as one line, "nickname score
//                            coins" per row, tab-separated
//   write-scores FILE        write the tally: "hands N", then "nickname<TAB>score<TAB>coins"
//                            per player (nicknames in GBK, as the windows show them)
//   quit                     end the session (exit code 0 when nothing failed)
//
// Blocks, closed by "end", nest:
//   repeat N                 run the block N times
//   until-window NAME [MS]   run the block again and again, a frame apart, until NAME is shown
//                            (a failure when it is not shown within MS, default 10000)
//   if-window NAME           run the block when NAME is shown
//   if-no-window NAME        run the block when NAME is not shown
//   else                     inside an if: the block run when the if's is not
//   while-record FIELD OP N  run the block again and again, a frame apart, while the user's
//                            record compares so (as expect-record)
//
// Traffic keys: accepted.C, refused.C, unrouted.C (messages of category C the module's sinks
// took, refused, or that had no sink) and sent.C (requests the module sent). OP is one of
// == != < <= > >=.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "HostNetCL.h"
#include "Win32/WinTypes.h"

class KelWndBaseCL;
struct VarnokPlayerInfo;

// What a script reaches in the host.
class HostScriptTarget
{
public:
    virtual ~HostScriptTarget() = default;
    // Input as the window would deliver it.
    virtual void Input(UINT message, WPARAM wparam, LPARAM lparam) = 0;
    virtual KelWndBaseCL* FindShownWindow(const std::string& name) = 0;
    virtual bool Snapshot(const std::string& path) = 0;
    virtual const HostTraffic& Traffic() = 0;
    virtual const VarnokPlayerInfo* SelfRecord() = 0;
    // Everything logged since the host started.
    virtual std::string LogText() = 0;
    virtual const std::vector<std::string>& SoundsPlayed() = 0;
    // The open popup menu, if any: it lies above the desktop, outside the window tree.
    virtual KelWndBaseCL* Popup() = 0;
    // The face shown over a player's picture (0: none; -1: no such player), by GBK nickname.
    virtual int ShownFace(const std::string& nickname) = 0;
};

class HostScriptCL
{
public:
    enum class Status
    {
        Running,
        Done,
        Failed,
    };

    // Parses the whole file first: a bad line is reported with its number before anything runs.
    bool Load(const std::string& path, std::string& error);
    bool Parse(const std::string& text, std::string& error);
    // Runs what is due at `nowMs` (a steady clock): commands until one has to wait.
    Status Step(HostScriptTarget& target, uint64_t nowMs);
    const std::string& Failure() const { return m_failure; }
    bool Loaded() const { return !m_lines.empty(); }

    // "x == 3" and friends; false for an unknown operator.
    static bool Compare(long long value, const std::string& op, long long expected, bool& ok);
    // The virtual-key code of a key name; 0 when unknown.
    static int KeyCode(const std::string& name);

private:
    struct Line
    {
        int number = 0;
        std::vector<std::string> words;
        std::string rest; // the text after the command word, for type and log texts
    };

    // True when the line is finished; false to be called again next frame.
    bool Run(HostScriptTarget& target, const Line& line, uint64_t nowMs);
    // Pairs every block opener with its "end"; an error for an unclosed or stray one.
    bool MatchBlocks(std::string& error);
    // The block commands: they move m_next themselves.
    void RunBlock(HostScriptTarget& target, const Line& line, uint64_t nowMs);
    void TallyScores(HostScriptTarget& target, const Line& line);
    // Compares the user's record as the line says (FIELD OP N from its second word); false, with
    // the failure set, when the line is bad or nobody is logged in. m_recordWhy says how it stood.
    bool RecordHolds(HostScriptTarget& target, const Line& line, bool& holds);
    bool ClickRow(HostScriptTarget& target, const Line& line, uint64_t nowMs);
    void WriteScores(const Line& line);
    bool Fail(const Line& line, const std::string& why);
    bool Waited(const Line& line, uint64_t nowMs, size_t timeoutWord, const std::string& what);
    // The line's text from its word `firstWord` (1: the first after the command) to the end, less
    // a last word that is a number (the time), whose word index goes to `timeoutWord` (the word
    // count when there is none).
    static std::string TextToTheEnd(const Line& line, size_t firstWord, size_t& timeoutWord);
    static long long TrafficValue(const HostTraffic& traffic, const std::string& key, bool& ok);

    std::vector<Line> m_lines;
    // For an opener the index of its else or end, for an else that of its end, for an end that
    // of its opener.
    std::vector<size_t> m_partner;
    // Passes left of each running repeat, and when each running until began, by opener.
    std::map<size_t, long long> m_repeatsLeft;
    std::map<size_t, uint64_t> m_untilStarted;
    // An until going round again waits for the next frame, so that the windows can answer.
    bool m_yield = false;
    struct Tally
    {
        long long score = 0;
        long long coins = 0;
    };
    std::map<std::string, Tally> m_tally;
    int m_talliedHands = 0;
    size_t m_next = 0;
    uint64_t m_lineStarted = 0;
    bool m_lineActive = false;
    // A snapshot waits for one frame to be drawn after the commands before it.
    bool m_framePassed = false;
    std::string m_failure;
    bool m_failed = false;
    std::string m_recordWhy;
};

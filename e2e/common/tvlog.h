// The stand-in TV application's log (testbed/tvapp): one line per event, "START pid=.. tick=..",
// or "<message> wParam=0x.. lParam=0x..", each followed by " t=<system time>" when it runs with
// --times (or TVAPP_TIMES).
#pragma once

#include <string>
#include <vector>

namespace e2e {

struct TvEvent {
    std::string what;  // START, WM_KEYDOWN, WM_KEYUP, WM_CHAR, WM_CLOSE
    unsigned int wParam = 0;
    unsigned int lParam = 0;
    long long time = 0;  // 100 ns units since 1601 (the card double's clock); 0 without --times
    unsigned long pid = 0, tick = 0;  // START: the process and its GetTickCount at the start
};

// Every event of the log, in order; none when the file is missing.
std::vector<TvEvent> ReadTvLog(const std::wstring& path);
// The events of one kind.
std::vector<TvEvent> TvEventsOf(const std::vector<TvEvent>& log, const std::string& what);
// The virtual-key codes of the WM_KEYDOWN lines, in order.
std::vector<unsigned int> TvKeys(const std::wstring& path);

}  // namespace e2e

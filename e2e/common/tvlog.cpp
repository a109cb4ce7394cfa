#include "tvlog.h"

#include <cstdio>
#include <sstream>

#include "harness.h"

namespace e2e {

std::vector<TvEvent> ReadTvLog(const std::wstring& path) {
    std::vector<TvEvent> events;
    std::istringstream in(ReadFile(path));
    std::string line;
    while (std::getline(in, line)) {
        TvEvent e;
        char what[32] = {};
        if (std::sscanf(line.c_str(), "%31s wParam=0x%x lParam=0x%x", what, &e.wParam, &e.lParam) < 1) continue;
        e.what = what;
        if (e.what == "START") std::sscanf(line.c_str(), "START pid=%lu tick=%lu", &e.pid, &e.tick);
        unsigned long long t = 0;
        const auto at = line.find(" t=");
        if (at != std::string::npos && std::sscanf(line.c_str() + at, " t=%llu", &t) == 1)
            e.time = static_cast<long long>(t);
        events.push_back(e);
    }
    return events;
}

std::vector<TvEvent> TvEventsOf(const std::vector<TvEvent>& log, const std::string& what) {
    std::vector<TvEvent> events;
    for (const TvEvent& e : log)
        if (e.what == what) events.push_back(e);
    return events;
}

std::vector<unsigned int> TvKeys(const std::wstring& path) {
    std::vector<unsigned int> keys;
    for (const TvEvent& e : TvEventsOf(ReadTvLog(path), "WM_KEYDOWN")) keys.push_back(e.wParam);
    return keys;
}

}  // namespace e2e

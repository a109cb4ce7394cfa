// Notification area and tray menu. An add for an id that is present fails and changes nothing.
#pragma once

#include <map>
#include <optional>
#include <vector>

#include "app.h"
#include "fakes/common.h"
#include "ports.h"

namespace applet::fake {

class FakeShell : public Shell, public Tracer {
public:
    std::map<std::uint32_t, TrayIcon> icons;   // present icons by id
    std::vector<TrayIcon> adds;                // every add, also the failed ones
    std::vector<std::uint32_t> deletes;        // every delete, by id
    // A command the user picks from the next menus; delivered as the main window's WM_COMMAND,
    // and 57665 (not handled by the main window) on to the application object.
    std::optional<std::uint32_t> choose;
    CMainFrame* frame = nullptr;
    CAppletApp* app = nullptr;

    bool Present(std::uint32_t id) const { return icons.count(id) != 0; }
    bool AddIcon(const TrayIcon& icon) override {
        adds.push_back(icon);
        const bool present = icons.count(icon.id) != 0;
        Log("AddIcon(" + std::to_string(icon.id) + ")" + (present ? " fails" : ""));
        if (present) return false;
        icons[icon.id] = icon;
        return true;
    }
    bool DeleteIcon(std::uint32_t id) override {
        deletes.push_back(id);
        const bool present = icons.erase(id) != 0;
        Log("DeleteIcon(" + std::to_string(id) + ")" + (present ? "" : " fails"));
        return present;
    }
    void TrackTrayMenu(std::uint32_t menuResource, const MenuItemState* items, std::uint32_t count) override {
        // Each item by its command, a greyed one marked.
        std::string line = "TrackTrayMenu(" + std::to_string(menuResource);
        for (std::uint32_t i = 0; i < count; ++i)
            line += ", " + std::to_string(items[i].command) + (items[i].enabled ? "" : " grey");
        Log(line + ")");
        if (choose && frame) {
            bool enabled = true;
            for (std::uint32_t i = 0; i < count; ++i)
                if (items[i].command == *choose) enabled = items[i].enabled;
            // A greyed item cannot be chosen: the menu closes without a command.
            if (enabled && !frame->OnCommand(*choose) && app && *choose == 57665) app->OnUnload();
        }
    }
};

}  // namespace applet::fake

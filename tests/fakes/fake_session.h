// Strings, named mutexes, COM and the keyboard layout of the process.
#pragma once

#include <map>
#include <vector>

#include "fakes/common.h"
#include "ports.h"

namespace applet::fake {

class FakeSession : public Session {
public:
    Journal* journal = nullptr;
    std::map<std::uint32_t, std::u16string> strings{{128, u"TV Card Remote Control Applet"}};
    int coInitialize = 0, coUninitialize = 0;
    std::vector<std::pair<std::u16string, std::uint32_t>> layouts;
    std::vector<std::u16string> created;  // names passed to CreateMutex

    // Another process holds a mutex of this name.
    void HoldMutex(const std::u16string& name) { ++refs_[name]; }
    bool MutexExists(const std::u16string& name) const {
        auto it = refs_.find(name);
        return it != refs_.end() && it->second > 0;
    }
    std::size_t OpenHandles() const { return handles_.size(); }

    std::u16string LoadString(std::uint32_t id) override {
        auto it = strings.find(id);
        return it == strings.end() ? u"" : it->second;
    }
    Handle OpenMutex(const std::u16string& name) override {
        Log("mutex.open " + N(name));
        if (!MutexExists(name)) return 0;
        return NewHandle(name);
    }
    Handle CreateMutex(const std::u16string& name) override {
        Log("mutex.create " + N(name));
        created.push_back(name);
        return NewHandle(name);  // also when it exists already
    }
    void CloseHandle(Handle handle) override {
        Log("mutex.close");
        auto it = handles_.find(handle);
        if (it == handles_.end()) {
            ++badCloses;
            return;
        }
        --refs_[it->second];
        handles_.erase(it);
    }
    void CoInitialize() override {
        Log("com.init");
        ++coInitialize;
    }
    void CoUninitialize() override {
        Log("com.uninit");
        ++coUninitialize;
    }
    void LoadKeyboardLayout(const std::u16string& id, std::uint32_t flags) override {
        Log("layout " + N(id));
        layouts.push_back({id, flags});
    }
    int badCloses = 0;

private:
    void Log(const std::string& s) {
        if (journal) journal->add(s);
    }
    Handle NewHandle(const std::u16string& name) {
        Handle h = next_++;
        handles_[h] = name;
        ++refs_[name];
        return h;
    }
    std::map<std::u16string, int> refs_;
    std::map<Handle, std::u16string> handles_;
    Handle next_ = 0x6000;
};

}  // namespace applet::fake

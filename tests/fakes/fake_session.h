// Strings, named mutexes, COM and the keyboard layout of the process.
#pragma once

#include <map>
#include <vector>

#include "fakes/common.h"
#include "ports.h"

namespace applet::fake {

class FakeSession : public Session, public Tracer {
public:
    std::map<std::uint32_t, std::u16string> strings{{128, u"TV Card Remote Control Applet"}};
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
        Log("LoadString(" + std::to_string(id) + ")");
        return it == strings.end() ? u"" : it->second;
    }
    Handle OpenMutex(const std::u16string& name) override {
        Log("OpenMutex(\"" + N(name) + "\")" + (MutexExists(name) ? "" : " fails"));
        if (!MutexExists(name)) return 0;
        return NewHandle(name);
    }
    Handle CreateMutex(const std::u16string& name) override {
        Log("CreateMutex(\"" + N(name) + "\")");
        created.push_back(name);
        return NewHandle(name);  // also when it exists already
    }
    void CloseHandle(Handle handle) override {
        auto it = handles_.find(handle);
        Log("CloseHandle(" + (it == handles_.end() ? std::string("unknown") : "mutex " + N(it->second)) + ")");
        if (it == handles_.end()) {
            ++badCloses;
            return;
        }
        --refs_[it->second];
        handles_.erase(it);
    }
    void CoInitialize() override {
        Log("CoInitialize()");
    }
    void CoUninitialize() override {
        Log("CoUninitialize()");
    }
    void LoadKeyboardLayout(const std::u16string& id, std::uint32_t flags) override {
        Log("LoadKeyboardLayout(\"" + N(id) + "\", " + std::to_string(flags) + ")");
    }
    int badCloses = 0;

private:
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

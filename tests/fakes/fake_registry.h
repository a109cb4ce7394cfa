// In-memory registry with the Win32 rules the applet relies on: two roots; an empty sub-path opens
// the root itself (a trailing separator is tolerated); key and value names compare without regard
// to case; each key grants a set of access rights and an open asking for more fails; a value whose
// data does not fit the buffer fails the query and leaves the buffer untouched.
#pragma once

#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "fakes/common.h"
#include "ports.h"

namespace applet::fake {

class FakeRegistry : public Registry, public Tracer {
public:
    struct Value {
        std::u16string name;  // as first written
        std::uint32_t type = 0;
        std::vector<std::uint8_t> bytes;
    };
    struct Key {
        std::uint32_t allowed = 0xFFFFFFFF;            // rights an open may ask for
        std::map<std::u16string, Value> values;        // by lower-case name
        std::map<std::u16string, std::unique_ptr<Key>> children;  // by lower-case name
    };
    struct OpenCall {
        RegRoot root;
        std::u16string path;
        std::uint32_t access;
        bool ok;
    };

    std::vector<OpenCall> opens;   // every OpenKey, in order

    // --- test set-up and inspection ---------------------------------------------------------
    Key& CreateKey(RegRoot root, const std::u16string& path) {
        Key* key = &Root(root);
        for (const auto& part : Split(path)) {
            auto& child = key->children[Lower(part)];
            if (!child) child = std::make_unique<Key>();
            key = child.get();
        }
        return *key;
    }
    void DeleteKey(RegRoot root, const std::u16string& path) {
        auto parts = Split(path);
        if (parts.empty()) return;
        Key* parent = Find(root, Join(parts, parts.size() - 1));
        if (parent) parent->children.erase(Lower(parts.back()));
    }
    bool HasKey(RegRoot root, const std::u16string& path) { return Find(root, path) != nullptr; }
    // Rights that an open of this key may ask for; e.g. kKeyRead makes KEY_ALL_ACCESS opens fail.
    void SetAllowedAccess(RegRoot root, const std::u16string& path, std::uint32_t allowed) {
        CreateKey(root, path).allowed = allowed;
    }
    void SetRaw(RegRoot root, const std::u16string& path, const std::u16string& name,
                std::uint32_t type, std::vector<std::uint8_t> bytes) {
        auto& v = CreateKey(root, path).values[Lower(name)];
        v.name = name;
        v.type = type;
        v.bytes = std::move(bytes);
    }
    void SetDword(RegRoot root, const std::u16string& path, const std::u16string& name,
                  std::uint32_t value, std::uint32_t type = win::kRegDword) {
        std::vector<std::uint8_t> b(4);
        std::memcpy(b.data(), &value, 4);
        SetRaw(root, path, name, type, b);
    }
    // Stored as REG_SZ with its terminator, as RegSetValueExW does with a length that counts it.
    void SetString(RegRoot root, const std::u16string& path, const std::u16string& name,
                   const std::u16string& text, std::uint32_t type = win::kRegSz) {
        std::vector<std::uint8_t> b((text.size() + 1) * 2, 0);
        std::memcpy(b.data(), text.data(), text.size() * 2);
        SetRaw(root, path, name, type, b);
    }
    const Value* GetValue(RegRoot root, const std::u16string& path, const std::u16string& name) {
        Key* key = Find(root, path);
        if (!key) return nullptr;
        auto it = key->values.find(Lower(name));
        return it == key->values.end() ? nullptr : &it->second;
    }
    std::optional<std::uint32_t> GetDword(RegRoot root, const std::u16string& path,
                                          const std::u16string& name) {
        const Value* v = GetValue(root, path, name);
        if (!v || v->bytes.size() != 4) return std::nullopt;
        std::uint32_t out;
        std::memcpy(&out, v->bytes.data(), 4);
        return out;
    }
    // The stored text up to its first terminator.
    std::optional<std::u16string> GetString(RegRoot root, const std::u16string& path,
                                            const std::u16string& name) {
        const Value* v = GetValue(root, path, name);
        if (!v) return std::nullopt;
        std::u16string s(v->bytes.size() / 2, u'\0');
        std::memcpy(s.data(), v->bytes.data(), s.size() * 2);
        return s.substr(0, s.find(u'\0'));
    }
    void RemoveValue(RegRoot root, const std::u16string& path, const std::u16string& name) {
        if (Key* key = Find(root, path)) key->values.erase(Lower(name));
    }
    std::size_t OpenHandles() const { return handles_.size(); }

    // --- Registry ---------------------------------------------------------------------------
    Handle OpenKey(RegRoot root, const std::u16string& path, std::uint32_t access) override {
        Key* key = Valid(path) ? Find(root, path) : nullptr;
        bool ok = key && (access & ~key->allowed) == 0;
        opens.push_back({root, path, access, ok});
        const std::string name = KeyName(root, path);
        Log("OpenKey(" + name + ", " + Hex(access) + ")" + (ok ? "" : " fails"));
        if (!ok) return 0;
        Handle h = next_++;
        handles_[h] = {key, access, name};
        return h;
    }
    bool QueryValue(Handle h, const std::u16string& name, std::uint32_t* type, void* data,
                    std::uint32_t* size) override {
        auto it = handles_.find(h);
        const std::string line = "QueryValue(" + Name(h) + ", \"" + N(name) + "\")";
        if (it == handles_.end() || !(it->second.access & 0x1) || !size) return Fails(line);
        auto v = it->second.key->values.find(Lower(name));
        if (v == it->second.key->values.end()) return Fails(line);
        const auto& bytes = v->second.bytes;
        if (data && bytes.size() > *size) {
            *size = static_cast<std::uint32_t>(bytes.size());  // ERROR_MORE_DATA; buffer untouched
            return Fails(line);
        }
        Log(line);
        if (data && !bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
        *size = static_cast<std::uint32_t>(bytes.size());
        if (type) *type = v->second.type;
        return true;
    }
    bool SetValue(Handle h, const std::u16string& name, std::uint32_t type, const void* data,
                  std::uint32_t size) override {
        auto it = handles_.find(h);
        const std::string line = "SetValue(" + Name(h) + ", \"" + N(name) + "\", " + std::to_string(type) + ", " +
                                 Data(type, data, size) + ")";
        if (it == handles_.end() || !(it->second.access & 0x2) || writesFail) return Fails(line);
        Log(line);
        auto& v = it->second.key->values[Lower(name)];
        if (v.name.empty()) v.name = name;
        v.type = type;
        const auto* p = static_cast<const std::uint8_t*>(data);
        v.bytes.assign(p, p + size);
        return true;
    }
    bool DeleteValue(Handle h, const std::u16string& name) override {
        auto it = handles_.find(h);
        const std::string line = "DeleteValue(" + Name(h) + ", \"" + N(name) + "\")";
        if (it == handles_.end() || !(it->second.access & 0x2) || !it->second.key->values.erase(Lower(name)))
            return Fails(line);
        Log(line);
        return true;
    }
    void CloseKey(Handle h) override {
        Log("CloseKey(" + Name(h) + ")");
        // Closing a handle that is not open is a test failure: count it.
        if (!handles_.erase(h)) ++badCloses;
    }
    int badCloses = 0;
    bool writesFail = false;  // SetValue fails on any key (a full or damaged hive)

private:
    struct OpenKeyRec {
        Key* key;
        std::uint32_t access;
        std::string name;  // as the trace shows it
    };
    bool Fails(const std::string& line) {
        Log(line + " fails");
        return false;
    }
    std::string Name(Handle h) const {
        auto it = handles_.find(h);
        return it == handles_.end() ? "unknown key" : it->second.name;
    }
    // The trace's short names of the applet's own keys; any other key by its full path.
    static std::string KeyName(RegRoot root, const std::u16string& path) {
        static const std::pair<RegRoot, std::string> known[] = {
            {RegRoot::CurrentUser, "SOFTWARE\\Orvane\\TV Card Remote Control Applet\\1.0"},
            {RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"},
            {RegRoot::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\WDM Video Capture Driver\\WDM TV Tuner\\Tunvex"},
        };
        static const char* const shortNames[] = {"applet", "Run", "tuner"};
        const std::string p = N(path);
        for (std::size_t i = 0; i < 3; ++i)
            if (known[i].first == root && Lower(U(p)).rfind(Lower(U(known[i].second)), 0) == 0)
                return shortNames[i] + p.substr(known[i].second.size());
        return std::string(root == RegRoot::CurrentUser ? "HKCU\\" : "HKLM\\") + p;
    }
    // REG_SZ and REG_EXPAND_SZ as their text (marked when it lacks its terminator), a four-byte value as its number, anything else by its size.
    static std::string Data(std::uint32_t type, const void* data, std::uint32_t size) {
        const auto* p = static_cast<const std::uint8_t*>(data);
        if ((type == win::kRegSz || type == 2 /* REG_EXPAND_SZ */) && size % 2 == 0) {
            std::u16string text;
            for (std::uint32_t i = 0; i + 1 < size; i += 2) text.push_back(static_cast<char16_t>(p[i] | p[i + 1] << 8));
            const bool terminated = !text.empty() && text.back() == 0;
            if (terminated) text.pop_back();
            return "\"" + N(text) + "\"" + (terminated ? "" : " unterminated");
        }
        if (size == 4) return Hex(static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24));
        return std::to_string(size) + " bytes";
    }
    Key& Root(RegRoot root) { return root == RegRoot::CurrentUser ? hkcu_ : hklm_; }
    // A leading separator or an empty component in the middle does not name a key.
    static bool Valid(const std::u16string& path) {
        if (path.empty()) return true;
        if (path[0] == u'\\') return false;
        std::u16string p = path.back() == u'\\' ? path.substr(0, path.size() - 1) : path;
        return p.find(u"\\\\") == std::u16string::npos && (p.empty() || p.back() != u'\\');
    }
    static std::vector<std::u16string> Split(const std::u16string& path) {
        std::vector<std::u16string> parts;
        std::u16string cur;
        for (char16_t c : path) {
            if (c == u'\\') {
                if (!cur.empty()) parts.push_back(cur);
                cur.clear();
            } else {
                cur.push_back(c);
            }
        }
        if (!cur.empty()) parts.push_back(cur);
        return parts;
    }
    static std::u16string Join(const std::vector<std::u16string>& parts, std::size_t n) {
        std::u16string out;
        for (std::size_t i = 0; i < n; ++i) out += (i ? u"\\" : u"") + parts[i];
        return out;
    }
    Key* Find(RegRoot root, const std::u16string& path) {
        Key* key = &Root(root);
        for (const auto& part : Split(path)) {
            auto it = key->children.find(Lower(part));
            if (it == key->children.end()) return nullptr;
            key = it->second.get();
        }
        return key;
    }

    Key hkcu_, hklm_;
    std::map<Handle, OpenKeyRec> handles_;
    Handle next_ = 0x1000;
};

}  // namespace applet::fake

#include "peraccount.h"

#include <algorithm>

namespace setup {

namespace {

constexpr std::uint32_t kRegNone = 0, kRegSz = 1, kRegExpandSz = 2, kRegBinary = 3, kRegDword = 4,
                        kRegLink = 6, kRegMultiSz = 7;

char16_t Fold(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

// Registry names compare without regard to case (ASCII letters are enough for our own names).
bool SameName(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

bool StartsWithNoCase(const std::u16string& text, std::size_t at, const std::u16string& prefix) {
    return text.size() - at >= prefix.size() && SameName(text.substr(at, prefix.size()), prefix);
}

// `key` itself or a key below `parent`.
bool WithinKey(const std::u16string& key, const std::u16string& parent) {
    return SameName(key, parent) ||
           (key.size() > parent.size() && key[parent.size()] == u'\\' && SameName(key.substr(0, parent.size()), parent));
}

std::u16string TrimRight(std::u16string s) {
    while (!s.empty() && (s.back() == u' ' || s.back() == u'\t' || s.back() == u'\r')) s.pop_back();
    return s;
}

std::size_t SkipBlanks(const std::u16string& s, std::size_t i) {
    while (i < s.size() && (s[i] == u' ' || s[i] == u'\t')) ++i;
    return i;
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// A quoted text from s[i] (the opening quote) on, with the registry editor's escapes; `end` is
// the index after the closing quote. False when the quote is not closed.
bool QuotedText(const std::u16string& s, std::size_t i, std::u16string* text, std::size_t* end) {
    text->clear();
    for (++i; i < s.size(); ++i) {
        if (s[i] == u'"') {
            *end = i + 1;
            return true;
        }
        if (s[i] == u'\\' && i + 1 < s.size()) {
            const char16_t next = s[++i];
            if (next == u'\\' || next == u'"') *text += next;
            else if (next == u'n') *text += u'\n';
            else *text += {u'\\', next};
            continue;
        }
        *text += s[i];
    }
    return false;
}

// "01,ab, 02" (blanks and an empty list allowed).
bool HexBytes(const std::u16string& s, std::vector<std::uint8_t>* bytes) {
    bytes->clear();
    std::size_t i = SkipBlanks(s, 0);
    if (i == s.size()) return true;
    for (;;) {
        i = SkipBlanks(s, i);
        if (i + 2 > s.size()) return false;
        const int hi = HexDigit(s[i]), lo = HexDigit(s[i + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes->push_back(static_cast<std::uint8_t>(hi * 16 + lo));
        i = SkipBlanks(s, i + 2);
        if (i == s.size()) return true;
        if (s[i] != u',') return false;
        ++i;
    }
}

std::u16string FromUtf16Le(const std::uint8_t* data, std::size_t size) {
    std::u16string out;
    for (std::size_t i = 0; i + 1 < size; i += 2) out += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    return out;
}

// Text data stored as bytes: UTF-16LE in a version 5 script, ANSI in a REGEDIT4 one.
std::u16string BytesAsText(const std::vector<std::uint8_t>& bytes, bool unicode, const Widen& widen) {
    if (unicode) return FromUtf16Le(bytes.data(), bytes.size());
    return widen(std::string(bytes.begin(), bytes.end()));
}

void SetTextData(RegChange& change, const std::u16string& text) {
    if (change.type != kRegMultiSz) {
        change.strings = {text.substr(0, text.find(u'\0'))};
        return;
    }
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t zero = std::min(text.find(u'\0', start), text.size());
        if (zero == start) break;  // the empty string that ends the list
        change.strings.push_back(text.substr(start, zero - start));
        start = zero + 1;
    }
}

// The data after "=" of a value line: "text", dword:N, hex:..., hex(T):... or -.
bool ParseData(const std::u16string& data, bool unicode, const Widen& widen, RegChange* change) {
    if (data == u"-") {
        change->kind = RegChange::Kind::DeleteValue;
        return true;
    }
    change->kind = RegChange::Kind::Value;
    if (!data.empty() && data[0] == u'"') {
        std::u16string text;
        std::size_t end = 0;
        if (!QuotedText(data, 0, &text, &end) || SkipBlanks(data, end) != data.size()) return false;
        change->type = kRegSz;
        change->strings = {text};
        return true;
    }
    if (StartsWithNoCase(data, 0, u"dword:")) {
        const std::u16string digits = data.substr(6);
        if (digits.empty() || digits.size() > 8) return false;
        std::uint32_t v = 0;
        for (char16_t c : digits) {
            const int d = HexDigit(c);
            if (d < 0) return false;
            v = v * 16 + static_cast<std::uint32_t>(d);
        }
        change->type = kRegDword;
        change->bytes = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                         static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
        return true;
    }
    if (!StartsWithNoCase(data, 0, u"hex")) return false;
    std::size_t i = 3;
    std::uint32_t type = kRegBinary;
    if (i < data.size() && data[i] == u'(') {
        type = 0;
        std::size_t digits = 0;
        for (++i; i < data.size() && HexDigit(data[i]) >= 0; ++i, ++digits)
            type = type * 16 + static_cast<std::uint32_t>(HexDigit(data[i]));
        if (digits == 0 || digits > 8 || i >= data.size() || data[i] != u')') return false;
        ++i;
    }
    if (i >= data.size() || data[i] != u':') return false;
    std::vector<std::uint8_t> bytes;
    if (!HexBytes(data.substr(i + 1), &bytes)) return false;
    change->type = type;
    if (type == kRegSz || type == kRegExpandSz || type == kRegMultiSz)
        SetTextData(*change, BytesAsText(bytes, unicode, widen));
    else
        change->bytes = std::move(bytes);
    return true;
}

// The file as UTF-16 lines, and whether it was UTF-16 itself.
std::vector<std::u16string> Lines(const std::string& file, const Widen& widen, bool* unicode) {
    std::u16string text;
    *unicode = file.size() >= 2 && static_cast<std::uint8_t>(file[0]) == 0xFF &&
               static_cast<std::uint8_t>(file[1]) == 0xFE;
    if (*unicode)
        text = FromUtf16Le(reinterpret_cast<const std::uint8_t*>(file.data()) + 2, file.size() - 2);
    else
        text = widen(file);
    std::vector<std::u16string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(u'\n', start), text.size());
        lines.push_back(TrimRight(text.substr(start, end - start)));
        start = end + 1;
    }
    return lines;
}

}  // namespace

std::vector<RegChange> CurrentUserChanges(const std::string& file, const Widen& widen) {
    bool unicode = false;
    const std::vector<std::u16string> lines = Lines(file, widen, &unicode);
    std::size_t n = 0;
    while (n < lines.size() && lines[n].empty()) ++n;
    if (n == lines.size() ||
        (lines[n] != u"REGEDIT4" && lines[n] != u"Windows Registry Editor Version 5.00"))
        return {};

    std::vector<RegChange> changes;
    bool inUserKey = false;
    std::u16string key;
    for (++n; n < lines.size(); ++n) {
        const std::u16string& line = lines[n];
        const std::size_t first = SkipBlanks(line, 0);
        if (first == line.size() || line[first] == u';') continue;

        if (line[first] == u'[') {
            inUserKey = false;
            if (line.back() != u']') continue;
            std::u16string path = line.substr(first + 1, line.size() - first - 2);
            const bool remove = !path.empty() && path[0] == u'-';
            if (remove) path.erase(0, 1);
            const std::size_t cut = path.find(u'\\');
            const std::u16string root = path.substr(0, cut);
            if (!SameName(root, u"HKEY_CURRENT_USER") && !SameName(root, u"HKCU")) continue;
            key = cut == std::u16string::npos ? std::u16string() : path.substr(cut + 1);
            while (!key.empty() && key.back() == u'\\') key.pop_back();
            if (remove) {
                // Never the whole of HKEY_CURRENT_USER.
                if (!key.empty()) changes.push_back(RegChange{RegChange::Kind::DeleteKey, key, {}, 0, {}, {}});
                continue;
            }
            inUserKey = true;
            changes.push_back(RegChange{RegChange::Kind::Key, key, {}, 0, {}, {}});
            continue;
        }

        if (!inUserKey) continue;
        RegChange change;
        change.key = key;
        std::size_t i = first;
        if (line[i] == u'@') {
            ++i;
        } else if (line[i] == u'"') {
            if (!QuotedText(line, i, &change.name, &i)) continue;
        } else {
            continue;
        }
        i = SkipBlanks(line, i);
        if (i == line.size() || line[i] != u'=') continue;
        std::u16string data = line.substr(SkipBlanks(line, i + 1));
        // A byte list goes on over the following lines while each ends in a backslash.
        if (StartsWithNoCase(data, 0, u"hex")) {
            while (!data.empty() && data.back() == u'\\' && n + 1 < lines.size()) {
                data.pop_back();
                const std::u16string& next = lines[++n];
                data += next.substr(SkipBlanks(next, 0));
            }
        }
        if (ParseData(data, unicode, widen, &change)) changes.push_back(std::move(change));
    }
    return changes;
}

namespace {

std::u16string Quoted(const std::u16string& text) {
    std::u16string out = u"\"";
    for (char16_t c : text) {
        if (c == u'"') out += u"\"\"";
        else if (c == u'%') out += u"%%";
        else out += c;
    }
    return out + u"\"";
}

bool Carriable(const std::u16string& text) {
    return text.size() <= kMaxInfText && text.find_first_of(u"\r\n") == std::u16string::npos;
}

// "0x%08X" for flags and DWORDs, "%02x" for bytes, by hand: printf would bring its whole
// formatting code into the program for these two.
std::u16string Hex(std::uint32_t v, int digits, bool upper) {
    const char16_t* glyphs = upper ? u"0123456789ABCDEF" : u"0123456789abcdef";
    std::u16string out(static_cast<std::size_t>(digits), u'0');
    for (int i = digits - 1; i >= 0; --i, v >>= 4) out[static_cast<std::size_t>(i)] = glyphs[v & 0xF];
    return out;
}
std::u16string Flags(std::uint32_t v) { return u"0x" + Hex(v, 8, true); }

// AddReg flags (setupapi.h's FLG_ADDREG_*).
constexpr std::uint32_t kAddRegBinValueType = 0x00000001;
constexpr std::uint32_t kAddRegKeyOnly = 0x00000010;
constexpr std::uint32_t kAddRegTypeSz = 0x00000000;
constexpr std::uint32_t kAddRegTypeMultiSz = 0x00010000;
constexpr std::uint32_t kAddRegTypeExpandSz = 0x00020000;
constexpr std::uint32_t kAddRegTypeBinary = 0x00000000 | kAddRegBinValueType;
constexpr std::uint32_t kAddRegTypeDword = 0x00010000 | kAddRegBinValueType;
constexpr std::uint32_t kAddRegTypeNone = 0x00020000 | kAddRegBinValueType;

std::u16string Target(const RegChange& c, bool withName) {
    std::u16string line = u"HKCU," + Quoted(c.key);
    if (withName) line += u"," + (c.name.empty() ? std::u16string() : Quoted(c.name));
    return line;
}

// The AddReg line of a value, empty when an INF line cannot carry it.
std::u16string AddLine(const RegChange& c) {
    if (c.kind == RegChange::Kind::Key) return Target(c, true) + u"," + Flags(kAddRegKeyOnly);
    if (c.type == kRegSz || c.type == kRegExpandSz || c.type == kRegMultiSz) {
        const std::uint32_t flags = c.type == kRegSz         ? kAddRegTypeSz
                                    : c.type == kRegExpandSz ? kAddRegTypeExpandSz
                                                             : kAddRegTypeMultiSz;
        std::u16string line = Target(c, true) + u"," + Flags(flags);
        for (const auto& s : c.strings) {
            if (!Carriable(s)) return {};
            line += u"," + Quoted(s);
        }
        return line;
    }
    if (c.type == kRegDword && c.bytes.size() == 4) {
        const std::uint32_t v = c.bytes[0] | (c.bytes[1] << 8) | (c.bytes[2] << 16) |
                                (static_cast<std::uint32_t>(c.bytes[3]) << 24);
        return Target(c, true) + u"," + Flags(kAddRegTypeDword) + u"," + Flags(v);
    }
    if (c.type == kRegLink || c.type > 0xFFFF) return {};
    // Raw bytes with the type in the upper word of the flags; REG_NONE and REG_BINARY have codes
    // of their own (the upper word alone would read as other flags).
    const std::uint32_t flags = c.type == kRegNone     ? kAddRegTypeNone
                                : c.type == kRegBinary ? kAddRegTypeBinary
                                                       : (c.type << 16) | kAddRegBinValueType;
    std::u16string line = Target(c, true) + u"," + Flags(flags);
    for (std::size_t i = 0; i < c.bytes.size(); ++i)
        line += (i > 0 && i % 24 == 0 ? u",\\\r\n " : u",") + Hex(c.bytes[i], 2, false);  // long lists go on
    return line;
}

}  // namespace

std::string PerAccountInf(const std::vector<RegChange>& changes) {
    // The installer runs every deletion before every addition; an addition that a later deletion
    // undoes is dropped, so that both lists give the script's own result.
    std::vector<const RegChange*> deletions, additions;
    for (const RegChange& c : changes) {
        if (!Carriable(c.key) || !Carriable(c.name)) continue;
        if (c.kind == RegChange::Kind::DeleteValue) {
            if (c.name.empty()) continue;  // an empty name in DelReg would delete the whole key
            for (auto it = additions.begin(); it != additions.end();)
                it = (*it)->kind == RegChange::Kind::Value && SameName((*it)->key, c.key) && SameName((*it)->name, c.name)
                         ? additions.erase(it) : it + 1;
            deletions.push_back(&c);
        } else if (c.kind == RegChange::Kind::DeleteKey) {
            for (auto it = additions.begin(); it != additions.end();)
                it = WithinKey((*it)->key, c.key) ? additions.erase(it) : it + 1;
            deletions.push_back(&c);
        } else {
            additions.push_back(&c);
        }
    }

    std::u16string inf = u"\xFEFF[Version]\r\nSignature=\"$Windows NT$\"\r\n\r\n[DefaultInstall]\r\n";
    if (!deletions.empty()) inf += u"DelReg=PerAccount.Del\r\n";
    if (!additions.empty()) inf += u"AddReg=PerAccount.Add\r\n";
    if (!deletions.empty()) {
        inf += u"\r\n[PerAccount.Del]\r\n";
        for (const RegChange* c : deletions) inf += Target(*c, c->kind == RegChange::Kind::DeleteValue) + u"\r\n";
    }
    if (!additions.empty()) {
        inf += u"\r\n[PerAccount.Add]\r\n";
        for (const RegChange* c : additions) {
            const std::u16string line = AddLine(*c);
            if (!line.empty()) inf += line + u"\r\n";
        }
    }
    std::string bytes;
    for (char16_t c : inf) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

std::string NextComponentVersion(const std::string& previous) {
    const std::string prefix = "1,0,0,";
    std::uint32_t n = 0;
    if (previous.compare(0, prefix.size(), prefix) == 0 && previous.size() > prefix.size() &&
        previous.size() <= prefix.size() + 9 &&
        previous.find_first_not_of("0123456789", prefix.size()) == std::string::npos)
        n = static_cast<std::uint32_t>(std::stoul(previous.substr(prefix.size())));
    return prefix + std::to_string(n + 1);
}

}  // namespace setup

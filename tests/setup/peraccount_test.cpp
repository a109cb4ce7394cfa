// Registry scripts turned into the INF that every account's logon applies.
#include <gtest/gtest.h>

#include "peraccount.h"

namespace setup {
namespace {

std::u16string Latin1(const std::string& text) {
    std::u16string out;
    for (char c : text) out += static_cast<char16_t>(static_cast<unsigned char>(c));
    return out;
}

// The INF's text without its byte-order mark, as UTF-8 for readable failures (ASCII here). A
// failure of its checks names the caller's line.
std::string Text(const std::string& inf, const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
    const ::testing::ScopedTrace caller(file, line, "the INF's text");
    EXPECT_GE(inf.size(), 2u);
    EXPECT_EQ(inf.substr(0, 2), "\xFF\xFE");
    std::string out;
    for (std::size_t i = 2; i + 1 < inf.size(); i += 2) {
        EXPECT_EQ(inf[i + 1], '\0') << "not ASCII at " << i;
        out += inf[i];
    }
    return out;
}

const char kHead[] = "[Version]\r\nSignature=\"$Windows NT$\"\r\n\r\n[DefaultInstall]\r\n";

TEST(PerAccountInf, RegEdit4ScriptGivesOnlyItsCurrentUserPartWithTheScriptsOwnResult) {
    const std::string script =
        "REGEDIT4\r\n"
        "\r\n"
        "; a comment\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\TV Card Setup\\TSS]\r\n"
        "\"Imported\"=dword:00000001\r\n"
        "[HKEY_CURRENT_USER\\Software\\A\\]\r\n"
        "@=\"default \\\"quoted\\\" 100%\"\r\n"
        "\"Path\"=\"C:\\\\x\\\\\"\r\n"
        "\"Key1\"=dword:000000AD\r\n"
        "\"Bin\"=hex:01,02,03,\\\r\n"
        "  04,05\r\n"
        "\"Exp\"=hex(2):25,50,25,00\r\n"
        "\"Multi\"=hex(7):61,00,62,63,00,00\r\n"
        "\"Q\"=hex(b):01,00,00,00,00,00,00,00\r\n"
        "\"None\"=hex(0):\r\n"
        "\"Broken\"=dword:xyz\r\n"
        "\"Unclosed\"=\"abc\r\n"
        "\"Gone\"=\"soon\"\r\n"
        "\"Gone\"=-\r\n"
        "@=-\r\n"
        "\"Lines\"=\"a\\nb\"\r\n"
        "[HKCU\\Software\\B\\Sub]\r\n"
        "\"x\"=\"1\"\r\n"
        "[-HKEY_CURRENT_USER\\Software\\B]\r\n"
        "[-HKEY_CURRENT_USER]\r\n"
        "[HKEY_CLASSES_ROOT\\.tv]\r\n"
        "@=\"tv\"\r\n";
    const std::string expected = std::string(kHead) +
        "DelReg=PerAccount.Del\r\n"
        "AddReg=PerAccount.Add\r\n"
        "\r\n[PerAccount.Del]\r\n"
        "HKCU,\"Software\\A\",\"Gone\"\r\n"
        "HKCU,\"Software\\B\"\r\n"
        "\r\n[PerAccount.Add]\r\n"
        "HKCU,\"Software\\A\",,0x00000010\r\n"
        "HKCU,\"Software\\A\",,0x00000000,\"default \"\"quoted\"\" 100%%\"\r\n"
        "HKCU,\"Software\\A\",\"Path\",0x00000000,\"C:\\x\\\"\r\n"
        "HKCU,\"Software\\A\",\"Key1\",0x00010001,0x000000AD\r\n"
        "HKCU,\"Software\\A\",\"Bin\",0x00000001,01,02,03,04,05\r\n"
        "HKCU,\"Software\\A\",\"Exp\",0x00020000,\"%%P%%\"\r\n"
        "HKCU,\"Software\\A\",\"Multi\",0x00010000,\"a\",\"bc\"\r\n"
        "HKCU,\"Software\\A\",\"Q\",0x000B0001,01,00,00,00,00,00,00,00\r\n"
        "HKCU,\"Software\\A\",\"None\",0x00020001\r\n";
    EXPECT_EQ(Text(PerAccountInf(CurrentUserChanges(script, Latin1))), expected);

    // Without a known header nothing is taken.
    EXPECT_TRUE(CurrentUserChanges("[HKEY_CURRENT_USER\\Software\\A]\r\n\"x\"=\"1\"\r\n", Latin1).empty());
}

TEST(PerAccountInf, UnicodeScriptAndLongByteListsAndAnsiText) {
    // "Windows Registry Editor Version 5.00" in UTF-16LE: its hex(2) data is UTF-16 too.
    std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\\u00C4]\r\n"
                          u"\"E\"=hex(2):41,00,c4,00,00,00\r\n\"B\"=hex:";
    for (int i = 0; i < 30; ++i) text += i == 0 ? u"00" : u",00";
    text += u"\r\n";
    std::string file = "\xFF\xFE";
    for (char16_t c : text) file += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    const std::vector<RegChange> changes = CurrentUserChanges(file, Latin1);
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[0].key, u"Software\\\u00C4");
    EXPECT_EQ(changes[1].strings, std::vector<std::u16string>{u"A\u00C4"});
    const std::string inf = PerAccountInf(changes);
    // The 25th byte begins a continued line.
    std::string bytes;
    for (int i = 0; i < 24; ++i) bytes += ",00";
    bytes += ",\\\r\n 00";
    std::string ascii;
    for (std::size_t i = 2; i + 1 < inf.size(); i += 2) ascii += inf[i + 1] == 0 ? inf[i] : '?';
    EXPECT_NE(ascii.find("\"B\",0x00000001" + bytes + ",00,00,00,00,00\r\n"), std::string::npos) << ascii;
    // Non-ASCII text survives as UTF-16 in the INF.
    EXPECT_NE(inf.find(std::string("A\0\xC4\0\"\0", 6)), std::string::npos);
}

TEST(PerAccountInf, EachInstallationRaisesTheVersion) {
    EXPECT_EQ(NextComponentVersion(""), "1,0,0,1");
    EXPECT_EQ(NextComponentVersion("1,0,0,1"), "1,0,0,2");
    EXPECT_EQ(NextComponentVersion("1,0,0,41"), "1,0,0,42");
    EXPECT_EQ(NextComponentVersion("1,0,0,x"), "1,0,0,1");
    EXPECT_EQ(NextComponentVersion("1,0,0,12345678901"), "1,0,0,1");
}

}  // namespace
}  // namespace setup

// Loading the key profile from the fake registry: path rules, fields that keep earlier values,
// the key table rebuilt from zero, and values or paths too long for their fields.
#include <gtest/gtest.h>

#include "fakes/scenario.h"

namespace applet {
namespace {

using namespace fake;

const RegRoot kCu = RegRoot::CurrentUser;

struct Profile : ::testing::Test {
    FakePorts f;
    CMainFrame frame{f.ports()};

    static std::u16string Sub(const std::u16string& name) { return kAppletKeyPath + u"\\" + name; }
    void SetProfile(const std::u16string& name, const std::u16string& className, const std::u16string& exec) {
        const std::u16string key = Sub(name);
        f.registry.SetString(kCu, key, u"AppPathKey", u"Software\\Vendor\\TV");
        f.registry.SetString(kCu, key, u"AppPathValue", u"InstallDir");
        if (!exec.empty()) f.registry.SetString(kCu, key, u"AppExecName", exec);
        f.registry.SetString(kCu, key, u"FindWindowClassName", className);
    }
    void Load(const std::u16string* name = nullptr) {
        frame.LoadKeyProfile(name);
        SCOPED_TRACE("the profile's keys closed again");
        EXPECT_EQ(f.registry.OpenHandles(), 0u);
        EXPECT_EQ(f.registry.badCloses, 0);
    }
    bool Opened(const std::u16string& path) const {
        for (auto& o : f.registry.opens)
            if (o.root == kCu && o.path == path) return true;
        return false;
    }
    const KeyProfile& p() const { return frame.profile(); }
    static std::vector<std::uint8_t> Units(std::size_t count, bool terminated) {
        std::vector<std::uint8_t> bytes(count * 2, 'x');
        for (std::size_t i = 1; i < bytes.size(); i += 2) bytes[i] = 0;
        if (terminated) bytes.insert(bytes.end(), {0, 0});
        return bytes;
    }
};

TEST_F(Profile, PathFollowsProfileOrTheAppletKeyItself) {
    f.registry.SetString(kCu, u"Software\\Vendor\\TV", u"InstallDir", u"C:\\Apps\\TV");
    SetProfile(u"RC28Keys", u"Tv28", u"tv.exe");
    f.registry.SetString(kCu, kAppletKeyPath, u"Profile", u"RC28Keys");
    Load();
    EXPECT_TRACE(Only(f.trace, {"OpenKey"}), (Trace{"OpenKey(applet, 0x20019)", "OpenKey(applet\\RC28Keys, 0x20019)",
                                                    "OpenKey(HKCU\\Software\\Vendor\\TV, 0x20019)"}));
    EXPECT_EQ(p().className, u"Tv28");
    EXPECT_EQ(p().appPath, u"C:\\Apps\\TV\\tv.exe");

    // Without "Profile" the values are looked up in the applet key itself.
    f.registry.RemoveValue(kCu, kAppletKeyPath, u"Profile");
    f.registry.SetString(kCu, kAppletKeyPath, u"FindWindowClassName", u"TvOwn");
    f.trace.clear();
    Load();
    EXPECT_TRACE(Only(f.trace, {"OpenKey"}), (Trace{"OpenKey(applet, 0x20019)", "OpenKey(applet\\, 0x20019)",
                                                    "OpenKey(HKCU\\Software\\Vendor\\TV, 0x20019)"}));
    EXPECT_EQ(p().className, u"TvOwn");

    // A name given by the caller is used as it stands; "Profile" is not consulted.
    const std::u16string name = u"RC28Keys";
    f.trace.clear();
    Load(&name);
    EXPECT_TRACE(Only(f.trace, {"OpenKey"}), (Trace{"OpenKey(applet\\RC28Keys, 0x20019)",
                                                    "OpenKey(HKCU\\Software\\Vendor\\TV, 0x20019)"}));
    EXPECT_EQ(p().className, u"Tv28");
}

TEST_F(Profile, MissingKeysKeepTheProfileInForce) {
    SetProfile(u"RC32Keys", u"Tv32", u"tv.exe");
    f.registry.SetDword(kCu, Sub(u"RC32Keys"), u"Key3", 0x33);
    const std::u16string rc32 = u"RC32Keys", none = u"RC99Keys";
    Load(&rc32);
    Load(&none);  // no such profile key
    EXPECT_EQ(p().className, u"Tv32");
    EXPECT_EQ(p().keys[3], 0x33u);

    // Without an applet key the empty name is used, and there is no key to read either.
    FakePorts g;
    CMainFrame fresh{g.ports()};
    fresh.LoadKeyProfile(nullptr);
    EXPECT_TRUE(fresh.profile().className.empty());
    EXPECT_EQ(g.registry.OpenHandles(), 0u);
}

TEST_F(Profile, KeyTableIsRebuiltFromKey0ToKey127) {
    const std::u16string key = Sub(u"RC32Keys");
    for (int i = 0; i < 128; ++i)
        if (i != 5) f.registry.SetDword(kCu, key, U("Key" + std::to_string(i)), 0x100 + i);
    f.registry.SetDword(kCu, key, u"Key12", 0x12D);
    f.registry.SetDword(kCu, key, u"Key07", 0x77);
    f.registry.SetDword(kCu, key, u"Key128", 0x88);
    f.registry.SetString(kCu, key, u"Key20", u"A");                       // 4 bytes: taken as they are
    f.registry.SetRaw(kCu, key, u"Key21", win::kRegDword, {0x34, 0x12});  // short: the rest stays 0
    f.registry.SetRaw(kCu, key, u"Key22", win::kRegDword, std::vector<std::uint8_t>(8, 0xFF));  // too large
    const std::u16string name = u"RC32Keys";
    Load(&name);
    EXPECT_EQ(p().keys[0], 0x100u);
    EXPECT_EQ(p().keys[5], 0u);
    EXPECT_EQ(p().keys[7], 0x107u);
    EXPECT_EQ(p().keys[12], 0x12Du);
    EXPECT_EQ(p().keys[20], 0x41u);
    EXPECT_EQ(p().keys[21], 0x1234u);
    EXPECT_EQ(p().keys[22], 0u);
    EXPECT_EQ(p().keys[127], 0x17Fu);
    const Trace queried = Only(f.trace, {"QueryValue(applet\\RC32Keys, \"Key"});
    ASSERT_EQ(queried.size(), 128u);
    for (int i = 0; i < 128; ++i)
        EXPECT_EQ(queried[i].rfind("QueryValue(applet\\RC32Keys, \"Key" + std::to_string(i) + "\")", 0), 0u);

    // A profile without a value starts that entry from 0 again.
    SetProfile(u"RC28Keys", u"Tv28", u"tv.exe");
    const std::u16string rc28 = u"RC28Keys";
    Load(&rc28);
    for (std::uint32_t entry : p().keys) EXPECT_EQ(entry, 0u);
}

TEST_F(Profile, StringFieldsKeepEarlierValuesAndApplicationPathIsJoined) {
    f.registry.SetString(kCu, u"Software\\Vendor\\TV", u"InstallDir", u"C:\\Apps\\TV");
    SetProfile(u"RC28Keys", u"Tv28", u"tv28.exe");
    SetProfile(u"RC32Keys", u"Tv32", u"");  // no "AppExecName"
    const std::u16string rc28 = u"RC28Keys", rc32 = u"RC32Keys";
    Load(&rc28);
    Load(&rc32);
    EXPECT_EQ(p().execName, u"tv28.exe");
    EXPECT_EQ(p().className, u"Tv32");
    EXPECT_EQ(p().appPath, u"C:\\Apps\\TV\\tv28.exe");

    // The folder value missing: the application path stays as it was.
    f.registry.RemoveValue(kCu, u"Software\\Vendor\\TV", u"InstallDir");
    f.registry.SetString(kCu, Sub(u"RC32Keys"), u"AppExecName", u"other.exe");
    Load(&rc32);
    EXPECT_EQ(p().execName, u"other.exe");
    EXPECT_EQ(p().appPath, u"C:\\Apps\\TV\\tv28.exe");
}

TEST_F(Profile, EmptyAppPathKeyReadsTheFolderStraightUnderCurrentUser) {
    f.registry.SetString(kCu, kAppletKeyPath, u"AppPathValue", u"TvFolder");
    f.registry.SetString(kCu, kAppletKeyPath, u"AppExecName", u"tv.exe");
    f.registry.SetString(kCu, u"", u"TvFolder", u"D:\\TV");
    Load();
    EXPECT_TRUE(p().appPathKey.empty());
    EXPECT_TRUE(Opened(u""));
    EXPECT_EQ(p().appPath, u"D:\\TV\\tv.exe");
}

TEST_F(Profile, ValuesAndPathsTooLongForTheirFieldsAreRefused) {
    const std::u16string key = Sub(u"RC32Keys");
    const std::u16string rc32 = u"RC32Keys";
    SetProfile(u"RC32Keys", u"Tv32", u"tv.exe");
    f.registry.SetString(kCu, u"Software\\Vendor\\TV", u"InstallDir", u"C:\\TV");
    Load(&rc32);
    ASSERT_EQ(p().appPath, u"C:\\TV\\tv.exe");

    // 259 units and the terminator fill the field exactly: taken.
    f.registry.SetRaw(kCu, key, u"FindWindowClassName", win::kRegSz, Units(259, true));
    Load(&rc32);
    EXPECT_EQ(p().className.size(), 259u);
    // 260 units with no terminator, or more than the field: counted as missing.
    f.registry.SetString(kCu, key, u"FindWindowClassName", u"Tv32");
    Load(&rc32);
    f.registry.SetRaw(kCu, key, u"FindWindowClassName", win::kRegSz, Units(260, false));
    f.registry.SetRaw(kCu, key, u"AppExecName", win::kRegSz, Units(300, true));
    Load(&rc32);
    EXPECT_EQ(p().className, u"Tv32");
    EXPECT_EQ(p().execName, u"tv.exe");

    // Folder, separator and executable name beyond 259 units: the application path is kept.
    f.registry.SetString(kCu, key, u"AppExecName", std::u16string(200, u'e'));
    f.registry.SetString(kCu, u"Software\\Vendor\\TV", u"InstallDir", std::u16string(58, u'd'));
    Load(&rc32);
    EXPECT_EQ(p().appPath, std::u16string(58, u'd') + u"\\" + std::u16string(200, u'e'));  // 259: fits
    f.registry.SetString(kCu, u"Software\\Vendor\\TV", u"InstallDir", std::u16string(59, u'D'));
    Load(&rc32);
    EXPECT_EQ(p().appPath, std::u16string(58, u'd') + u"\\" + std::u16string(200, u'e'));

    // A profile name that makes the key path longer than 259 units is not opened at all.
    const std::u16string fits(259 - kAppletKeyPath.size() - 1, u'n');
    const std::u16string tooLong = fits + u"n";
    f.registry.SetString(kCu, Sub(fits), u"FindWindowClassName", u"TvLong");
    f.registry.SetString(kCu, Sub(tooLong), u"FindWindowClassName", u"TvTooLong");
    Load(&tooLong);
    EXPECT_FALSE(Opened(Sub(tooLong)));
    EXPECT_EQ(p().className, u"Tv32");
    Load(&fits);
    EXPECT_EQ(p().className, u"TvLong");
    // The same through "Profile".
    f.registry.SetString(kCu, kAppletKeyPath, u"Profile", tooLong);
    Load();
    EXPECT_EQ(p().className, u"TvLong");
}

}  // namespace
}  // namespace applet

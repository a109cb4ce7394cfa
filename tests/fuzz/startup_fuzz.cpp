// The media root over arbitrary module paths and the switches over arbitrary command lines,
// through the launcher's start-up.
//
// Invariants: the media root is a folder at the start of the launcher's own path; for a launcher
// in a folder of a folder, it is that parent, unless the path does not fit 260 bytes (then none); a switch is its whole text in any mix of cases, and
// any other text around it spoils it.
#include <cctype>

#include "fake_world.h"
#include "fuzz_input.h"
#include "setupapp.h"

namespace {

// A path part without separators, as a folder or file name is.
std::string Part(fuzz::Input& in, std::size_t max) {
    std::string out;
    for (char c : in.Bytes(max))
        if (c != '\\' && c != '/') out.push_back(c);
    return out;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string FlipCase(std::string s) {
    for (char& c : s) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (std::isupper(u)) c = static_cast<char>(std::tolower(u));
        else if (std::islower(u)) c = static_cast<char>(std::toupper(u));
    }
    return s;
}

}  // namespace

int FuzzStartup(const std::uint8_t* data, std::size_t size) {
    using namespace setup;
    fuzz::Input in(data, size);

    // Either any path, or a launcher at <parent><folder>\<file> with a known parent folder.
    const bool known = in.Bool();
    std::string parent, module;
    if (known) {
        parent = Part(in, 300) + "\\";
        if (in.Bool()) parent = Part(in, 2) + ":\\" + parent;
        const std::string folder = Part(in, 40);
        module = parent + folder + "\\" + Part(in, 40);
        if ((parent + folder).size() + 1 <= 3) parent.clear();  // a root of three characters stays as it is
    } else {
        module = in.Bytes(600);
    }
    const std::string commandLine = in.Bytes(40);

    fake::World world;
    world.modulePath = module;
    CSetupApp app(world.ports());
    FUZZ_CHECK(app.InitInstance(commandLine), "the first launcher did not start");
    if (!app.MainFrame()) return 0;

    const std::string& root = app.MediaRoot();
    FUZZ_CHECK(module.compare(0, root.size(), root) == 0, "the media root \"" + root + "\" is not where \"" + module + "\" lies");
    FUZZ_CHECK(root.empty() || root.back() == '\\' || root.back() == '/' || (root.size() == 2 && root[1] == ':'),
               "the media root \"" + root + "\" is not a folder");
    // A path of 260 characters or more has no short form here that fits: no media root.
    if (module.size() >= 260)
        FUZZ_CHECK(root.empty(), "a media root \"" + root + "\" for a path that does not fit");
    else if (known && !parent.empty())
        FUZZ_CHECK(root == parent, "the media root of \"" + module + "\" is \"" + root + "\", not \"" + parent + "\"");
    FUZZ_CHECK(app.MainFrame()->MediaRoot() == root, "the window builds paths on another media root");

    const Switches s = ParseSwitches(commandLine);
    const InstallContext& c = app.MainFrame()->Context();
    FUZZ_CHECK(c.harloOnly == (s.harloOnly ? 1 : 0) && c.both == (s.both ? 1 : 0), "the window's flags are not the switches");
    FUZZ_CHECK(s.harloOnly == (Lower(commandLine) == "/harlo"), "\"" + commandLine + "\" read wrongly as /Harlo");
    FUZZ_CHECK(s.both == (Lower(commandLine) == "/both"), "\"" + commandLine + "\" read wrongly as /BOTH");
    const Switches flipped = ParseSwitches(FlipCase(commandLine));
    FUZZ_CHECK(flipped.harloOnly == s.harloOnly && flipped.both == s.both, "letter case changes the switch");
    if (s.harloOnly || s.both) {
        const char extra = static_cast<char>(in.Byte());
        for (const std::string& spoilt : {commandLine + extra, extra + commandLine}) {
            const Switches t = ParseSwitches(spoilt);
            FUZZ_CHECK(!t.harloOnly && !t.both, "\"" + spoilt + "\" still counts as a switch");
        }
    }
    return 0;
}

// Every input of the fuzzers' corpora, the seeds and each finding, through its target under the
// unit tests: a crash or a broken invariant fails here as it failed under the fuzzer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz_input.h"

int FuzzKeyProfile(const std::uint8_t* data, std::size_t size);
int FuzzPoll(const std::uint8_t* data, std::size_t size);
int FuzzPicture(const std::uint8_t* data, std::size_t size);
int FuzzInstall(const std::uint8_t* data, std::size_t size);
int FuzzStartup(const std::uint8_t* data, std::size_t size);

namespace {

struct Target {
    const char* name;
    int (*run)(const std::uint8_t*, std::size_t);
};

void PrintTo(const Target& target, std::ostream* os) { *os << target.name; }

std::vector<std::string> g_violations;
void Record(const std::string& what) { g_violations.push_back(what); }

class Corpus : public ::testing::TestWithParam<Target> {};

TEST_P(Corpus, EveryInputKeepsTheInvariants) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(FUZZ_CORPUS) / GetParam().name;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty()) << "no corpus in " << dir;

    fuzz::SetViolationHandler(Record);
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        g_violations.clear();
        GetParam().run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        for (const std::string& v : g_violations) ADD_FAILURE() << file.filename().string() << ": " << v;
    }
    fuzz::SetViolationHandler(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Fuzz, Corpus,
                         ::testing::Values(Target{"profile", FuzzKeyProfile}, Target{"poll", FuzzPoll},
                                           Target{"picture", FuzzPicture},
                                           Target{"install", FuzzInstall}, Target{"startup", FuzzStartup}),
                         [](const ::testing::TestParamInfo<Target>& info) { return std::string(info.param.name); });

}  // namespace

#include "fuzz_input.h"

#include <cstdio>
#include <cstdlib>

namespace fuzz {

namespace {

void AbortWithMessage(const std::string& what) {
    std::fprintf(stderr, "broken invariant: %s\n", what.c_str());
    std::abort();
}

ViolationHandler g_handler = AbortWithMessage;
std::string (*g_describe)(const void*) = nullptr;
const void* g_subject = nullptr;

}  // namespace

void SetViolationHandler(ViolationHandler handler) { g_handler = handler ? handler : AbortWithMessage; }

void Violation(const char* file, int line, const std::string& what) {
    std::string report = std::string(file) + ":" + std::to_string(line) + ": " + what;
    if (g_describe) report += "\n" + g_describe(g_subject);
    g_handler(report);
}

ReportContext::ReportContext(std::string (*describe)(const void*), const void* subject) {
    g_describe = describe;
    g_subject = subject;
}

ReportContext::~ReportContext() {
    g_describe = nullptr;
    g_subject = nullptr;
}

}  // namespace fuzz

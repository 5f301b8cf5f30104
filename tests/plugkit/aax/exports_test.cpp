// The plug-in library exports exactly its eight entry points.

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#ifndef TOLVA_AAX_MODULE
#error "TOLVA_AAX_MODULE must name the built plug-in library"
#endif

TEST(AAXExports, OnlyTheEntryPointsAreExported) {
    const std::string command = std::string("nm -D --defined-only '") + TOLVA_AAX_MODULE + "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> symbols;
    char line[1024];
    while (std::fgets(line, sizeof(line), pipe)) {
        char address[64], type[8], name[512];
        if (std::sscanf(line, "%63s %7s %511s", address, type, name) == 3) symbols.insert(name);
    }
    ASSERT_EQ(pclose(pipe), 0);
    const std::set<std::string> expected = {"ACFStartup",           "ACFShutdown",        "ACFRegisterPlugin",
                                            "ACFRegisterComponent", "ACFGetClassFactory", "ACFCanUnloadNow",
                                            "ACFGetSDKVersion",     "PlugkitEnumerateTFX"};
    EXPECT_EQ(symbols, expected);
}

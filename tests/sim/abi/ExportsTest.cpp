// What the console's loader sees of KOBALT.dll: the 131 names, and no other KOBALT_ export.
#include "ExpectedNames.h"
#include "SimLibrary.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <link.h>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kobalt::sim::test {
namespace {

constexpr bool AllDistinct() {
    for (std::size_t i = 0; i < kExpectedNames.size(); ++i) {
        for (std::size_t j = i + 1; j < kExpectedNames.size(); ++j) {
            if (kExpectedNames[i] == kExpectedNames[j]) {
                return false;
            }
        }
    }
    return true;
}
static_assert(AllDistinct());

struct Symbol {
    std::string name;
    bool function;
};

// The symbols the shared object at `path` defines in its dynamic symbol table, read from the
// file's section headers.
std::vector<Symbol> DefinedDynamicSymbols(const char* path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<char> image{std::istreambuf_iterator<char>(file), {}};
    const auto at = [&](std::size_t offset, std::size_t size) {
        if (offset > image.size() || size > image.size() - offset) {
            throw std::runtime_error("truncated ELF file");
        }
        return image.data() + offset;
    };
    const auto* header = reinterpret_cast<const ElfW(Ehdr)*>(at(0, sizeof(ElfW(Ehdr))));
    if (std::string_view(reinterpret_cast<const char*>(header->e_ident), SELFMAG) != ELFMAG) {
        throw std::runtime_error("not an ELF file");
    }
    const auto* sections = reinterpret_cast<const ElfW(Shdr)*>(
        at(header->e_shoff, std::size_t{header->e_shnum} * sizeof(ElfW(Shdr))));

    std::vector<Symbol> symbols;
    for (std::size_t s = 0; s < header->e_shnum; ++s) {
        if (sections[s].sh_type != SHT_DYNSYM) {
            continue;
        }
        const ElfW(Shdr)& strings = sections[sections[s].sh_link];
        const char* names = at(strings.sh_offset, strings.sh_size);
        const auto* table =
            reinterpret_cast<const ElfW(Sym)*>(at(sections[s].sh_offset, sections[s].sh_size));
        for (std::size_t i = 0; i < sections[s].sh_size / sizeof(ElfW(Sym)); ++i) {
            const ElfW(Sym)& sym = table[i];
            const unsigned bind = ELF64_ST_BIND(sym.st_info);
            if (sym.st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK) ||
                sym.st_name >= strings.sh_size) {
                continue;
            }
            symbols.push_back({names + sym.st_name, ELF64_ST_TYPE(sym.st_info) == STT_FUNC});
        }
    }
    return symbols;
}

TEST(Exports, EveryEntryPointResolvesByName) {
    std::vector<std::string_view> missing;
    for (std::string_view name : kExpectedNames) {
        if (SimLibrary::Get().Symbol(std::string(name).c_str()) == nullptr) {
            missing.push_back(name);
        }
    }
    EXPECT_THAT(missing, testing::IsEmpty());
}

// Nothing else leaves the library, not even inline code of the standard library.
TEST(Exports, DynamicSymbolTableHoldsExactlyTheEntryPointsAsFunctions) {
    std::set<std::string> exported;
    std::vector<std::string> notFunctions;
    for (const Symbol& symbol : DefinedDynamicSymbols(KOBALT_SIM_PATH)) {
        exported.insert(symbol.name);
        if (!symbol.function) {
            notFunctions.push_back(symbol.name);
        }
    }
    const std::set<std::string> expected(kExpectedNames.begin(), kExpectedNames.end());
    EXPECT_EQ(exported, expected);
    EXPECT_THAT(notFunctions, testing::IsEmpty());
}

} // namespace
} // namespace kobalt::sim::test

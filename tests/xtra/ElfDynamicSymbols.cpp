#include "ElfDynamicSymbols.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace XtraTest {

namespace {

template <class T>
T readAt(const std::vector<char>& i_file, size_t i_offset)
{
    if (i_offset > i_file.size() || i_file.size() - i_offset < sizeof(T)) {
        throw std::runtime_error("truncated ELF file");
    }
    T value;
    std::memcpy(&value, i_file.data() + i_offset, sizeof(T));
    return value;
}

std::string stringAt(const std::vector<char>& i_file, size_t i_table, size_t i_table_size, size_t i_offset)
{
    if (i_offset >= i_table_size || i_table + i_table_size > i_file.size()) {
        throw std::runtime_error("bad ELF string table");
    }
    const char* start = i_file.data() + i_table + i_offset;
    return std::string(start, strnlen(start, i_table_size - i_offset));
}

}  // namespace

std::vector<std::string> definedDynamicSymbols(const std::string& i_path)
{
    std::ifstream stream(i_path, std::ios::binary);
    const std::vector<char> file((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    const auto header = readAt<Elf64_Ehdr>(file, 0);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64) {
        throw std::runtime_error("not a 64-bit ELF file: " + i_path);
    }
    std::vector<std::string> names;
    for (size_t s = 0; s < header.e_shnum; s++) {
        const auto section = readAt<Elf64_Shdr>(file, header.e_shoff + s * header.e_shentsize);
        if (section.sh_type != SHT_DYNSYM) {
            continue;
        }
        const auto strings = readAt<Elf64_Shdr>(file, header.e_shoff + section.sh_link * header.e_shentsize);
        for (size_t offset = 0; offset + sizeof(Elf64_Sym) <= section.sh_size; offset += sizeof(Elf64_Sym)) {
            const auto symbol = readAt<Elf64_Sym>(file, section.sh_offset + offset);
            const unsigned binding = ELF64_ST_BIND(symbol.st_info);
            const bool visible = binding == STB_GLOBAL || binding == STB_WEAK || binding == STB_GNU_UNIQUE;
            if (visible && symbol.st_shndx != SHN_UNDEF) {
                names.push_back(stringAt(file, strings.sh_offset, strings.sh_size, symbol.st_name));
            }
        }
    }
    return names;
}

}  // namespace XtraTest

#include "elf_symbols.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>

DynamicSymbols readDynamicSymbols(const std::string& path) {
    DynamicSymbols out;
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (file.size() < sizeof(Elf64_Ehdr)) {
        out.error = "not an ELF file";
        return out;
    }
    Elf64_Ehdr eh;
    std::memcpy(&eh, file.data(), sizeof eh);
    if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64) {
        out.error = "not an ELF64 file";
        return out;
    }
    auto section = [&](size_t i, Elf64_Shdr& sh) {
        const size_t at = eh.e_shoff + i * sizeof(Elf64_Shdr);
        if (at + sizeof sh > file.size()) return false;
        std::memcpy(&sh, file.data() + at, sizeof sh);
        return true;
    };
    for (size_t i = 0; i < eh.e_shnum; ++i) {
        Elf64_Shdr sym;
        if (!section(i, sym) || sym.sh_type != SHT_DYNSYM) continue;
        Elf64_Shdr str;
        if (!section(sym.sh_link, str) || str.sh_offset + str.sh_size > file.size() ||
            sym.sh_offset + sym.sh_size > file.size()) {
            out.error = "bad section table";
            return out;
        }
        const size_t count = sym.sh_size / sizeof(Elf64_Sym);
        for (size_t k = 1; k < count; ++k) {
            Elf64_Sym s;
            std::memcpy(&s, file.data() + sym.sh_offset + k * sizeof(Elf64_Sym), sizeof s);
            if (s.st_name >= str.sh_size) continue;
            const char* name = file.data() + str.sh_offset + s.st_name;
            const std::string text(name, strnlen(name, str.sh_size - s.st_name));
            const int bind = ELF64_ST_BIND(s.st_info);
            const int visibility = ELF64_ST_VISIBILITY(s.st_other);
            if (s.st_shndx == SHN_UNDEF) {
                out.undefined.push_back(text);
            } else if ((bind == STB_GLOBAL || bind == STB_WEAK || bind == STB_GNU_UNIQUE) &&
                       (visibility == STV_DEFAULT || visibility == STV_PROTECTED)) {
                out.defined.push_back(text);
            }
        }
        out.ok = true;
        return out;
    }
    out.error = "no dynamic symbol table";
    return out;
}

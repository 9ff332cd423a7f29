// Any bytes given as a settings package (VorDef.DB, its memo file and mapping files, split at
// "|FILE:NAME|") are read in or refused with entries of the error list: the read-in never crashes,
// never writes a file outside the program folder and never a name that is no table file of a
// setting's own.
#include "MemoryFileSystem.h"

#include "common/FileSets.h"
#include "settings/ControlTables.h"
#include "settings/SettingsCatalog.h"
#include "tablestore/TableError.h"

using namespace kimport;

namespace {

const std::string kProgram = "/prog/";
const std::string kPackage = "/paket/";

// Nobody answers: every question is declined, every message taken.
struct SilentPrompter : Prompter {
    Answer message(MsgKind, Buttons, std::string_view, int) override { return Answer::No; }
    void beep() override {}
    std::optional<std::string> inputQuery(std::string_view, std::string_view, std::string_view) override { return {}; }
    std::optional<std::string> openFile(const FileDialogSpec&) override { return {}; }
    std::optional<std::string> saveFile(const FileDialogSpec&) override { return {}; }
};

// The empty control tables, made once.
const std::map<std::string, std::string>& freshProgramFolder() {
    static const std::map<std::string, std::string> files = [] {
        fuzz::MemoryFileSystem fs;
        makeControlTables(kProgram, fs);
        return fs.files;
    }();
    return files;
}

bool allowedAfterReadIn(const std::string& path) {
    if (path.rfind(kPackage, 0) == 0) return path.find('/', kPackage.size()) == std::string::npos;
    if (path.rfind(kProgram, 0) != 0) return false;
    const std::string name = path.substr(kProgram.size());
    const auto dot = name.find_last_of('.');
    if (name == "PKIMPORT.LCK") return true;
    return dot != std::string::npos && isPlainBaseName(name.substr(0, dot)) && isTableFileExtension(name.substr(dot));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::MemoryFileSystem fs;
    fs.files = freshProgramFolder();
    for (auto& [name, bytes] : fuzz::splitFiles(data, size, "VorDef.DB")) {
        // A package holds plain names only; anything else is not a file a folder could hold.
        if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") continue;
        fs.files[kPackage + name] = std::move(bytes);
    }
    SilentPrompter prompter;
    Table impList(fs), zStrukt(fs);
    impList.setPath(impListPath(kProgram));
    zStrukt.setPath(zStruktPath(kProgram));
    impList.Exclusive = zStrukt.Exclusive = true;
    SettingsTables tables{impList, zStrukt, prompter, fs, kProgram};
    try {
        ReadInResult result = ReadInSettings(tables, kPackage + "VorDef.DB", nullptr);
        if (result.read < 0 || result.refused < 0) __builtin_trap();
        impList.CloseTable();
    } catch (const TableError&) {
    } catch (const IoError&) {
    }
    for (const auto& [path, bytes] : fs.files)
        if (!allowedAfterReadIn(path)) __builtin_trap();
    return 0;
}

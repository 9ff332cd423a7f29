// kimport: the headless side of the program, for scripts and tests.
#include "app/RunCommand.h"
#include "common/FileSets.h"
#include "tablestore/Dump.h"
#include "tablestore/Table.h"
#include "tablestore/TableFiles.h"

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

using namespace kimport;

const char* const kHelp =
    "Aufruf: kimport BEFEHL [ARGUMENTE]\n"
    "\n"
    "Befehle:\n"
    "  schema DATEI         Felder der Tabelle: Name, Typcode, Größe, X für Schlüsselfelder\n"
    "  dump DATEI           Inhalt der Tabelle als CSV (UTF-8)\n"
    "  copy QUELLE ZIEL     neue Tabelle ZIEL (.DB oder .DBF) mit Feldern und Daten von QUELLE\n"
    "  run --source QUELLE --target ZIEL [--mode 1..5] [--start-value WERT] [--empty-target]\n"
    "                       Import mit automatischer Zuordnung (gleiche Feldnamen, Schlüsselfelder);\n"
    "                       Modi: 1 anhängen, 2 vorhandene ignorieren, 3 vorhandene umbenennen,\n"
    "                       4 Schlüssel selbständig erhöhen, 5 aktualisieren\n"
    "                       [--program-dir DIR] Verzeichnis der Steuertabellen (sonst das des Programms)\n"
    "                       [--use-mapping] die Zuordnung aus ZStrukt.DB verwenden statt einer neuen\n"
    "  --version            Produktnamen und Version ausgeben\n"
    "  --help               diese Hilfe ausgeben\n"
    "\n"
    "Rückgabewert: 0 bei Erfolg, 1 bei einem Fehler, 2 bei falschen Argumenten.\n";

// The directory of the executable, with a trailing "/".
std::string programDirectory(const char* argv0) {
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    std::string path = ec ? std::filesystem::absolute(argv0).string() : self.string();
    return directoryOf(path);
}

int usage(const std::string& message) {
    std::cerr << "kimport: " << message << "\n\n" << kHelp;
    return 2;
}

int schema(const std::string& file) {
    Table t;
    t.setPath(file);
    t.OpenTable();
    for (int i = 0; i < t.FieldCount(); ++i) {
        const FieldDef& f = t.FieldDefAt(i);
        std::cout << f.name << '\t' << typeCode(f.type) << '\t' << f.size << '\t' << (t.InPrimaryIndex(i) ? "X" : "")
                  << '\n';
    }
    return 0;
}

int dump(const std::string& file) {
    Table t;
    t.setPath(file);
    t.OpenTable();
    dumpTable(t.image(), std::cout);
    std::cout.flush();
    if (std::size_t n = t.image().unreadableValues)
        std::cerr << "kimport: Warnung: " << n << (n == 1 ? " Wert konnte" : " Werte konnten")
                  << " nicht gelesen werden und " << (n == 1 ? "ist" : "sind") << " leer ausgegeben.\n";
    return std::cout ? 0 : 1;
}

int copy(const std::string& sourcePath, const std::string& destPath) {
    Table source;
    source.setPath(sourcePath);
    source.OpenTable();
    std::vector<FieldSpec> specs;
    for (int i = 0; i < source.FieldCount(); ++i) {
        const FieldDef& f = source.FieldDefAt(i);
        FieldSpec s;
        s.name = f.name;
        s.type = f.type;
        s.size = f.size;
        s.required = f.required;
        s.decimals = f.decimals;
        if (source.format() == TableFormat::DBase && (f.letter == 'N' || f.letter == 'F')) s.size = f.length;
        if (f.type == FieldType::Unknown) s.type = FieldType::Bytes, s.size = f.length;
        specs.push_back(s);
    }
    bool keyed = source.format() == TableFormat::Paradox && isParadoxPath(destPath);
    MakeTable(directoryOf(destPath).empty() ? "." : directoryOf(destPath), fileNameOf(destPath), specs,
              keyed ? source.KeyFieldCount() : 0);
    Table dest;
    dest.setPath(destPath);
    dest.Exclusive = true;
    dest.OpenTable();
    CopyRecords(source, dest);
    dest.CloseTable();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usage("kein Befehl angegeben");
    const std::string& command = args[0];
    if (command == "--version" || command == "-V") {
        std::cout << KIMPORT_VERSION_TEXT << "\n";
        return 0;
    }
    if (command == "--help" || command == "-h") {
        std::cout << kHelp;
        return 0;
    }
    try {
        if (command == "schema" || command == "dump") {
            if (args.size() != 2) return usage(command + " erwartet genau eine Datei");
            return command == "schema" ? schema(args[1]) : dump(args[1]);
        }
        if (command == "run") return runImportCommand(args, programDirectory(argv[0]));
        if (command == "copy") {
            if (args.size() != 3) return usage("copy erwartet QUELLE und ZIEL");
            return copy(args[1], args[2]);
        }
    } catch (const std::exception& e) {
        std::cerr << "kimport: " << e.what() << "\n";
        return 1;
    }
    return usage("unbekannter Befehl \"" + command + "\"");
}

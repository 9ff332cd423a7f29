// kimport: the headless side of the program, for scripts and tests.
#include "app/ExitCodes.h"
#include "app/RunCommand.h"
#include "app/SettingsCommand.h"
#include "common/CodePage.h"
#include "common/FileSets.h"
#include "common/ProgramDirectory.h"
#include "common/Text.h"
#include "common/UserMessage.h"
#include "tablestore/Dump.h"
#include "tablestore/Table.h"
#include "tablestore/TableCopy.h"
#include "tablestore/TableFiles.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
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
    "  copy QUELLE ZIEL [--format F]\n"
    "                       neue Tabelle ZIEL (.DB oder .DBF) mit Feldern und Daten von QUELLE; sie ersetzt\n"
    "                       eine Tabelle ZIEL erst, wenn sie vollständig ist. Jeder Wert kommt genau an,\n"
    "                       sonst wird nichts kopiert. F: paradox3, paradox4, paradox5, paradox7, dbase3,\n"
    "                       dbase4, foxpro, vfp (ohne --format: die Version der Quelle bzw. dBase IV oder Paradox 4)\n"
    "  schema, dump, copy, pack: [--codepage N] Codeseite einer Tabelle, deren Kopf keine nennt\n"
    "  run --source QUELLE --target ZIEL [--mode 1..5] [--start-value WERT] [--empty-target]\n"
    "                       Import mit automatischer Zuordnung (gleiche Feldnamen, Schlüsselfelder);\n"
    "                       Modi: 1 anhängen, 2 vorhandene ignorieren, 3 vorhandene umbenennen,\n"
    "                       4 Schlüssel selbständig erhöhen, 5 aktualisieren; 3 und 4 zählen ab --start-value.\n"
    "                       Vor dem Schreiben wird geprüft wie im Assistenten: Zuordnung, möglicher Modus,\n"
    "                       Startwert (jeder erzeugte Schlüssel muss neu sein und in das Feld passen)\n"
    "                       [--program-dir DIR] Verzeichnis der Steuertabellen (sonst das des Programms)\n"
    "                       [--use-mapping] die Zuordnung aus ZStrukt.DB verwenden statt einer neuen\n"
    "                       [--report DATEI.csv] die Fehlerliste des Laufs (Datensatz bzw. Zeile, Feld,\n"
    "                       gelesener und versuchter Wert, Grund) als CSV; ohne sie stehen die ersten 20\n"
    "                       Einträge nach den Zählern auf der Standardfehlerausgabe\n"
    "  settings list [--program-dir DIR]   die gespeicherten Importeinstellungen: Name, Quellformat, Modus,\n"
    "                       letzter Import (durch Tabulatoren getrennt)\n"
    "  settings show NAME [--program-dir DIR]   eine Importeinstellung mit ihren Zuordnungen und Optionen\n"
    "  settings export NAME... --to DIR [--program-dir DIR]   Importeinstellungen als vordefinierte in\n"
    "                       DIR/VorDef.DB schreiben (mit ihren Zuordnungsdateien), zum Einlesen anderswo\n"
    "  settings import DIR [--program-dir DIR]   die Importeinstellungen aus DIR/VorDef.DB mit ihren\n"
    "                       Zuordnungsdateien einlesen wie \"Neue Einstellungen einlesen\" (vergebene Namen\n"
    "                       werden umbenannt; die Fehlerliste steht auf der Standardfehlerausgabe)\n"
    "  settings delete NAME [--program-dir DIR]   eine Importeinstellung mit ihrer Zuordnungstabelle löschen\n"
    "  run --setting NAME [--source QUELLE] [--target ZIEL] [--start-value WERT]\n"
    "                       eine gespeicherte Importeinstellung unverändert ausführen (Zuordnung, Textaufbau,\n"
    "                       Formate, Sicherungskopie, Leeren und Modus wie gespeichert)\n"
    "                       [--codepage N] Codeseite von Quelle oder Ziel, wenn ihr Kopf keine nennt\n"
    "                       Textquelle (jede Datei, die nicht .DB oder .DBF ist):\n"
    "                       [--separator ;|,|tab|space|ZEICHEN] (wiederholbar) [--quote '\"'|\"'\"|none]\n"
    "                       [--names-first-line] [--fixed 3,5,12] [--dos] [--encoding utf8|cp1252|cp850]\n"
    "                       [--decimal Z] [--thousands Z] [--time-sep Z] [--date-sep Z]\n"
    "                       [--date-order TT/MM/JJJJ|MM/TT/JJJJ|JJJJ/MM/TT|...]\n"
    "                       Ohne Trennzeichen-Optionen werden Anführungszeichen und ; oder , an der ersten\n"
    "                       Zeile erkannt; Zeilen ohne sie, gleich lang wie die zweite, gelten als eine Spalte.\n"
    "  pack DATEI           entfernt die als gelöscht markierten Datensätze einer dBase-Tabelle\n"
    "                       und schreibt ihre Memodatei neu\n"
    "  --version            Produktnamen und Version ausgeben\n"
    "  --help               diese Hilfe ausgeben\n"
    "\n"
    "Rückgabewert: 0 bei Erfolg (bei run: alles gespeichert, ohne Fehler), 1 bei einem Fehler (bei run sagt\n"
    "die letzte Zeile, ob nichts gespeichert wurde oder gespeichert mit Fehlern), 2 bei falschen Argumenten,\n"
    "3 wenn run abgebrochen wurde (Strg+C; das bis dahin Importierte ist gespeichert).\n";

// The program directory; with --program-dir the command takes that one and no per-user folder is set up.
std::string programDirectory(const char* argv0, const std::vector<std::string>& args) {
    const auto option = std::find(args.begin(), args.end(), "--program-dir");
    if (option != args.end() && option + 1 != args.end()) return {};
    return resolveProgramDirectory(executableDirectory(argv0));
}

int usage(const std::string& message) {
    std::cerr << "kimport: " << message << "\n\n" << kHelp;
    return kExitBadArguments;
}

// A table's own options: --codepage N for a table that names no code page.
struct TableOptions {
    std::vector<std::string> files;
    int codePage = 0;
    std::string format;
};

std::optional<TableOptions> parseTableOptions(const std::vector<std::string>& args, bool withFormat,
                                              std::string& error) {
    TableOptions o;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--codepage" || (withFormat && a == "--format")) {
            if (i + 1 >= args.size()) {
                error = a + " erwartet einen Wert";
                return std::nullopt;
            }
            const std::string& value = args[++i];
            if (a == "--format") {
                o.format = value;
                continue;
            }
            o.codePage = std::atoi(value.c_str());
            if (o.codePage <= 0 || !isSupportedCodePage(o.codePage)) {
                error = "unbekannte Codeseite \"" + value + "\"";
                return std::nullopt;
            }
        } else if (startsWith(a, "--")) {
            error = "unbekannte Option \"" + a + "\"";
            return std::nullopt;
        } else {
            o.files.push_back(a);
        }
    }
    return o;
}

int schema(const TableOptions& o) {
    Table t;
    t.setPath(o.files[0]);
    t.CodePageIfNone = o.codePage;
    t.OpenTable();
    for (int i = 0; i < t.FieldCount(); ++i) {
        const FieldDef& f = t.FieldDefAt(i);
        std::cout << f.name << '\t' << typeCode(f.type) << '\t' << f.size << '\t' << (t.InPrimaryIndex(i) ? "X" : "")
                  << '\n';
    }
    return kExitSuccess;
}

int dump(const TableOptions& o) {
    Table t;
    t.setPath(o.files[0]);
    t.CodePageIfNone = o.codePage;
    t.OpenTable();
    dumpTable(t.image(), std::cout);
    std::cout.flush();
    if (std::size_t n = t.image().unreadableValues)
        std::cerr << "kimport: Warnung: " << n << (n == 1 ? " Wert konnte" : " Werte konnten")
                  << " nicht gelesen werden und " << (n == 1 ? "ist" : "sind") << " leer ausgegeben.\n";
    if (std::uint32_t n = t.image().missingRecords)
        std::cerr << "kimport: Warnung: die Datei ist zu kurz; " << n
                  << (n == 1 ? " Datensatz fehlt" : " Datensätze fehlen") << " am Ende.\n";
    return std::cout ? kExitSuccess : kExitFailure;
}

int pack(const TableOptions& o) {
    Table t;
    t.setPath(o.files[0]);
    t.CodePageIfNone = o.codePage;
    t.Exclusive = true;
    t.OpenTable();
    if (t.format() != TableFormat::DBase)
        throw TableError("Nur dBase-Tabellen haben gelöschte Datensätze.", TableError::Kind::Usage, t.path());
    std::size_t removed = t.image().dbase.deletedRows.size();
    t.PackTable();
    t.CloseTable();
    std::cerr << "kimport: " << removed << (removed == 1 ? " gelöschter Datensatz" : " gelöschte Datensätze")
              << " entfernt.\n";
    return kExitSuccess;
}

int copy(const TableOptions& o) {
    CopyOptions options;
    options.sourceCodePage = o.codePage;
    if (!o.format.empty()) {
        auto variant = parseTargetVariant(o.format);
        if (!variant) return usage("unbekanntes Format \"" + o.format + "\"");
        options.variant = *variant;
    }
    CopyResult result = copyTable(o.files[0], o.files[1], options);
    std::uint64_t n = result.records;
    std::cerr << "kimport: " << n << (n == 1 ? " Datensatz" : " Datensätze") << " nach " << o.files[1]
              << " kopiert.\n";
    if (std::uint32_t missing = result.missingAtEnd)
        std::cerr << "kimport: Warnung: die Quelle ist zu kurz; " << missing
                  << (missing == 1 ? " Datensatz fehlte" : " Datensätze fehlten") << " am Dateiende und "
                  << (missing == 1 ? "wurde" : "wurden") << " nicht kopiert.\n";
    return kExitSuccess;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usage("kein Befehl angegeben");
    const std::string& command = args[0];
    if (command == "--version" || command == "-V") {
        std::cout << KIMPORT_VERSION_TEXT << "\n";
        return kExitSuccess;
    }
    if (command == "--help" || command == "-h") {
        std::cout << kHelp;
        return kExitSuccess;
    }
    try {
        if (command == "schema" || command == "dump" || command == "copy" || command == "pack") {
            std::string error;
            auto options = parseTableOptions(args, command == "copy", error);
            if (!options) return usage(error);
            if (command == "copy") {
                if (options->files.size() != 2) return usage("copy erwartet QUELLE und ZIEL");
                return copy(*options);
            }
            if (options->files.size() != 1) return usage(command + " erwartet genau eine Datei");
            if (command == "pack") return pack(*options);
            return command == "schema" ? schema(*options) : dump(*options);
        }
        if (command == "run") return runImportCommand(args, programDirectory(argv[0], args));
        if (command == "settings") return settingsCommand(args, programDirectory(argv[0], args));
    } catch (const std::bad_alloc&) {
        std::cerr << "kimport: " << kOutOfMemoryMessage << "\n";  // nothing more is allocated for it
        return kExitFailure;
    } catch (const std::exception& e) {
        // A table error says what went wrong in its message and decides the code by its kind; anything
        // else is a fault of the program, shown as unexpected (userMessage), never as the user's mistake.
        std::cerr << "kimport: " << userMessage(e) << "\n";
        return exitCodeFor(e);
    } catch (...) {
        std::cerr << "kimport: " << kUnexpectedErrorMessage << "\n";
        return kExitFailure;
    }
    return usage("unbekannter Befehl \"" + command + "\"");
}

#include "app/SettingsCommand.h"

#include "app/ExitCodes.h"
#include "common/FileSets.h"
#include "common/Numbers.h"
#include "settings/ControlTables.h"
#include "settings/SettingsCatalog.h"
#include "settings/SettingsStore.h"
#include "tablestore/ValueConversion.h"

#include <algorithm>
#include <iostream>

namespace kimport {

namespace {

const FormatSettings kShown = FormatSettings::german();

std::string dateText(const std::optional<DayNumber>& day) { return day ? formatDate(*day, kShown) : std::string(); }

std::string yesNo(bool b) { return b ? "ja" : "nein"; }

const char* modeText(int mode) {
    switch (mode) {
    case 1: return "an das Ende anhängen";
    case 2: return "vorhandene Datensätze ignorieren";
    case 3: return "vorhandene Datensätze umbenennen";
    case 4: return "Schlüsselwerte selbständig erhöhen";
    case 5: return "Zieldatenbank aktualisieren";
    default: return "unbekannt";
    }
}

// The options of a rule that are not the default, in the words of the options pages.
std::string optionsText(const MappingRule& r) {
    std::vector<std::string> parts;
    auto number = [](double d) { return formatFloat(d, kShown); };
    if (r.Div) parts.push_back("dividieren durch " + number(*r.Div));
    if (r.Mul) parts.push_back("multiplizieren mit " + number(*r.Mul));
    std::string conditions;
    if (r.BedGleich) conditions += "=";
    if (r.BedKleiner) conditions += "<";
    if (r.BedGroesser) conditions += ">";
    if (r.BedLeer) conditions += " leer";
    const std::string compared =
        !r.Quellwert_alph.empty() ? "\"" + r.Quellwert_alph + "\"" : r.Quellwert_num ? number(*r.Quellwert_num) : "";
    const std::string preset = !r.Vorgabewert_alph.empty() ? "\"" + r.Vorgabewert_alph + "\""
                               : r.Vorgabewert_num         ? number(*r.Vorgabewert_num)
                                                           : "";
    if (!preset.empty())
        parts.push_back("Vorgabewert " + preset + (conditions.empty() ? "" : ", falls Quellwert " + conditions + " " + compared));
    if (!r.Formel_alph.empty()) parts.push_back("Formel " + r.Formel_alph);
    if (!r.Formel_num.empty()) parts.push_back("Formel " + r.Formel_num);
    if (r.Runden) parts.push_back("runden auf " + std::to_string(*r.Runden) + " Stellen");
    if (r.Ausrichtung_li) parts.push_back("links ausrichten");
    if (r.Ueberl_abschneid_li || r.Ueberl_abschneid_re)
        parts.push_back(std::string("bei Überlänge ") + (r.Ueberl_abschneid_li ? "links" : "rechts") + " abschneiden");
    if (r.StringAuswahlBeg)
        parts.push_back("Stelle " + std::to_string(*r.StringAuswahlBeg) + " bis " +
                        (r.StringAuswahlEnd ? std::to_string(*r.StringAuswahlEnd) : std::string("?")));
    if (!r.FeldAkt) parts.push_back("beim Aktualisieren nicht überschreiben");
    std::string text;
    for (const std::string& p : parts) text += (text.empty() ? "" : "; ") + p;
    return text;
}

int list(Table& impList) {
    std::vector<SavedSetting> settings;
    for (impList.MoveFirst(); !impList.AtEnd(); impList.MoveNext()) settings.push_back(readSetting(impList));
    std::sort(settings.begin(), settings.end(),
              [](const SavedSetting& a, const SavedSetting& b) { return settingNameBefore(a.name, b.name); });
    for (const SavedSetting& s : settings) {
        std::cout << s.name << '\t' << s.sourceFormat << '\t' << s.mode << '\t' << dateText(s.lastImport) << '\n';
    }
    return kExitSuccess;
}

int show(Table& impList, const std::string& programDir, const std::string& name) {
    if (!seekSetting(impList, name)) {
        std::cerr << "kimport settings: die Importeinstellung \"" << name << "\" gibt es nicht.\n";
        return kExitFailure;
    }
    const SavedSetting s = readSetting(impList);
    auto line = [](const char* caption, const std::string& value) { std::cout << caption << ":\t" << value << '\n'; };
    line("Bezeichnung", s.name);
    line("Bemerkung", s.remark);
    line("Quellformat", s.sourceFormat);
    line("Quelldatei", s.sourcePath);
    line("Zieldatei", s.targetPath);
    line("Importmodus", std::to_string(s.mode) + " (" + modeText(s.mode) + ")");
    line("Zieldatei leeren", yesNo(s.emptyTarget));
    line("Sicherungskopie", yesNo(s.backupCopy));
    line("Letzter Import", dateText(s.lastImport));
    line("Eigene Einstellung", yesNo(s.own));
    line("Zuordnungstabelle", storedMappingBaseName(s));
    line("Formate", "Dezimal " + s.decimal + "  Tausender " + s.thousands + "  Zeit " + s.time + "  Datum " + s.date +
                        "  " + s.shortDate);
    if (isTextSourcePath(s.sourcePath)) {
        const TextLayout& l = s.layout;
        std::string layout = l.kind == LayoutKind::Fixed ? "feste Feldlänge, Grenzen" : "variable Feldlänge, Trennzeichen";
        if (l.kind == LayoutKind::Fixed) {
            for (int b : l.breaks)
                if (b > 0) layout += " " + std::to_string(b);
        } else {
            layout += std::string(l.semicolon ? " ;" : "") + (l.comma ? " ," : "") + (l.tab ? " Tab" : "") +
                      (l.space ? " Leerzeichen" : "") + (l.other ? " " + l.otherChar : "");
            layout += std::string(", Textqualifizierer ") + (l.quoteIndex == 1 ? "\"" : l.quoteIndex == 2 ? "'" : "keiner");
        }
        line("Textaufbau", layout);
        line("Feldnamen in der ersten Zeile", yesNo(l.namesInFirstLine));
        line("DOS-Zeichensatz", yesNo(s.dosToWin));
        std::string names;
        for (const std::string& n : l.columnNames) names += (names.empty() ? "" : ", ") + n;
        line("Spalten", names);
    }
    // The rules, from the setting's own mapping table (read only, never changed here).
    if (mappingBaseName(s).empty()) {
        std::cerr << "kimport settings: " << unusableBaseNameMessage(s) << '\n';
        return kExitFailure;
    }
    Table mapping;
    mapping.setPath(findIgnoringCase(withTrailingSlash(programDir) + mappingBaseName(s) + ".DB"));
    try {
        mapping.OpenTable();
    } catch (const TableError& e) {
        // Missing, damaged or held by the wizard: the table store's message names the file.
        std::cerr << "kimport settings: " << e.what() << '\n';
        return exitCodeFor(e.kind());
    }
    std::cout << "\nZielfeld\tTyp\tLänge\tSchlüssel\tQuellfeld\tOptionen\n";
    for (mapping.MoveFirst(); !mapping.AtEnd(); mapping.MoveNext()) {
        const MappingRule r = readMappingRule(mapping);
        auto text = [&](const char* c) { return mapping.AsString(mapping.FieldNamed(c), kShown); };
        std::cout << text("Feldname") << '\t' << text("Typbezeichnung") << '\t' << text("Laenge") << '\t'
                  << (text("Index").empty() ? "" : "X") << '\t' << r.Zuordnung << '\t' << optionsText(r) << '\n';
    }
    return kExitSuccess;
}

// Messages of the settings operations go to standard error; nobody is there to answer a question.
struct StderrPrompter : Prompter {
    Answer message(MsgKind, Buttons, std::string_view text, int) override {
        std::cerr << "kimport settings: " << text << '\n';
        return Answer::No;
    }
    void beep() override {}
    std::optional<std::string> inputQuery(std::string_view, std::string_view, std::string_view) override { return {}; }
    std::optional<std::string> openFile(const FileDialogSpec&) override { return {}; }
    std::optional<std::string> saveFile(const FileDialogSpec&) override { return {}; }
};

// The catalogue's tables as the settings operations take them; the working mapping table is not used.
struct Catalogue {
    StderrPrompter prompter;
    Table unused;
    SettingsTables tables;
    Catalogue(Table& impList, const std::string& programDir)
        : tables{impList, unused, prompter, realFileSystem(), withTrailingSlash(programDir)} {}
};

void printErrors(const std::vector<std::string>& errors) {
    for (std::string e : errors) {
        while (!e.empty() && (e.back() == '\n' || e.back() == '\r')) e.pop_back();
        std::cerr << "kimport settings: " << e << '\n';
    }
}

int exportSettings(Table& impList, const std::string& programDir, const std::vector<std::string>& names,
                   const std::string& directory) {
    Catalogue c(impList, programDir);
    ExportResult result = ExportSettings(c.tables, names, directory);
    printErrors(result.errors);
    std::cout << result.written << (result.written == 1 ? " Importeinstellung" : " Importeinstellungen")
              << " nach " << withTrailingSlash(directory) << "VorDef.DB geschrieben.\n";
    return result.errors.empty() ? kExitSuccess : kExitFailure;
}

// "Neue Einstellungen einlesen" without the window: DIR/VorDef.DB with its mapping files.
int importSettings(Table& impList, const std::string& programDir, const std::string& directory) {
    Catalogue c(impList, programDir);
    const std::string vorDef = findIgnoringCase(withTrailingSlash(directory) + "VorDef.DB");
    if (!fileExistsIgnoringCase(vorDef)) {
        std::cerr << "kimport settings: " << vorDef << " gibt es nicht.\n";
        return kExitFailure;
    }
    ReadInResult result = ReadInSettings(c.tables, vorDef, nullptr);
    printErrors(result.errors);
    std::cout << result.read << (result.read == 1 ? " Importeinstellung" : " Importeinstellungen")
              << " eingelesen.\n";
    return result.refused == 0 ? kExitSuccess : kExitFailure;
}

int deleteSetting(Table& impList, const std::string& programDir, const std::string& name) {
    Catalogue c(impList, programDir);
    if (!seekSetting(impList, name)) {
        std::cerr << "kimport settings: die Importeinstellung \"" << name << "\" gibt es nicht.\n";
        return kExitFailure;
    }
    DeleteSetting(c.tables, readSetting(impList));
    std::cout << "Die Importeinstellung \"" << name << "\" ist gelöscht worden.\n";
    return kExitSuccess;
}

}  // namespace

int settingsCommand(const std::vector<std::string>& args, const std::string& defaultProgramDir) {
    std::string programDir = defaultProgramDir;
    std::vector<std::string> rest;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--program-dir" && i + 1 < args.size())
            programDir = args[++i];
        else
            rest.push_back(args[i]);
    }
    const bool listing = rest.size() == 1 && rest[0] == "list";
    const bool showing = rest.size() == 2 && rest[0] == "show";
    const auto to = std::find(rest.begin(), rest.end(), "--to");
    const bool exporting = !rest.empty() && rest[0] == "export" && to != rest.end() && to + 2 == rest.end() &&
                           to - rest.begin() >= 2;
    const bool importing = rest.size() == 2 && rest[0] == "import";
    const bool deleting = rest.size() == 2 && rest[0] == "delete";
    if (!listing && !showing && !exporting && !importing && !deleting) {
        std::cerr << "kimport settings: erwartet \"list\", \"show NAME\", \"export NAME... --to DIR\", "
                     "\"import DIR\" oder \"delete NAME\" [--program-dir DIR]\n";
        return kExitBadArguments;
    }
    Table impList;
    impList.setPath(impListPath(programDir));
    // Shared for reading: a wizard that holds it exclusively makes this fail with its message. A change
    // of the catalogue holds it alone, as the wizard does.
    impList.Exclusive = importing || deleting;
    impList.OpenTable();
    if (importing) return importSettings(impList, programDir, rest[1]);
    if (deleting) return deleteSetting(impList, programDir, rest[1]);
    if (exporting) return exportSettings(impList, programDir, std::vector<std::string>(rest.begin() + 1, to), *(to + 1));
    return listing ? list(impList) : show(impList, programDir, rest[1]);
}

}  // namespace kimport

// The install step: makes the empty control tables in a program directory, the
// demo data in its Demos/ folder from the text files in tools/demo, and the two
// demo settings.
// Running it again replaces every file it makes.
//
//   make_program_files PROGRAMMVERZEICHNIS [DEMOQUELLEN]
#include "DemoSettings.h"
#include "common/CodePage.h"
#include "common/FileSets.h"
#include "common/Text.h"
#include "settings/ControlTables.h"
#include "tablestore/Table.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kimport;

namespace {

#ifndef KIMPORT_DEMO_DIR
#define KIMPORT_DEMO_DIR "tools/demo"
#endif

const std::vector<FieldSpec> kArtikel = {
    {"ArtNr", FieldType::String, 8, true},
    {"Bezeichnung", FieldType::String, 40},
    {"Preis", FieldType::Currency},
    {"Einheit", FieldType::String, 10},
    {"Warengruppe", FieldType::String, 20},
    {"Lagerbestand", FieldType::Integer},
    {"Mindestbestand", FieldType::SmallInt},
    {"Gewicht", FieldType::Float},
    {"Aktiv", FieldType::Boolean},
    {"Angelegt", FieldType::Date},
    {"Bemerkung", FieldType::Memo, 20},
};

const std::vector<FieldSpec> kKundenDbf = {
    {"KUNDENNR", FieldType::Integer},
    {"NAME", FieldType::String, 30},
    {"VORNAME", FieldType::String, 20},
    {"STRASSE", FieldType::String, 30},
    {"PLZ", FieldType::String, 5},
    {"ORT", FieldType::String, 25},
    {"TELEFON", FieldType::String, 20},
    {"EMAIL", FieldType::String, 40},
    {"UMSATZ", FieldType::Currency, 12, false, 2},
    {"KUNDESEIT", FieldType::Date},
    {"AKTIV", FieldType::Boolean},
};

const std::vector<FieldSpec> kKundenNeu = {
    {"KundenNr", FieldType::Integer, 0, true},
    {"Name", FieldType::String, 30},
    {"Vorname", FieldType::String, 20},
    {"Strasse", FieldType::String, 30},
    {"PLZ", FieldType::String, 5},
    {"Ort", FieldType::String, 25},
    {"Telefon", FieldType::String, 20},
    {"EMail", FieldType::String, 40},
    {"Umsatz", FieldType::Currency},
    {"KundeSeit", FieldType::Date},
    {"Aktiv", FieldType::Boolean},
};

// The lines of a UTF-8 text file, without line ends; trailing empty lines dropped.
std::vector<std::string> readLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("Die Datei " + path + " kann nicht gelesen werden.");
    std::ostringstream content;
    content << in.rdbuf();
    std::string text = content.str();
    if (!isValidUtf8(text)) throw std::runtime_error("Die Datei " + path + " ist kein UTF-8-Text.");
    std::vector<std::string> lines = split(text, '\n');
    for (std::string& line : lines)
        if (!line.empty() && line.back() == '\r') line.pop_back();
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

// Header and records of a ";" file whose header must name exactly these fields.
std::vector<std::vector<std::string>> readRecords(const std::string& path, const std::vector<FieldSpec>& fields) {
    std::vector<std::string> lines = readLines(path);
    if (lines.empty()) throw std::runtime_error("Die Datei " + path + " ist leer.");
    std::vector<std::string> header = split(lines[0], ';');
    bool same = header.size() == fields.size();
    for (std::size_t i = 0; same && i < header.size(); ++i) same = header[i] == fields[i].name;
    if (!same) throw std::runtime_error("Die Kopfzeile von " + path + " passt nicht zu den Feldern der Tabelle.");
    std::vector<std::vector<std::string>> records;
    for (std::size_t n = 1; n < lines.size(); ++n) {
        std::vector<std::string> cells = split(lines[n], ';');
        if (cells.size() != fields.size())
            throw std::runtime_error(path + ", Zeile " + std::to_string(n + 1) + ": " + std::to_string(cells.size()) +
                                     " statt " + std::to_string(fields.size()) + " Werte.");
        for (std::size_t i = 0; i < cells.size(); ++i)
            // The table store would cut an overlong text silently.
            if (fields[i].type == FieldType::String && charCount(cells[i]) > static_cast<std::size_t>(fields[i].size))
                throw std::runtime_error(path + ", Zeile " + std::to_string(n + 1) + ": \"" + cells[i] +
                                         "\" ist länger als das Feld " + fields[i].name + ".");
        records.push_back(std::move(cells));
    }
    return records;
}

void makeDemoTable(const std::string& directory, const std::string& fileName, const std::vector<FieldSpec>& fields,
                   int keyFieldCount, const std::vector<std::vector<std::string>>& records) {
    MakeTable(directory, fileName, fields, keyFieldCount);
    if (records.empty()) return;
    Table table;
    table.setPath(directory + fileName);
    table.Exclusive = true;
    table.OpenTable();
    const FormatSettings german = FormatSettings::german();
    for (const auto& record : records) {
        table.BeginAppend();
        for (std::size_t i = 0; i < record.size(); ++i)
            if (!record[i].empty()) table.SetAsString(static_cast<int>(i), record[i], german);
        table.PostRecord();
    }
    table.CloseTable();
}

// Writes the lines as a Windows text file: Windows-1252 bytes, CR LF after every line.
void writeWindowsText(const std::string& path, const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) {
        std::size_t unmappable = 0;
        bytes += encodeCodePage(line, 1252, &unmappable);
        if (unmappable != 0) throw std::runtime_error("\"" + line + "\" hat Zeichen außerhalb von Windows-1252.");
        bytes += "\r\n";
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("Die Datei " + path + " kann nicht geschrieben werden.");
}

// Fixed-width records all have the length of the longest line, whatever an editor stripped.
std::vector<std::string> paddedToOneWidth(std::vector<std::string> lines) {
    std::size_t width = 0;
    for (const std::string& line : lines) width = std::max(width, charCount(line));
    for (std::string& line : lines) line.append(width - charCount(line), ' ');
    return lines;
}

// Control tables that already exist hold the user's saved settings: they are
// made only when missing, unless a fresh start is asked for.
void makeProgramFiles(const std::string& programDir, const std::string& sourceDir, bool fresh) {
    std::filesystem::create_directories(programDir);
    bool complete = true;
    for (const std::string& path : {impListPath(programDir), zStruktPath(programDir), qStruktPath(programDir)})
        complete = complete && std::filesystem::exists(findIgnoringCase(path));
    if (fresh || !complete) makeControlTables(programDir);

    const std::string demos = withTrailingSlash(programDir) + kDemosDirName + "/";
    std::filesystem::create_directories(demos);
    makeDemoTable(demos, "Artikel.DB", kArtikel, 1, readRecords(sourceDir + "Artikel.csv", kArtikel));
    makeDemoTable(demos, "ArtikelNeu.DB", kArtikel, 1, {});
    makeDemoTable(demos, "KUNDEN.DBF", kKundenDbf, 0, readRecords(sourceDir + "Kunden.csv", kKundenDbf));
    makeDemoTable(demos, "KundenNeu.DB", kKundenNeu, 1, {});
    writeWindowsText(demos + "Preisliste.txt", readLines(sourceDir + "Preisliste.txt"));
    writeWindowsText(demos + "Kunden_fest.txt", paddedToOneWidth(readLines(sourceDir + "Kunden_fest.txt")));
    addDemoSettings(programDir);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    bool fresh = !args.empty() && args[0] == "--fresh";
    if (fresh) args.erase(args.begin());
    if (args.empty() || args.size() > 2) {
        std::cerr << "Aufruf: make_program_files [--fresh] PROGRAMMVERZEICHNIS [DEMOQUELLEN]\n";
        return 2;
    }
    const std::string programDir = withTrailingSlash(args[0]);
    const std::string sourceDir = withTrailingSlash(args.size() == 2 ? args[1] : KIMPORT_DEMO_DIR);
    try {
        makeProgramFiles(programDir, sourceDir, fresh);
    } catch (const std::exception& e) {
        std::cerr << "make_program_files: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

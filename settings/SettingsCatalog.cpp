#include "settings/SettingsCatalog.h"

#include "common/FileSets.h"
#include "common/Numbers.h"
#include "common/Text.h"
#include "common/UserMessage.h"
#include "settings/CatalogueChange.h"
#include "settings/ColumnValues.h"
#include "settings/ControlTables.h"
#include "tablestore/FileSetWriter.h"
#include "tablestore/ValueConversion.h"

#include <algorithm>
#include <ctime>

namespace kimport {

namespace {

const char* const kCopyTitle = "Importeinstellung kopieren nach";

std::string nameOfRow(const Table& impList) { return textOf(impList, "Bezeichnung"); }

bool hasMappingFile(SettingsTables& t, const std::string& baseName) {
    return !baseName.empty() && t.fs.exists(findIgnoringCase(t.programDir + baseName + ".DB", t.fs));
}

// True when another setting of the catalogue has its mapping files under this base name (the current
// row, the one being read in, does not count). Files nobody uses may be replaced.
bool baseInUse(Table& impList, const std::string& baseName) {
    const std::int64_t current = impList.RecordNumber();
    bool used = false;
    for (impList.MoveFirst(); !impList.AtEnd() && !used; impList.MoveNext())
        used = impList.RecordNumber() != current && mappingBaseName(readSetting(impList)) == baseName;
    impList.GoToRecord(current);
    return used;
}

// A base name for mapping files that no other setting uses and no file carries: the preferred one, or
// with a letter after it.
std::string freeBaseName(SettingsTables& t, const std::string& preferred) {
    std::string name = preferred;
    for (char letter = 'a'; (baseInUse(t.impList, name) || hasMappingFile(t, name)) && letter <= 'z'; ++letter)
        name = preferred.substr(0, 7) + letter;
    return name;
}

// Every column of the current row of `from` into the row being appended or edited in `to`, by name,
// but those named in `skip`.
void copyColumns(const Table& from, Table& to, std::initializer_list<const char*> skip) {
    for (const FieldSpec& f : impListLayout().fields) {
        if (std::find_if(skip.begin(), skip.end(), [&](const char* s) { return f.name == s; }) != skip.end()) continue;
        std::optional<int> source = from.LookupField(f.name);
        if (!source) continue;
        const int target = to.FieldNamed(f.name.c_str());
        if (from.IsNull(*source))
            to.Clear(target);
        else
            to.SetValue(target, from.GetValue(*source));
    }
}

// "Neu: <date and time> <name>" for a name that is taken.
std::string renamedOnReadIn(const std::string& name) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%d.%m.%Y %H:%M:%S", &local);
    return "Neu: " + std::string(stamp) + " " + name;
}

}  // namespace

bool settingNameBefore(const std::string& a, const std::string& b) {
    const std::string x = foldedUpper(a), y = foldedUpper(b);
    return x != y ? x < y : a < b;
}

void sortSettingNames(std::vector<std::string>& names) { std::sort(names.begin(), names.end(), settingNameBefore); }

std::vector<std::string> settingsInView(Table& impList, SettingsView view) {
    std::vector<std::string> names;
    if (!impList.Active()) impList.OpenTable();
    const std::string current = impList.RecordCount() > 0 ? nameOfRow(impList) : std::string();
    for (impList.MoveFirst(); !impList.AtEnd(); impList.MoveNext()) {
        const bool own = flagOf(impList, "Eigene");
        if (view == SettingsView::All || (view == SettingsView::Own) == own) names.push_back(nameOfRow(impList));
    }
    seekSetting(impList, current);
    sortSettingNames(names);
    return names;
}

std::string modeDescription(int mode) {
    switch (mode) {
    case 1: return "Importierte Datensätze am Ende anhängen.";
    case 2: return "Importierte Datensätze am Ende anhängen;\r\nvorhandene Datensätze ignorieren.";
    case 3: return "Importierte Datensätze am Ende anhängen;\r\nSchlüsselwerte vorhandener Datensätze umbenennen.";
    case 4: return "Importierte Datensätze am Ende anhängen;\r\nSchlüsselwerte selbständig erhöhen.";
    case 5: return "Vorhandene Datensätze aktualisieren;\r\nnicht vorhandene hinzufügen.";
    default: return "";
    }
}

std::vector<std::string> summaryOptionLines(const SavedSetting& s) {
    std::vector<std::string> lines;
    if (s.backupCopy) lines.push_back("- Sicherungskopie der Zieldatenbank erstellen");
    if (s.emptyTarget) lines.push_back("- Zieldatenbank vor dem Importlauf leeren");
    switch (s.mode) {
    case 2: lines.push_back("- Importierte Datensätze am Ende anhängen,\r\n   vorhandene Datensätze ignorieren"); break;
    case 3:
        lines.push_back("- Importierte Datensätze am Ende anhängen,\r\n   Schlüsselwerte vorhandener Datensätze umbenennen");
        break;
    case 4: lines.push_back("- Importierte Datensätze am Ende anhängen,\r\n   Schlüsselwerte selbständig erhöhen"); break;
    case 5: lines.push_back("- Vorhandene Datensätze aktualisieren,\r\n   nicht vorhandene hinzufügen"); break;
    default: lines.push_back("- Importierte Datensätze am Ende anhängen"); break;
    }
    return lines;
}

ManagerButtons managerButtons(SettingsView view, bool viewHasRows, bool tableHasRows) {
    ManagerButtons b;
    b.loeschen = b.kopieren = b.umbenennen = b.importStarten = viewHasRows;
    b.optionen = view == SettingsView::All || viewHasRows;
    if (!tableHasRows) {
        b.importStarten = true;
        b.importStartenCaption = "&Schließen";
    }
    return b;
}

bool DeleteSettingAsked(SettingsTables& t, const std::string& name) {
    if (!seekSetting(t.impList, name)) return false;
    if (t.prompter.message(MsgKind::Confirmation, Buttons::YesNo,
                           "Möchten Sie die Importeinstellung \r\n\"" + name + "\"\r\nwirklich löschen?") != Answer::Yes)
        return false;
    DeleteSetting(t, readSetting(t.impList));
    return true;
}

SettingsView viewAfterDelete(Table& impList, SettingsView view) {
    if (view == SettingsView::Own && settingsInView(impList, view).empty()) return SettingsView::All;
    if (view == SettingsView::Predefined && settingsInView(impList, view).empty()) return SettingsView::Own;
    return view;
}

bool RenameSetting(SettingsTables& t, const std::string& name) {
    for (;;) {
        std::optional<std::string> typed = t.prompter.inputQuery("Import umbenennen", "Neue Bezeichnung", "");
        if (!typed || trim(*typed).empty() || *typed == name) return false;
        if (seekSetting(t.impList, *typed)) {
            t.prompter.error("Die Importeinstellung \"" + *typed + "\" existiert bereits.");
            seekSetting(t.impList, name);
            continue;
        }
        if (!seekSetting(t.impList, name)) return false;
        t.impList.BeginEdit();
        putText(t.impList, "Bezeichnung", *typed);  // as typed, blanks included
        t.impList.PostRecord();
        t.impList.Flush();
        return true;
    }
}

bool CopySetting(SettingsTables& t, const std::string& name) {
    if (!seekSetting(t.impList, name)) return false;
    const SavedSetting from = readSetting(t.impList);
    const std::string fromBase = mappingBaseName(from);
    if (!hasMappingFile(t, fromBase)) {
        t.prompter.error("Die Importeinstellungsdatei \"" + t.programDir + fromBase + ".DB\"\r\nist nicht gefunden "
                         "worden.\r\n\r\nEs kann keine Kopie erstellt werden.");
        return false;
    }
    std::string initial;
    std::string newName;
    for (;;) {
        std::optional<std::string> typed = t.prompter.inputQuery(kCopyTitle, "Neue Bezeichnung", initial);
        if (!typed || trim(*typed).empty()) return false;
        if (*typed == name) {
            t.prompter.error("Bitte kopieren Sie keine Importeinstellung auf sich selbst.");
            initial.clear();
            continue;
        }
        if (seekSetting(t.impList, *typed) &&
            t.prompter.message(MsgKind::Warning, Buttons::YesNo,
                               "Die Importeinstellung \"" + *typed + "\" existiert bereits.\r\n\r\nMöchten Sie "
                               "überschreiben?") != Answer::Yes) {
            initial = *typed;
            continue;
        }
        newName = *typed;
        break;
    }
    // Every column as it is (Marks and MarkFeld too), but the name and the mapping's base name.
    std::vector<std::pair<std::string, Value>> columns;
    seekSetting(t.impList, name);
    for (const FieldSpec& f : impListLayout().fields)
        if (f.name != "TableName" && f.name != "VorDefTableName" && f.name != "Bezeichnung")
            columns.emplace_back(f.name, t.impList.GetValue(t.impList.FieldNamed(f.name.c_str())));
    try {
        // The row and its files reach the disk in one swap: a failure leaves the catalogue as it was, an
        // overwritten setting included.
        CatalogueChange change(t);
        if (seekSetting(t.impList, newName)) {
            t.impList.BeginEdit();
        } else {
            t.impList.BeginAppend();
            putText(t.impList, "Bezeichnung", newName);
        }
        for (const auto& [column, value] : columns) {
            const int i = t.impList.FieldNamed(column.c_str());
            if (value.isNull())
                t.impList.Clear(i);
            else
                t.impList.SetValue(i, value);
        }
        putText(t.impList, "VorDefTableName", "");
        t.impList.PostRecord();
        const SavedSetting copy = readSetting(t.impList);
        // Its own mapping files: the number of its row, for a predefined setting with "_" in front.
        const std::string number = std::to_string(t.impList.AsInteger(t.impList.FieldNamed("TableName")));
        const std::string newBase = copy.own ? number : freeBaseName(t, "_" + number);
        if (!copy.own) {
            t.impList.BeginEdit();
            putText(t.impList, "VorDefTableName", newBase);
            t.impList.PostRecord();
        }
        if (!change.copyMapping(t.programDir, fromBase, newBase)) {
            t.prompter.error("Die Importeinstellung konnte nicht kopiert werden");
            return false;
        }
        change.commit();
    } catch (const TableError& e) {
        // The row cannot take the copy (the name taken meanwhile, the catalogue locked or full), or the
        // files could not be copied: nothing of the change reached the disk.
        t.prompter.error(userMessage(e));
        t.prompter.error("Die Importeinstellung konnte nicht kopiert werden");
        return false;
    } catch (const ConversionError& e) {
        // A value of the row that its own column does not take: a catalogue changed by hand.
        t.prompter.error(userMessage(e));
        t.prompter.error("Die Importeinstellung konnte nicht kopiert werden");
        return false;
    } catch (const IoError& e) {
        t.prompter.error(userMessage(e));
        t.prompter.error("Die Importeinstellung konnte nicht kopiert werden");
        return false;
    }
    seekSetting(t.impList, newName);
    return true;
}

ReadInResult ReadInSettings(SettingsTables& t, const std::string& vorDefPath, ProgressSink* progress) {
    ReadInResult result;
    Table vorDef(t.fs);
    vorDef.setPath(vorDefPath);
    vorDef.Exclusive = true;
    vorDef.OpenTable();
    if (!t.impList.Active()) t.impList.OpenTable();
    if (progress) progress->prepareShort("Neue Einstellungen werden eingelesen...", static_cast<int>(vorDef.RecordCount()));
    ShownProgress shown(progress);
    const std::string fromDir = directoryOf(vorDefPath).empty() ? "./" : directoryOf(vorDefPath);
    // The rows by name, taken first: a renamed row moves to another place in the file's key order.
    std::vector<std::string> rows;
    for (vorDef.MoveFirst(); !vorDef.AtEnd(); vorDef.MoveNext()) rows.push_back(nameOfRow(vorDef));
    for (std::size_t row = 0; row < rows.size(); ++row) {
        if (progress) {
            progress->pump();  // a click on "&Abbrechen" arrives here; the row begun before is done
            if (progress->cancelled()) {
                result.cancelled = true;
                break;
            }
            progress->setPosition(static_cast<int>(row + 1));
        }
        std::string name = rows[row];
        if (name.empty()) {
            result.errors.push_back("Eine Importeinstellung ohne Bezeichnung ist nicht eingelesen worden.\r\n");
            ++result.refused;
            continue;
        }
        // A row without its files could not run: it is not kept (its change is never committed).
        auto refuseRow = [&] {
            vorDef.CancelRecord();
            ++result.refused;
            result.errors.push_back("Es konnten nicht alle notwendigen Daten eingelesen werden.Möglicherweise können "
                                    "Sie die Importeinstellung \"" + name + "\" nicht ausführen.\r\n");
        };
        try {
            if (!seekSetting(vorDef, name)) continue;
            const SavedSetting incoming = readSetting(vorDef);
            const std::string fromBase = mappingBaseName(incoming);
            // A package names only its own files: a path or a pattern is never followed.
            if (fromBase.empty() && !storedMappingBaseName(incoming).empty()) {
                result.errors.push_back(unusableBaseNameMessage(incoming) + " Sie ist nicht eingelesen worden.\r\n");
                ++result.refused;
                continue;
            }
            if (seekSetting(t.impList, name)) {
                Pause();
                // The new name must fit the column: the old one is shortened when needed.
                const std::string prefix = renamedOnReadIn("");
                const std::string renamed = prefix + firstChars(name, 80 - charCount(prefix));
                result.errors.push_back("Die neue Importeinstellung \"" + name + "\" mußte umbenannt werden, weil "
                                        "bereits eine mit diesem Namen exsistierte. Neue Bezeichnung: \"" + renamed +
                                        "\".\r\n");
                seekSetting(vorDef, name);
                vorDef.BeginEdit();
                putText(vorDef, "Bezeichnung", renamed);
                vorDef.PostRecord();
                name = renamed;
            }
            // The row and its files reach the disk in one swap: a row without its files could not run.
            CatalogueChange change(t);
            // The row gets a number of this catalogue; an own setting's files take it as their name. A predefined
            // one keeps its name unless another setting uses it, or it looks like one this catalogue makes itself.
            t.impList.BeginAppend();
            copyColumns(vorDef, t.impList, {"TableName"});
            t.impList.PostRecord();
            const std::string number = std::to_string(t.impList.AsInteger(t.impList.FieldNamed("TableName")));
            std::string toBase = incoming.own ? number : fromBase;
            const bool ours = !toBase.empty() && (toBase[0] == '_' || IsDigitString(toBase));
            if (!incoming.own && (ours || baseInUse(t.impList, toBase))) {
                toBase = freeBaseName(t, "_" + number);
                t.impList.BeginEdit();
                putText(t.impList, "VorDefTableName", toBase);
                t.impList.PostRecord();
            }
            bool saved = false;
            try {
                saved = !fromBase.empty() && change.copyMapping(fromDir, fromBase, toBase);
                if (saved) change.commit();
            } catch (const TableError& e) {
                t.prompter.error(userMessage(e));
            } catch (const IoError& e) {
                t.prompter.error(userMessage(e));
            }
            if (!saved) {
                refuseRow();
                continue;
            }
            ++result.read;
        } catch (const TableError&) {
            refuseRow();  // VorDef or the catalogue could not be read or written
        } catch (const ConversionError&) {
            refuseRow();  // a value of the package's row that the catalogue's column does not take
        }
    }
    if (progress) progress->appendStatus("fertig.");
    vorDef.CloseTable();
    return result;
}

ExportResult ExportSettings(SettingsTables& t, const std::vector<std::string>& names, const std::string& directoryIn) {
    ExportResult result;
    const std::string directory = withTrailingSlash(directoryIn);
    const std::string vorDefPath = findIgnoringCase(directory + "VorDef.DB", t.fs);
    // The rows go into a copy of VorDef under a name no setting's files can carry (more than eight
    // characters); that copy and the settings' mapping files then replace the folder's files in one
    // journaled swap. A full disk or a crash before it leaves the folder as it was.
    const std::string staged = "VorDefNeu";
    auto removeStaged = [&] {
        FileSetWriter::recover(t.fs, directory + staged + ".DB");  // its own save's remains go first
        for (const DirEntry& f : fileSetEntries(directory, staged, t.fs)) t.fs.remove(directory + f.name);
    };
    std::vector<std::pair<std::string, std::string>> sets;  // mapping files: base here, base there
    Table current(t.fs), vorDef(t.fs);
    // Nothing of the export reaches the folder: the staged copy is dropped below.
    auto failed = [&](const std::exception& e) {
        if (vorDef.Active()) {
            vorDef.CancelRecord();
            vorDef.CloseDiscarding();
        }
        result.written = 0;
        result.errors.push_back(std::string("Der Export ist nicht geschrieben worden: ") + e.what());
    };
    try {
        removeStaged();  // what an export that died left behind
        if (t.fs.exists(vorDefPath)) {
            current.setPath(vorDefPath);  // held to the end: nobody changes the folder's VorDef meanwhile
            current.Exclusive = true;
            current.OpenTable();
            copyFileSetAtOnce(t.fs, directory, baseNameOf(vorDefPath), directory, staged, true);
        } else {
            MakeTable(directory, staged + ".DB", impListLayout().fields, impListLayout().keyFieldCount, t.fs);
        }
        vorDef.setPath(directory + staged + ".DB");
        vorDef.Exclusive = true;
        vorDef.OpenTable();
        for (const std::string& name : names) {
            if (!seekSetting(t.impList, name)) {
                result.errors.push_back("Die Importeinstellung \"" + name + "\" gibt es nicht.");
                continue;
            }
            SavedSetting s = readSetting(t.impList);
            const std::string fromBase = mappingBaseName(s);
            if (fromBase.empty() && !storedMappingBaseName(s).empty()) {
                result.errors.push_back(unusableBaseNameMessage(s));
                continue;
            }
            if (!hasMappingFile(t, fromBase)) {
                result.errors.push_back("Die Zuordnungsdateien der Importeinstellung \"" + name + "\" fehlen.");
                continue;
            }
            // Predefined there: an own setting's files get a name of at most eight characters from its number.
            const std::string toBase = s.own ? "E" + fromBase : fromBase;
            if (std::find(sets.begin(), sets.end(), std::pair{fromBase, toBase}) == sets.end())
                sets.emplace_back(fromBase, toBase);
            s.own = false;
            s.vorDefTableName = toBase;
            if (seekSetting(vorDef, name))
                vorDef.BeginEdit();
            else
                vorDef.BeginAppend();
            copyColumns(t.impList, vorDef, {"TableName"});
            writeSetting(vorDef, s);
            vorDef.PostRecord();
            ++result.written;
        }
        vorDef.CloseTable();
        if (result.written > 0) {
            FileSetWriter files(t.fs, vorDefPath);
            addFileSetCopy(files, t.fs, directory, staged, directory, baseNameOf(vorDefPath), true);
            for (const auto& [fromBase, toBase] : sets)
                addFileSetCopy(files, t.fs, t.programDir, fromBase, directory, toBase, true);
            files.commit();
        }
    } catch (const TableError& e) {
        failed(e);
    } catch (const IoError& e) {
        failed(e);  // the folder's files could not be copied or swapped
    } catch (const ConversionError& e) {
        failed(e);
    }
    if (current.Active()) current.CloseDiscarding();
    removeStaged();
    return result;
}

}  // namespace kimport

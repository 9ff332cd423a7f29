#include "mapping/StructureMapping.h"

#include "common/FileSets.h"
#include "common/Numbers.h"
#include "common/Text.h"
#include "settings/ControlTables.h"
#include "settings/TypeCodes.h"

namespace kimport {

namespace {

const FormatSettings& fs(Table& t) { return t.regional; }

std::string text(Table& t, const char* column) { return t.AsString(t.FieldNamed(column), fs(t)); }

void setText(Table& t, const char* column, const std::string& value) {
    t.SetValue(t.FieldNamed(column), value.empty() ? Value::null() : Value::ofText(value), fs(t));
}

bool sourceHas(Table& source, const std::string& field) {
    if (!source.Active()) source.OpenTable();
    return source.LookupField(field).has_value();
}

// One structure row per field, inserted from the last field to the first so
// that the rows end up in the table's own field order.
void readStructure(Table& from, Table& into, bool target, SourceGridLayout* layout) {
    if (!into.Active()) into.OpenTable();
    if (!from.Active()) from.OpenTable();
    into.MoveFirst();
    for (int i = from.FieldCount() - 1; i >= 0; --i) {
        const FieldDef& f = from.FieldDefAt(i);
        const int code = typeCode(f.type);
        into.BeginInsert();
        if (layout) *layout = SourceGridLayout{};
        if (from.InPrimaryIndex(i)) {
            setText(into, "Index", "X");
            if (layout) *layout = SourceGridLayout{true, 19};
        }
        setText(into, "Feldname", f.name);
        into.SetAsInteger(into.FieldNamed("Typ"), code);
        setText(into, "Typbezeichnung", std::string(target ? targetTypeName(code) : sourceTypeName(code)));
        int size = f.type == FieldType::String ? f.size : from.DataSize(i);
        const std::string laenge = laengeText(code, size);
        // Control tables of earlier versions hold 3 characters: a length they would cut is refused.
        const int column = into.FieldNamed("Laenge");
        if (charCount(laenge) > static_cast<std::size_t>(into.FieldDefAt(column).size))
            throw TableError("Das Feld " + f.name + " ist " + laenge + " Zeichen lang; die Steuertabelle " +
                                 into.TableName + " kann diese Länge nicht aufnehmen. Bitte legen Sie die "
                                 "Steuertabellen neu an.",
                             TableError::Kind::Value, into.path());
        setText(into, "Laenge", laenge);
        if (target) writeMappingRule(into, defaultRule());
        into.PostRecord();
        into.MoveFirst();
    }
}

}  // namespace

bool ReadSourceStructure(MappingTables& t, SourceGridLayout* layout) {
    SourceGridLayout read;
    // The control table could not take the structure (locked, damaged, a column of an older layout);
    // the source itself is open already.
    auto failed = [&] {
        t.prompter.error("Einlesen der Strukturen der Quelltabelle\r\n" + t.qStrukt.path() + " ist fehlgeschlagen.");
        return false;
    };
    try {
        readStructure(t.source, t.qStrukt, false, &read);
    } catch (const TableError&) {
        return failed();
    } catch (const ConversionError&) {
        return failed();
    }
    if (layout) *layout = read;
    return true;
}

bool ReadTargetStructure(MappingTables& t) {
    try {
        readStructure(t.target, t.zStrukt, true, nullptr);
    } catch (const TableError& e) {
        // A length the control table cannot hold is worth its own message: new control tables help.
        if (e.kind() == TableError::Kind::Value) t.prompter.error(e.what());
        t.prompter.error("Einlesen der Strukturen der Zieltabelle\r\n" + t.zStrukt.path() + " ist fehlgeschlagen.");
        return false;
    } catch (const ConversionError&) {
        t.prompter.error("Einlesen der Strukturen der Zieltabelle\r\n" + t.zStrukt.path() + " ist fehlgeschlagen.");
        return false;
    }
    return true;
}

void ResetRule(Table& zStrukt) {
    zStrukt.BeginEdit();
    writeMappingRule(zStrukt, defaultRule());
    zStrukt.PostRecord();
}

void ClearAssignment(Table& zStrukt) {
    if (!zStrukt.Active() || zStrukt.RecordCount() == 0) return;
    zStrukt.BeginEdit();
    setText(zStrukt, "Zuordnung", "");
    zStrukt.PostRecord();
}

bool AutoMap(MappingTables& t) {
    Table& q = t.qStrukt;
    Table& z = t.zStrukt;
    if (!q.Active()) q.OpenTable();
    if (!z.Active()) z.OpenTable();
    if (t.progress) {
        t.progress->prepareShort("Strukturen der Quell- und Zieldatenbank wurden gelesen.\r\nAutomatische Zuordnung läuft...",
                                 static_cast<int>(q.RecordCount()));
        t.progress->show();
    }
    bool assigned = false;
    for (q.MoveFirst(); !q.AtEnd(); q.MoveNext()) {
        if (t.progress) {
            if (t.progress->cancelled()) break;
            t.progress->pump();
            t.progress->setPosition(static_cast<int>(q.RecordNumber()));
        }
        const std::string sName = text(q, "Feldname");
        const bool sKey = !text(q, "Index").empty();
        for (z.MoveFirst(); !z.AtEnd(); z.MoveNext()) {
            std::string current = text(z, "Zuordnung");
            if (!current.empty() && !sourceHas(t.source, current)) ResetRule(z);
            bool pair = sKey && !text(z, "Index").empty();
            // Names match with a-z upper-cased only: umlauts and ß must be equal as they are.
            if (!pair) pair = asciiUpper(sName) == asciiUpper(text(z, "Feldname")) && z.AsInteger(z.FieldNamed("Typ")) != 14;
            if (pair) {
                z.BeginEdit();
                setText(z, "Zuordnung", sName);
                z.PostRecord();
                assigned = true;
            }
        }
    }
    q.MoveFirst();
    z.MoveFirst();
    if (t.progress) {
        t.progress->appendStatus("fertig.");
        t.progress->close();
    }
    return assigned;
}

bool CheckStoredMapping(MappingTables& t, bool textVariant, const std::string& sourcePath, bool& storedMappingValid) {
    Table& z = t.zStrukt;
    if (!z.Active()) z.OpenTable();
    if (!t.target.Active()) t.target.OpenTable();
    const std::string ext = asciiUpper(extensionOf(sourcePath));
    const bool tableSource = textVariant || ext == ".DBF" || ext == ".DB";
    if (tableSource && !t.source.Active()) t.source.OpenTable();
    bool changed = false;
    for (z.MoveFirst(); !z.AtEnd() && !changed; z.MoveNext()) {
        if (!t.target.LookupField(text(z, "Feldname"))) {
            changed = true;
            break;
        }
        std::string assigned = text(z, "Zuordnung");
        if (tableSource && !assigned.empty() && !t.source.LookupField(assigned)) {
            z.BeginEdit();
            setText(z, "Zuordnung", "");
            z.PostRecord();
        }
    }
    z.MoveFirst();
    for (int i = t.target.FieldCount() - 1; i >= 0 && !changed; --i) {
        const std::string name = asciiUpper(t.target.FieldDefAt(i).name);
        bool found = false;
        for (z.MoveFirst(); !z.AtEnd(); z.MoveNext()) {
            if (asciiUpper(text(z, "Feldname")) != name) continue;
            found = true;
            bool rowKey = !text(z, "Index").empty();
            if (rowKey != t.target.InPrimaryIndex(i) ||
                z.AsInteger(z.FieldNamed("Typ")) != typeCode(t.target.FieldDefAt(i).type))
                changed = true;
        }
        if (!found) changed = true;
    }
    z.MoveFirst();
    if (!changed) return true;
    if (!textVariant) storedMappingValid = false;
    t.prompter.message(MsgKind::Warning, Buttons::Ok,
                       "Die Struktur der Zieldatenbank ist verändert worden.\r\nDie Datenbank wird neu "
                       "eingelesen.\r\n\r\nGespeicherte Zuordnungen können verloren gehen");
    return false;
}

void SaveMappingCopy(MappingTables& t) {
    const std::string working = t.zStrukt.path();
    std::string temp = tempDirectory(t.programDir);
    if (!t.fs.isDirectory(temp)) t.fs.makeDirectory(temp);
    t.zStrukt.CloseTable();
    t.tempStrukt.CloseTable();
    CopyFileSet(directoryOf(working), baseNameOf(working), temp, "tmp", t.prompter, t.fs);
}

void CarryOverRules(MappingTables& t) {
    Table& copy = t.tempStrukt;
    copy.CloseTable();
    copy.setPath(tempDirectory(t.programDir) + "tmp.db");
    copy.OpenTable();
    Table& z = t.zStrukt;
    if (!z.Active()) z.OpenTable();
    if (!t.source.Active()) t.source.OpenTable();
    for (z.MoveFirst(); !z.AtEnd(); z.MoveNext()) {
        const std::string name = asciiUpper(text(z, "Feldname"));
        for (copy.MoveFirst(); !copy.AtEnd(); copy.MoveNext()) {
            if (asciiUpper(text(copy, "Feldname")) != name) continue;
            MappingRule rule = readMappingRule(copy);
            z.BeginEdit();
            if (rule.Zuordnung.empty() || t.source.LookupField(rule.Zuordnung))
                writeMappingRule(z, rule);
            else
                writeMappingRule(z, defaultRule());
            z.PostRecord();
        }
    }
    z.MoveFirst();
}

void DropMissingSources(MappingTables& t) {
    Table& z = t.zStrukt;
    if (!z.Active()) z.OpenTable();
    for (z.MoveFirst(); !z.AtEnd(); z.MoveNext()) {
        std::string assigned = text(z, "Zuordnung");
        if (!assigned.empty() && !sourceHas(t.source, assigned)) ResetRule(z);
    }
    z.MoveFirst();
}

std::optional<std::string> keyFieldLabel(Table& zStrukt) {
    if (!zStrukt.Active()) zStrukt.OpenTable();
    std::optional<std::string> label;
    for (zStrukt.MoveFirst(); !zStrukt.AtEnd() && !label; zStrukt.MoveNext())
        if (!text(zStrukt, "Index").empty()) label = "\"" + text(zStrukt, "Feldname") + "\"";
    zStrukt.MoveFirst();
    return label;
}

TargetGridLayout targetGridLayout(Table& zStrukt) {
    TargetGridLayout layout;
    if (!zStrukt.Active()) zStrukt.OpenTable();
    for (zStrukt.MoveFirst(); !zStrukt.AtEnd(); zStrukt.MoveNext())
        if (!text(zStrukt, "Index").empty()) layout = TargetGridLayout{true, 13, 14};
    zStrukt.MoveFirst();
    return layout;
}

}  // namespace kimport

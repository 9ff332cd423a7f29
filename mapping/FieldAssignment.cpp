#include "mapping/FieldAssignment.h"

#include "common/Numbers.h"
#include "common/Text.h"
#include "settings/ColumnValues.h"
#include "tablestore/TableRoutines.h"

namespace kimport {

namespace {


void inform(Prompter& p, const std::string& text) { p.message(MsgKind::Information, Buttons::Ok, text); }

const char* const kChangeTheType =
    "\r\n\r\nWenn Sie diesem Feld dennoch Werte aus anderen\r\nTabellen zuweisen möchten, müssen Sie den Typ\r\n"
    "des Feldes ändern.\r\n\r\nEs bietet sich an, den Typ \"32-Bit-Integer\" zu verwenden.";

}  // namespace

AssignResult AssignField(MappingTables& t, bool targetEmptied) {
    Table& z = t.zStrukt;
    Table& q = t.qStrukt;
    for (Table* table : {&t.target, &t.source, &z, &q})
        if (!table->Active()) table->OpenTable();
    if (z.RecordCount() == 0 || q.RecordCount() == 0 || z.AtEnd() || q.AtEnd()) return AssignResult::Nothing;
    const bool keyTarget = !trim(textOf(z, "Index")).empty();
    if (z.AsInteger(z.FieldNamed("Typ")) == 14) {
        if (!keyTarget) {
            inform(t.prompter, std::string("Dieses Feld der Zieltabelle ist vom Typ \"Zähler\". Der\r\nWert dieses "
                                           "Feldes wird automatisch erhöht und kann\r\nvom Anwender nicht beeinflußt "
                                           "werden.") + kChangeTheType);
            return AssignResult::Refused;
        }
        if (targetEmptied) {
            inform(t.prompter, std::string("Sie haben die Option \"Zieldatenbank vor dem Import leeren\"\r\ngewählt.\r\n"
                                           "In diesem Fall ist eine Zuordnung auf ein Primärschlüsselfeld der\r\n"
                                           "Zieldatenbank, mit dem Typ \"Zähler\" nicht möglich.") + kChangeTheType);
            return AssignResult::Refused;
        }
    }
    const std::string sourceName = textOf(q, "Feldname");
    if (keyTarget) {
        // A key target takes only values that are filled and unique; a source key field is so already.
        if (trim(textOf(q, "Index")).empty() && !HasUniqueValues(t.source, sourceName)) {
            inform(t.prompter, "Das Feld der Quelltabelle \"" + sourceName +
                                   "\"\r\nbeinhaltet doppelte oder leere Werte.\r\n\r\nEine Zuordnung auf das "
                                   "Primärschlüsselfeld der\r\nZieltabelle ist daher nicht möglich.\r\n\r\nVerwenden "
                                   "Sie ein Quellfeld mit eindeutigen Inhalten,\r\noder lassen Sie das Schlüsselfeld "
                                   "durch das Programm\r\nab einem von Ihnen gewählten Wert incrementieren.");
            return AssignResult::Refused;
        }
        const std::string targetLength = textOf(z, "Laenge"), sourceLength = textOf(q, "Laenge");
        if (IsDigitString(targetLength) && IsDigitString(sourceLength) &&
            std::stoll(targetLength) < std::stoll(sourceLength))
            t.prompter.message(MsgKind::Warning, Buttons::Ok,
                               "Die Länge des Feldes der Zieltabelle ist kleiner, als die\r\ndie Länge des "
                               "zugeordneten Feldes der Quelltabelle.\r\n\r\nDies kann dazu führen, daß Datensätze "
                               "nicht importiert werden.");
    }
    z.BeginEdit();
    z.SetValue(z.FieldNamed("Zuordnung"), Value::ofText(sourceName));
    z.PostRecord();
    return AssignResult::Assigned;
}

bool UnassignAll(MappingTables& t) {
    if (t.prompter.message(MsgKind::Confirmation, Buttons::YesNo, "Möchten Sie wirklich alle Zuordnungen aufheben") !=
        Answer::Yes)
        return false;
    Table& z = t.zStrukt;
    if (!z.Active()) z.OpenTable();
    if (t.progress) t.progress->prepareShort("Alle Zuordnungen werden aufgehoben...", static_cast<int>(z.RecordCount()));
    ShownProgress shown(t.progress);
    for (z.MoveFirst(); !z.AtEnd(); z.MoveNext()) {
        if (t.progress) {
            if (t.progress->cancelled()) break;
            t.progress->pump();
            t.progress->setPosition(static_cast<int>(z.RecordNumber()));
        }
        ClearAssignment(z);
    }
    if (t.progress) t.progress->appendStatus("fertig.");
    shown.close();
    z.MoveFirst();
    return true;
}

bool AnyAssignment(Table& zStrukt) {
    if (!zStrukt.Active()) zStrukt.OpenTable();
    const int column = zStrukt.FieldNamed("Zuordnung");
    const std::int64_t at = zStrukt.RecordNumber();
    bool any = false;
    for (zStrukt.MoveFirst(); !zStrukt.AtEnd() && !any; zStrukt.MoveNext()) any = !zStrukt.IsNull(column);
    if (at > 0) zStrukt.GoToRecord(at);
    return any;
}

}  // namespace kimport

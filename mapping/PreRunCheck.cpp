#include "mapping/PreRunCheck.h"

#include "common/FileSets.h"
#include "common/Prompter.h"
#include "common/Text.h"
#include "settings/ColumnValues.h"
#include "settings/ControlTables.h"

namespace kimport {

namespace {


void off(ModeButton& b) { b = ModeButton{false, false}; }

}  // namespace

const char* const kNoAssignmentMessage =
    "Es sind keine Zuordnungen zwischen Quell- und\r\nZieldatenbank eingetragen.\r\n\r\nSie können diese jetzt vornehmen";

PreRunResult PreRunCheck(Table& zStrukt, const std::string& targetPath, bool targetEmptied, ProgressSink* progress) {
    PreRunResult result;
    if (!zStrukt.Active()) zStrukt.OpenTable();
    if (progress) progress->prepareShort("Importeinstellung wird überprüft...", static_cast<int>(zStrukt.RecordCount()));
    ShownProgress shown(progress);
    const bool paradox = asciiUpper(extensionOf(targetPath)) == ".DB";
    bool keyFound = false, keyMapped = false;
    int keyType = 0;
    for (zStrukt.MoveFirst(); !zStrukt.AtEnd(); zStrukt.MoveNext()) {
        if (progress) {
            if (progress->cancelled()) {
                result.cancelled = true;
                break;
            }
            progress->pump();
            progress->setPosition(static_cast<int>(zStrukt.RecordNumber()));
        }
        const MappingRule r = readMappingRule(zStrukt);
        if (!r.Zuordnung.empty() || !r.Formel_alph.empty() || !r.Formel_num.empty() || !r.Vorgabewert_alph.empty() ||
            r.Vorgabewert_num)
            result.anyAssignment = true;
        if (paradox && !trim(textOf(zStrukt, "Index")).empty()) {
            keyFound = true;
            keyMapped = !r.Zuordnung.empty();
            keyType = static_cast<int>(zStrukt.AsInteger(zStrukt.FieldNamed("Typ")));
        }
    }
    shown.close();
    if (!keyFound)
        result.situation = KeySituation::NoKey;
    else if (fieldTypeOfCode(keyType) == FieldType::AutoInc)
        result.situation = keyMapped ? KeySituation::CounterMapped : KeySituation::CounterUnmapped;
    else if (targetEmptied)
        result.situation = keyMapped ? KeySituation::EmptiedMapped : KeySituation::EmptiedUnmapped;
    else
        result.situation = keyMapped ? KeySituation::KeptMapped : KeySituation::KeptUnmapped;
    return result;
}

const char* keySituationText(KeySituation situation) {
    switch (situation) {
    case KeySituation::NoKey: return "die Zieltabelle hat keinen Primärschlüssel";
    case KeySituation::CounterMapped: return "das Schlüsselfeld ist vom Typ \"Zähler\"";
    case KeySituation::CounterUnmapped: return "das Schlüsselfeld vom Typ \"Zähler\" ist keinem Quellfeld zugeordnet";
    case KeySituation::EmptiedMapped: return "die Zieltabelle wird vor dem Import geleert";
    case KeySituation::EmptiedUnmapped:
        return "die Zieltabelle wird vor dem Import geleert, und das Schlüsselfeld ist keinem Quellfeld zugeordnet";
    case KeySituation::KeptMapped: return "das Schlüsselfeld ist einem Quellfeld zugeordnet";
    case KeySituation::KeptUnmapped: return "das Schlüsselfeld ist keinem Quellfeld zugeordnet";
    }
    return "";
}

void applyKeySituation(KeySituation situation, ModePageState& p) {
    auto selectAppend = [&] {
        p.rbtEndeAnhaengen.checked = true;
        p.rbtAktualisieren.checked = false;
    };
    auto updateImpossible = [&] {
        p.rbtAktualisieren = ModeButton{false, false};
        p.updatePossible = false;
    };
    switch (situation) {
    case KeySituation::NoKey:
        p.rbtEndeAnhaengen = ModeButton{true, true};
        p.rbtAktualisieren.checked = false;
        p.lblEndeAnhaengenEnabled = true;
        off(p.rbtIgnorieren), off(p.rbtUmbenennen), off(p.rbtSelfInc);
        p.rbtAktualisieren.enabled = false;
        p.lblAktualisierenEnabled = false;
        p.updatePossible = true;
        p.startValueEnabled = false;
        p.gbxImportmodusVisible = false;
        break;
    case KeySituation::CounterMapped:
        p.rbtIgnorieren.enabled = true;
        p.rbtAktualisieren.enabled = true;
        p.updatePossible = true;
        p.lblAktualisierenEnabled = true;
        p.gbxImportmodusVisible = false;
        off(p.rbtUmbenennen), off(p.rbtSelfInc);
        p.startValueEnabled = false;
        break;
    case KeySituation::CounterUnmapped:
        selectAppend();
        off(p.rbtIgnorieren), off(p.rbtUmbenennen), off(p.rbtSelfInc);
        p.rbtAktualisieren = ModeButton{false, false};
        p.updatePossible = true;
        p.lblAktualisierenEnabled = false;
        p.gbxImportmodusVisible = false;
        p.startValueEnabled = false;
        break;
    case KeySituation::EmptiedMapped:
        selectAppend();
        p.rbtIgnorieren = ModeButton{true, false};
        off(p.rbtUmbenennen), off(p.rbtSelfInc);
        updateImpossible();
        p.gbxImportmodusVisible = false;
        p.startValueEnabled = false;
        break;
    case KeySituation::EmptiedUnmapped:
        selectAppend();
        p.rbtSelfInc = ModeButton{true, true};
        p.gbxImportmodusVisible = true;
        off(p.rbtIgnorieren), off(p.rbtUmbenennen);
        updateImpossible();
        break;
    case KeySituation::KeptMapped:
        p.rbtUmbenennen.enabled = p.rbtIgnorieren.enabled = true;
        p.rbtAktualisieren.enabled = true;
        p.updatePossible = true;
        p.lblAktualisierenEnabled = true;
        off(p.rbtSelfInc);
        p.startValueEnabled = false;
        p.gbxImportmodusVisible = false;
        break;
    case KeySituation::KeptUnmapped:
        selectAppend();
        p.rbtSelfInc = ModeButton{true, true};
        p.gbxImportmodusVisible = true;
        p.rbtIgnorieren.enabled = false;
        p.rbtIgnorieren.checked = false;
        p.rbtAktualisieren = ModeButton{false, false};
        p.updatePossible = true;
        p.lblAktualisierenEnabled = false;
        off(p.rbtUmbenennen);
        break;
    }
    showSubOptionsOfAppend(p);
}

// "An das Ende anhängen" selected shows its choices whenever there is one to make: the check on
// leaving the page asks for one.
void showSubOptionsOfAppend(ModePageState& p) {
    if (p.rbtEndeAnhaengen.checked && p.anySubOptionEnabled()) p.gbxImportmodusVisible = true;
}

std::vector<ImportMode> availableModes(const ModePageState& p) {
    std::vector<ImportMode> modes;
    auto usable = [](const ModeButton& b) { return b.enabled || b.checked; };
    if (usable(p.rbtEndeAnhaengen)) {
        modes.push_back(ImportMode::Append);
        if (usable(p.rbtIgnorieren)) modes.push_back(ImportMode::AppendNew);
        if (usable(p.rbtUmbenennen)) modes.push_back(ImportMode::RenameExisting);
        if (usable(p.rbtSelfInc)) modes.push_back(ImportMode::SelfIncrement);
    }
    if (usable(p.rbtAktualisieren)) modes.push_back(ImportMode::Update);
    return modes;
}

void rbtEndeAnhaengenClick(ModePageState& p) {
    p.rbtEndeAnhaengen.checked = true;
    p.rbtAktualisieren.checked = false;
    p.gbxImportmodusVisible = p.anySubOptionEnabled();
}

void rbtAktualisierenClick(ModePageState& p) {
    p.rbtAktualisieren.checked = true;
    p.rbtEndeAnhaengen.checked = false;
    p.gbxImportmodusVisible = false;
    p.rbtIgnorieren.checked = p.rbtUmbenennen.checked = p.rbtSelfInc.checked = false;
    p.startValueEnabled = false;
    p.lblIndexfeld.clear();
    p.btnInhaltAnz5Visible = false;
    p.edtStartwert.clear();
}

void rbtIgnorierenClick(ModePageState& p) {
    p.rbtEndeAnhaengen.checked = true;
    p.rbtAktualisieren.checked = false;
    p.rbtIgnorieren.checked = true;
    p.rbtUmbenennen.checked = p.rbtSelfInc.checked = false;
    p.btnInhaltAnz5Visible = false;
    p.startValueEnabled = false;
    p.lblIndexfeld.clear();
}

void startValueOptionClick(ModePageState& p, bool rename, const std::string& keyLabel) {
    p.rbtEndeAnhaengen.checked = true;
    p.rbtAktualisieren.checked = false;
    p.rbtIgnorieren.checked = false;
    p.rbtUmbenennen.checked = rename;
    p.rbtSelfInc.checked = !rename;
    p.startValueEnabled = true;
    p.lblIndexfeld = keyLabel;
}

void applyModeButtons(const ModeButtonsOnLoad& load, ModePageState& p) {
    auto set = [](ModeButton& b, bool checked, bool disabled) {
        b.checked = checked;
        if (disabled) b.enabled = false;
    };
    set(p.rbtEndeAnhaengen, load.checked.rbtEndeAnhaengen, load.disabled.rbtEndeAnhaengen);
    set(p.rbtIgnorieren, load.checked.rbtIgnorieren, load.disabled.rbtIgnorieren);
    set(p.rbtUmbenennen, load.checked.rbtUmbenennen, load.disabled.rbtUmbenennen);
    set(p.rbtSelfInc, load.checked.rbtSelfInc, load.disabled.rbtSelfInc);
    set(p.rbtAktualisieren, load.checked.rbtAktualisieren, load.disabled.rbtAktualisieren);
    showSubOptionsOfAppend(p);
}

ModeButtonFlags checkedModeButtons(const ModePageState& p) {
    return ModeButtonFlags{p.rbtEndeAnhaengen.checked, p.rbtIgnorieren.checked, p.rbtUmbenennen.checked,
                           p.rbtSelfInc.checked, p.rbtAktualisieren.checked};
}

bool ModeCheck(const ModePageState& p, Prompter& prompter) {
    if (!p.rbtEndeAnhaengen.checked && !p.rbtAktualisieren.checked) {
        prompter.beep();
        prompter.message(MsgKind::Information, Buttons::Ok,
                         "Bitte geben Sie noch an, ob die einzulesenden Datensätze\r\n\r\nan das Ende der Zieldatei "
                         "angehängt werden sollen,\r\noder\r\nob Sie die Zieldatei aktualisieren möchten.");
        return false;
    }
    if (p.rbtEndeAnhaengen.checked && p.rbtUmbenennen.enabled && p.rbtIgnorieren.enabled && !p.rbtUmbenennen.checked &&
        !p.rbtIgnorieren.checked) {
        prompter.message(MsgKind::Information, Buttons::Ok,
                         "Sie haben die Importlaufoption \"Datensätze am Ende anhängen\" gewählt.\r\n\r\nBitte geben "
                         "Sie noch an, ob in der Zieltabelle die Schlüsselwerte\r\nvorhandener Datensätze umbenannt "
                         "werden sollen,\r\noder\r\nob nur die Datensätze, die noch nicht in der Zieltabelle\r\n"
                         "enthalten sind hinzugefügt werden sollen.");
        return false;
    }
    return true;
}

}  // namespace kimport

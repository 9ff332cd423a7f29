// The check made when the mapping page is left: is anything assigned, and
// which import modes the target's key and the "empty the target" choice allow.
// The wizard shows the result on the mode page; kimport refuses a mode the
// page would not offer.
#pragma once

#include "progress/ProgressSink.h"
#include "settings/TypeCodes.h"
#include "tablestore/Table.h"

#include <optional>
#include <string>
#include <vector>

namespace kimport {

struct ModeButton {
    bool checked = false, enabled = true;
};

// The controls of the mode page that the check and the page's own events decide.
struct ModePageState {
    ModeButton rbtEndeAnhaengen{true, true}, rbtIgnorieren, rbtUmbenennen, rbtSelfInc, rbtAktualisieren;
    bool lblEndeAnhaengenEnabled = true;
    bool gbxImportmodusVisible = false;
    bool startValueEnabled = false;       // lblStartwert and edtStartwert
    bool updatePossible = true;           // lblAktualisieren shown; otherwise lblAktNichtMoeglich
    bool lblAktualisierenEnabled = true;
    std::string lblIndexfeld;             // the key field's name in double quotes
    bool btnInhaltAnz5Visible = false;
    std::string edtStartwert;

    bool anySubOptionEnabled() const {
        return rbtIgnorieren.enabled || rbtUmbenennen.enabled || rbtSelfInc.enabled;
    }
};

// What the target's key and the choices leave possible.
enum class KeySituation {
    NoKey,            // a dBase target, or no rule with a key field
    CounterMapped,    // the key is a counter field (type 14) and is assigned
    CounterUnmapped,
    EmptiedMapped,    // another key; the target is emptied first
    EmptiedUnmapped,
    KeptMapped,       // another key; the target keeps its records
    KeptUnmapped,
};

struct PreRunResult {
    bool anyAssignment = false;   // some rule has an assignment, a formula or a default
    KeySituation situation = KeySituation::NoKey;
    bool cancelled = false;       // the scan was cut short; the situation is from the rules read
};

// The refusal when no rule assigns, computes or presets anything.
extern const char* const kNoAssignmentMessage;

// Scans the mapping rules (ZStrukt) with the progress window "Importeinstellung wird überprüft...".
// The last key field in table order decides; a dBase target has no key.
PreRunResult PreRunCheck(Table& zStrukt, const std::string& targetPath, bool targetEmptied, ProgressSink* progress);

// Why some modes are not possible in the situation, as the end of a German sentence.
const char* keySituationText(KeySituation situation);

// Sets the mode page's controls for the situation (the ones the situation does not name keep their state).
void applyKeySituation(KeySituation situation, ModePageState& page);

// The modes whose buttons the page leaves usable (enabled, or set for the user). The wizard also asks
// for a sub-option where one applies; kimport takes mode 1 as given.
std::vector<ImportMode> availableModes(const ModePageState& page);

// The mode page's own events.
void rbtEndeAnhaengenClick(ModePageState& page);
void showSubOptionsOfAppend(ModePageState& page);
void rbtAktualisierenClick(ModePageState& page);
void rbtIgnorierenClick(ModePageState& page);
// rbtUmbenennen or rbtSelfInc; `keyLabel` is the first key field's name in double quotes.
void startValueOptionClick(ModePageState& page, bool rename, const std::string& keyLabel);

// The buttons a loaded setting's mode code sets (checked, and the ones it disables).
void applyModeButtons(const ModeButtonsOnLoad& load, ModePageState& page);
// Which mode buttons are checked.
ModeButtonFlags checkedModeButtons(const ModePageState& page);

// The mode check of "&Weiter -->" on the mode page: false after its message.
bool ModeCheck(const ModePageState& page, class Prompter& prompter);

}  // namespace kimport

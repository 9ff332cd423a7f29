// The checks a run makes before its first record: the target has room for what it adds, the mapping
// fills something, and the modes that look records up have a key to look them up by.
#include "importrun/ImportRun.h"

#include "tablestore/TableError.h"

#include <unordered_set>

namespace kimport {

// A target that could not hold what the run adds is refused before the first record. Where only keys
// the target lacks are added (appending new keys, updating), those are counted first when all of the
// source would not fit: a run that mostly updates a full table is no reason to refuse it.
void ImportRun::requireRoom(bool looksUpKeys) {
    const auto existing = static_cast<std::uint64_t>(t_.target.RecordCount());
    auto incoming = static_cast<std::uint64_t>(sourceCount_);
    const bool onlyNewKeys = looksUpKeys && (mode_ == ImportMode::AppendNew || mode_ == ImportMode::Update);
    if (onlyNewKeys && existing + incoming > t_.target.MaxRecords() && !lookupRules_.empty()) incoming = newKeysInSource();
    t_.target.CheckCapacity(existing + incoming);
    t_.target.ReserveRecords(incoming);
}

// The distinct keys of the source the target does not hold, as the run will look them up.
std::uint64_t ImportRun::newKeysInSource() {
    std::unordered_set<std::string> fresh;
    for (t_.source.MoveFirst(); !t_.source.AtEnd(); t_.source.MoveNext()) {
        std::optional<std::vector<Value>> key = lookupKey(false);
        if (key && !seek(*key)) fresh.insert(keyText(*key));
    }
    return fresh.size();
}

// A mapping that fills no field would write empty records into the user's table.
namespace {

// A rule that writes something: a source field, a formula or a default.
bool fillsItsField(const RunRule& r) {
    const MappingRule& m = r.rule;
    return r.assigned() || !m.Formel_alph.empty() || !m.Formel_num.empty() || !m.Vorgabewert_alph.empty() ||
           m.Vorgabewert_num;
}

}  // namespace

std::vector<std::string> ImportRun::unfilledFields() const {
    std::vector<std::string> names;
    for (const RunRule& r : rules_)
        if (!fillsItsField(r)) names.push_back(r.feldname);
    return names;
}

void ImportRun::requireSomethingToFill() const {
    for (const RunRule& r : rules_)
        if (fillsItsField(r)) return;
    throw TableError("Der Import wird nicht gestartet: kein Feld der Zieltabelle " + t_.target.TableName +
                         " hat eine Zuordnung, eine Formel oder einen Vorgabewert.",
                     TableError::Kind::Usage, t_.target.path());
}

// The modes that look records up need a primary key, and can only match on its leading fields.
void ImportRun::requireUsableKey() const {
    if (t_.target.KeyFieldCount() == 0)
        throw TableError("Die Zieltabelle " + t_.target.TableName +
                             " hat keinen Primärschlüssel. Vorhandene Datensätze werden über ihn gesucht; ohne ihn "
                             "kann nur an das Ende angehängt werden.",
                         TableError::Kind::Usage, t_.target.path());
    // Without the first key field the mode's own message (KeyRuleMissing) follows.
    if (lookupRules_.empty()) return;
    const RunRule* gap = nullptr;
    for (const RunRule& r : rules_) {
        if (!r.isKey()) continue;
        if (!r.assigned() && !gap) gap = &r;
        if (r.assigned() && gap)
            throw TableError("Das Schlüsselfeld " + r.feldname + " der Zieltabelle ist zugeordnet, das Schlüsselfeld " +
                                 gap->feldname + " vor ihm nicht. Vorhandene Datensätze werden über die ersten "
                                 "Schlüsselfelder gesucht: bitte ordnen Sie auch " + gap->feldname + " zu.",
                             TableError::Kind::Usage, t_.target.path());
    }
}

}  // namespace kimport

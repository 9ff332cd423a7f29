#include "mapping/StartValueCheck.h"

#include "common/Numbers.h"
#include "common/Text.h"
#include "importrun/ImportRun.h"
#include "settings/ColumnValues.h"
#include "settings/ControlTables.h"
#include "tablestore/ValueConversion.h"

#include <optional>

namespace kimport {

namespace {


struct KeyRule {
    FieldType type = FieldType::Unknown;
    std::string typName, laenge, feldname, zuordnung;
    bool alignRight = false;
};

std::optional<KeyRule> firstKeyRule(Table& z) {
    if (!z.Active()) z.OpenTable();
    const std::int64_t at = z.RecordNumber();
    std::optional<KeyRule> key;
    for (z.MoveFirst(); !z.AtEnd() && !key; z.MoveNext()) {
        if (trim(textOf(z, "Index")).empty()) continue;
        KeyRule k;
        k.type = fieldTypeOfCode(z.AsInteger(z.FieldNamed("Typ")));
        k.typName = textOf(z, "Typbezeichnung");
        k.laenge = textOf(z, "Laenge");
        k.feldname = textOf(z, "Feldname");
        const MappingRule r = readMappingRule(z);
        k.zuordnung = r.Zuordnung;
        k.alignRight = r.Ausrichtung_re;
        key = k;
    }
    if (at > 0) z.GoToRecord(at);
    return key;
}

enum class Purpose { Increment, Rename };

const char* verb(Purpose p) { return p == Purpose::Increment ? "Beim Incrementieren der" : "Beim Umbenennen vorhandener"; }

// The hint closing the range messages: a wider type to choose.
std::string widerType(FieldType type) {
    switch (type) {
    case FieldType::SmallInt: return " (z. B. in Longinteger)";
    case FieldType::Integer: return " (z. B. in Float)";
    default: return "";
    }
}

constexpr double kFloatMin = 5e-324, kFloatMax = 1.7e308;

// The keys the run makes from the start value, one after the other, and the messages about them.
class KeySimulation {
public:
    KeySimulation(const KeyRule& key, Purpose purpose, Prompter& prompter, const FormatSettings& fs)
        : key_(key), purpose_(purpose), p_(prompter), fs_(fs) {}

    // The tests of the start value alone (length, digits, range, format, countable type).
    bool readStart(const std::string& start) {
        start_ = start;
        try {
            switch (key_.type) {
            case FieldType::String: return readText();
            case FieldType::SmallInt: case FieldType::Integer: {
                integer_ = parseInteger(start);
                const bool small = key_.type == FieldType::SmallInt;
                const std::int64_t lowest = small ? -32767 : -2147483647;
                if (integer_ < lowest || (small && integer_ > 32767)) return rangeMessage();
                return true;
            }
            case FieldType::Float: case FieldType::Currency:
                number_ = parseFloat(start, fs_.decimalSeparator);
                if (!(number_ >= kFloatMin && number_ <= kFloatMax)) return rangeMessage();
                return true;
            case FieldType::Date: case FieldType::Time: case FieldType::DateTime:
                return readDateOrTime();
            case FieldType::BCD:
                return cannotCount(" derzeit");
            default:
                return cannotCount("");
            }
        } catch (const ConversionError& e) {
            p_.error(e.what());
            return false;
        }
    }

    // Tests the k-th key; false after its message.
    bool test(Table& target, std::int64_t k) {
        Value key;
        switch (key_.type) {
        case FieldType::String: {
            std::string text;
            try {
                text = NextKeyText(start_, k);
            } catch (const ConversionError& e) {
                p_.error(e.what());
                return false;
            }
            if (key_.alignRight && IsDigitString(text) && IsDigitString(key_.laenge))
                text = PadLeft(trim(text), std::stoul(key_.laenge));
            if (IsDigitString(key_.laenge) && charCount(text) > std::stoul(key_.laenge)) {
                p_.message(MsgKind::Information, Buttons::Ok,
                           std::string(verb(purpose_)) + " Schlüsselwerte würde die\r\nLänge des Primärschlüssel"
                           "feldes überschritten.\r\n\r\nBitte wählen Sie einen anderen Startwert, oder\r\nändern Sie "
                           "die Größendefinition Ihres Primärschlüssel-\r\nfeldes.");
                return false;
            }
            key = Value::ofText(text);
            break;
        }
        case FieldType::SmallInt: case FieldType::Integer: {
            const std::int64_t v = integer_ + k;
            if (v > (key_.type == FieldType::SmallInt ? 32767 : 2147483647LL)) return overflowMessage();
            key = Value::ofInteger(v);
            break;
        }
        case FieldType::Float: case FieldType::Currency: {
            const double v = number_ + static_cast<double>(k);
            if (v > kFloatMax) return overflowMessage();
            key = Value::ofFloat(v);
            break;
        }
        default:
            // Dates and times: the keys one after the other, as the run counts them.
            while (counted_ < k) {
                dateOrTime_ = nextKeyValue(dateOrTime_, key_.type, fs_);
                ++counted_;
            }
            key = dateOrTime_;
            break;
        }
        if (!target.SeekKey({key})) return true;
        const bool text = key_.type == FieldType::String;
        p_.message(MsgKind::Information, Buttons::OkHelp,
                   std::string("Bitte verwenden ") + (text ? "Sie" : "sie") + " einen anderen Startwert!\r\n\r\n" +
                       verb(purpose_) + " Schlüsselwerte würde ein\r\nneu gesetzter Wert einen Indexfehler auslösen.",
                   16);
        return false;
    }

private:
    bool readText() {
        if (IsDigitString(key_.laenge) && charCount(start_) > std::stoul(key_.laenge)) {
            p_.message(MsgKind::Information, Buttons::Ok,
                       "Die Länge des Startwertes ist größer, als das\r\nPrimärschlüsselfeld der Zieltabelle.\r\n\r\n"
                       "Bitte geben Sie einen anderen Staretwert ein,\r\noder ändern Sie die Größendefinition des\r\n"
                       "Primärschlüsselfeldes Ihrer Zieltabelle.");
            return false;
        }
        if (!start_.empty() && start_.back() >= '0' && start_.back() <= '9') return true;
        const std::string& prefix = start_;
        return p_.message(MsgKind::Confirmation, Buttons::YesNo,
                          "Sie haben einen Startwert eingegeben, der keine Zahlen enthält.\r\n\r\nMöchten Sie, das die "
                          "Schlüsselwerte vorhandener Datensätze\r\nfolgendermaßen hochgezählt werden:\r\n\r\n" +
                              prefix + "0, " + prefix + "1..." + prefix + "100") == Answer::Yes;
    }

    bool readDateOrTime() {
        try {
            switch (key_.type) {
            case FieldType::Date: dateOrTime_ = Value::ofDate(parseDate(start_, fs_)); break;
            case FieldType::Time: dateOrTime_ = Value::ofTime(parseTime(start_, fs_)); break;
            default: dateOrTime_ = Value::ofDateTime(parseDateTime(start_, fs_)); break;
            }
        } catch (const ConversionError&) {
            const char* form = key_.type == FieldType::Date   ? "TT.MM.JJJJ"
                               : key_.type == FieldType::Time ? "HH:MM:SS"
                                                              : "TT.MM.JJJJ HH:MM:SS";
            p_.message(MsgKind::Information, Buttons::Ok,
                       "Das Primärschlüsselfeld Ihrer Zieldatenbank ist vom Typ\r\n\"" + key_.typName +
                           "\"\r\n\r\nBitte geben Sie den Startwert folgendermaßen ein:\r\n" + form);
            return false;
        }
        counted_ = 0;
        return true;
    }

    bool rangeMessage() {
        p_.message(MsgKind::Information, Buttons::OkHelp,
                   "Der Startwert liegt nicht im Wertebereich des\r\nTabellenfeldes.\r\n\r\nBitte wählen Sie einen "
                   "anderen Startwert, oder\r\nändern Sie die Felddefinition Ihres Primärschlüssel-\r\nfeldes." +
                       widerType(key_.type),
                   17);
        return false;
    }

    bool overflowMessage() {
        p_.message(MsgKind::Information, Buttons::OkHelp,
                   std::string(verb(purpose_)) + " Schlüsselwerte würde der\r\nWertebereich des Primärschlüssel"
                   "feldes überschritten.\r\n\r\nBitte wählen Sie einen anderen Startwert, oder\r\nändern Sie die "
                   "Felddefinition Ihres Primärschlüssel-\r\nfeldes." + widerType(key_.type),
                   17);
        return false;
    }

    bool cannotCount(const char* yet) {
        p_.message(MsgKind::Information, Buttons::Ok,
                   "Die automatische Werterhöhung eines Datenbankfeldes vom Typ\r\n\"" + key_.typName + "\"\r\nist" +
                       yet + " leider nicht möglich.");
        return false;
    }

    const KeyRule& key_;
    Purpose purpose_;
    Prompter& p_;
    const FormatSettings& fs_;
    std::string start_;
    std::int64_t integer_ = 0;
    double number_ = 0;
    Value dateOrTime_;
    std::int64_t counted_ = 0;
};

void openAll(StartValueTables& t) {
    for (Table* table : {&t.zStrukt, &t.source, &t.target})
        if (!table->Active()) table->OpenTable();
}

void emptyStartValue(Prompter& p, const char* what) {
    p.message(MsgKind::Information, Buttons::Ok,
              std::string("Sie haben die Importlaufoption\r\n\"Datensätze in die Zieltabelle einfügen, "
                          "Schlüsselwerte\"\r\n") + what +
                  "\" gewählt.\r\n\r\nBitte geben Sie einen Startwert ein, ab dem das Primär-\r\nschlüsselfeld "
                  "hochgezählt werden kann.");
}

}  // namespace

bool IncrementCheck(StartValueTables t, const std::string& startValue, Prompter& prompter,
                    const FormatSettings& formats, bool lookUpKeys) {
    if (startValue.empty()) {
        emptyStartValue(prompter, "selbständig erhöhen");
        return false;
    }
    openAll(t);
    std::optional<KeyRule> key = firstKeyRule(t.zStrukt);
    if (!key) return true;
    KeySimulation keys(*key, Purpose::Increment, prompter, formats);
    if (!keys.readStart(startValue)) return false;
    const std::int64_t n = lookUpKeys ? t.source.RecordCount() : 0;
    for (std::int64_t k = 0; k < n; ++k)
        if (!keys.test(t.target, k)) return false;
    return true;
}

bool RenameCheck(StartValueTables t, const std::string& startValue, Prompter& prompter, const FormatSettings& formats) {
    if (startValue.empty()) {
        emptyStartValue(prompter, "vorhandener Datensätze umbenennen");
        return false;
    }
    openAll(t);
    std::optional<KeyRule> key = firstKeyRule(t.zStrukt);
    if (!key) return true;
    KeySimulation keys(*key, Purpose::Rename, prompter, formats);
    if (!keys.readStart(startValue)) return false;
    std::optional<int> field = t.source.LookupField(key->zuordnung);
    if (!field) return true;
    // Each source record whose key the target holds gets the next new key.
    std::int64_t k = 0;
    for (t.source.MoveFirst(); !t.source.AtEnd(); t.source.MoveNext()) {
        Value v = t.source.GetValue(*field);
        if (v.isNull()) continue;  // no key, nothing to find
        if (key->type == FieldType::String) {
            std::string text = valueToText(v, t.source.regional);
            if (key->alignRight && IsDigitString(text) && IsDigitString(key->laenge))
                text = PadLeft(trim(text), std::stoul(key->laenge));
            v = Value::ofText(text);
        }
        bool exists = false;
        try {
            exists = !v.isNull() && t.target.SeekKey({v});
        } catch (const ConversionError&) {
            exists = false;  // a value the key field cannot take is no key of the target
        } catch (const TableError& e) {
            if (e.kind() != TableError::Kind::Value) throw;
            exists = false;  // nor is one outside the field's range
        }
        if (!exists) continue;
        if (!keys.test(t.target, k++)) {
            t.source.MoveFirst();
            return false;
        }
    }
    t.source.MoveFirst();
    return true;
}

}  // namespace kimport

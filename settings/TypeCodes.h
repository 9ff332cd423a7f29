// What the settings store and the wizard derive from a field-type code (names,
// size text, option class), the mapping rule of one target field, and the
// import-mode codes kept in ImpList with the mode buttons they stand for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kimport {

// --- Field-type codes -------------------------------------------------------

// Names in the source grid (QStrukt) and in the target grid (ZStrukt); they
// differ for codes 2 and 3. Codes outside 1..22 are "unbekannt".
std::string_view sourceTypeName(int code);
std::string_view targetTypeName(int code);

// The `Laenge` text: "-" for memos (16, 18) and unknown codes, otherwise the
// size the table store reports (characters for text fields).
std::string laengeText(int code, int reportedSize);

// S = text class, Z = number class, None = no option page.
enum class TypeClass { None, S, Z };
TypeClass sourceClass(int code);
TypeClass targetClass(int code);

// Source class then target class; picks the option page of an assigned rule.
enum class TypePair { SS, SZ, ZS, ZZ };
// Empty when either side has no class.
std::optional<TypePair> typePair(int sourceCode, int targetCode);
std::string_view typePairName(TypePair pair);

// --- Mapping rule -----------------------------------------------------------

// The rule columns of one ZStrukt row. An empty optional or empty text is an
// option that is off; a numeric 0 is an option that is on.
struct MappingRule {
    std::string Zuordnung;
    std::optional<double> Div;
    std::optional<double> Mul;
    std::string Vorgabewert_alph;
    std::optional<double> Vorgabewert_num;
    bool BedGleich = false;
    bool BedKleiner = false;
    bool BedGroesser = false;
    bool BedLeer = false;
    std::string Quellwert_alph;
    std::optional<double> Quellwert_num;
    std::string Formel_alph;
    std::string Formel_num;
    std::optional<int> Runden;
    bool Ausrichtung_li = false;
    bool Ausrichtung_re = true;
    bool Ueberl_abschneid_li = false;
    bool Ueberl_abschneid_re = false;
    std::optional<int> StringAuswahlBeg;
    std::optional<int> StringAuswahlEnd;
    bool FeldAkt = true;

    bool operator==(const MappingRule&) const = default;
};

// No assignment, right alignment and update of the field on, all else off.
MappingRule defaultRule();

// --- Import modes -----------------------------------------------------------

// The codes stored in ImpList's `Importmodus`.
enum class ImportMode { Append = 1, AppendNew = 2, RenameExisting = 3, SelfIncrement = 4, Update = 5 };

int importModeCode(ImportMode mode);
std::optional<ImportMode> importModeFromCode(std::int64_t code);
// Caption of the radio button that decides the mode ("An das &Ende anhängen", ...).
std::string_view decidingCaption(ImportMode mode);
// The run that carries it out ("RunAppend", ...).
std::string_view runName(ImportMode mode);

// One flag per mode button of the mode page.
struct ModeButtonFlags {
    bool rbtEndeAnhaengen = false;
    bool rbtIgnorieren = false;
    bool rbtUmbenennen = false;
    bool rbtSelfInc = false;
    bool rbtAktualisieren = false;

    bool operator==(const ModeButtonFlags&) const = default;
};

// The code saved for the checked buttons; the later test wins, so a stray
// sub-option or a checked rbtAktualisieren overrides what came before.
// Empty when no test holds (neither main button checked).
std::optional<ImportMode> importModeFromButtons(const ModeButtonFlags& checked);

// The buttons set when a setting is loaded: every button's checked state, and
// the buttons to disable (the others keep their enabled state). The edit load
// disables buttons only for code 1.
struct ModeButtonsOnLoad {
    ModeButtonFlags checked;
    ModeButtonFlags disabled;
};
ModeButtonsOnLoad modeButtonsOnLoad(ImportMode mode, bool forEdit);

}  // namespace kimport

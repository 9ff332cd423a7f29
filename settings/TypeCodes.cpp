#include "settings/TypeCodes.h"

#include "tablestore/FieldType.h"

#include <array>

namespace kimport {

namespace {

struct TypeEntry {
    std::string_view sourceName;
    std::string_view targetName;
    TypeClass asSource;
    TypeClass asTarget;
};

constexpr TypeClass S = TypeClass::S, Z = TypeClass::Z, N = TypeClass::None;

// Index = type code; entry 0 stands for every code outside 1..22.
constexpr std::array<TypeEntry, 23> kTypes = {{
    {"unbekannt", "unbekannt", N, N},
    {"Zeichen/String", "Zeichen/String", S, S},
    {"Ganzzahl kurz", "Ganzzahl - kurz", Z, Z},
    {"Ganzzahl lang", "Ganzzahl - lang", Z, Z},
    {"Ganzzahl o. VZ", "Ganzzahl o. VZ", Z, Z},
    {"Logisch J/N", "Logisch J/N", S, S},
    {"Numerisch", "Numerisch", Z, Z},
    {"Währung", "Währung", Z, Z},
    {"BCD", "BCD", N, N},
    {"Datum", "Datum", S, S},
    {"Zeit", "Zeit", S, S},
    {"Datum/Zeit", "Datum/Zeit", S, S},
    {"const. Byte (bin)", "const. Byte (bin)", N, N},
    {"var. Byte(bin)", "var. Byte(bin)", N, N},
    // A counter may feed a number but never takes options as a target.
    {"32 Bit Zähler", "32 Bit Zähler", Z, N},
    {"BLOB", "BLOB", N, N},
    {"Memo", "Memo", S, S},
    {"BitMap", "BitMap", N, N},
    {"format. Memo", "format. Memo", S, S},
    {"Paradox OLE", "Paradox OLE", N, N},
    {"dBASE OLE", "dBASE OLE", N, N},
    {"typ. Binär", "typ. Binär", N, N},
    {"Oracle TParam", "Oracle TParam", N, N},
}};

const TypeEntry& entry(int code) {
    return code >= 1 && code < static_cast<int>(kTypes.size()) ? kTypes[static_cast<std::size_t>(code)] : kTypes[0];
}

bool known(int code) { return code >= 1 && code < static_cast<int>(kTypes.size()); }

}  // namespace

std::string_view sourceTypeName(int code) { return entry(code).sourceName; }
std::string_view targetTypeName(int code) { return entry(code).targetName; }
TypeClass sourceClass(int code) { return entry(code).asSource; }
TypeClass targetClass(int code) { return entry(code).asTarget; }

std::string laengeText(int code, int reportedSize) {
    if (!known(code) || isMemoType(fieldTypeOfCode(code))) return "-";
    return std::to_string(reportedSize);
}

std::optional<TypePair> typePair(int sourceCode, int targetCode) {
    TypeClass s = sourceClass(sourceCode), t = targetClass(targetCode);
    if (s == TypeClass::None || t == TypeClass::None) return std::nullopt;
    if (s == TypeClass::S) return t == TypeClass::S ? TypePair::SS : TypePair::SZ;
    return t == TypeClass::S ? TypePair::ZS : TypePair::ZZ;
}

std::string_view typePairName(TypePair pair) {
    switch (pair) {
    case TypePair::SS: return "SS";
    case TypePair::SZ: return "SZ";
    case TypePair::ZS: return "ZS";
    case TypePair::ZZ: return "ZZ";
    }
    return {};
}

MappingRule defaultRule() { return MappingRule{}; }

int importModeCode(ImportMode mode) { return static_cast<int>(mode); }

std::optional<ImportMode> importModeFromCode(std::int64_t code) {
    if (code < 1 || code > 5) return std::nullopt;
    return static_cast<ImportMode>(code);
}

std::string_view decidingCaption(ImportMode mode) {
    switch (mode) {
    case ImportMode::Append: return "An das &Ende anhängen";
    case ImportMode::AppendNew: return "Vorhandene Datensätze &ignorieren";
    case ImportMode::RenameExisting: return "Ein&lesen von Datensätzen, die bereits vorhanden sind";
    case ImportMode::SelfIncrement: return "Schlüsselwerte &selbständig erhöhen";
    case ImportMode::Update: return "A&ktualisieren der Zieldatenbank";
    }
    return {};
}

std::string_view runName(ImportMode mode) {
    switch (mode) {
    case ImportMode::Append: return "RunAppend";
    case ImportMode::AppendNew: return "RunAppendNew";
    case ImportMode::RenameExisting: return "RunRenameExisting";
    case ImportMode::SelfIncrement: return "RunSelfIncrement";
    case ImportMode::Update: return "RunUpdate";
    }
    return {};
}

std::optional<ImportMode> importModeFromButtons(const ModeButtonFlags& b) {
    std::optional<ImportMode> mode;
    if (b.rbtEndeAnhaengen && !b.rbtIgnorieren && !b.rbtUmbenennen && !b.rbtSelfInc) mode = ImportMode::Append;
    if (b.rbtIgnorieren) mode = ImportMode::AppendNew;
    if (b.rbtUmbenennen) mode = ImportMode::RenameExisting;
    if (b.rbtSelfInc) mode = ImportMode::SelfIncrement;
    if (b.rbtAktualisieren) mode = ImportMode::Update;
    return mode;
}

ModeButtonsOnLoad modeButtonsOnLoad(ImportMode mode, bool forEdit) {
    ModeButtonsOnLoad out;
    ModeButtonFlags& c = out.checked;
    ModeButtonFlags& d = out.disabled;
    switch (mode) {
    case ImportMode::Append:
        c.rbtEndeAnhaengen = true;
        d.rbtIgnorieren = d.rbtUmbenennen = d.rbtSelfInc = true;
        break;
    case ImportMode::AppendNew:
        c.rbtEndeAnhaengen = c.rbtIgnorieren = true;
        break;
    case ImportMode::RenameExisting:
        c.rbtEndeAnhaengen = c.rbtUmbenennen = true;
        // An unchanged run only asks for the start value; nothing else may be chosen.
        if (!forEdit) d.rbtSelfInc = d.rbtIgnorieren = d.rbtAktualisieren = true;
        break;
    case ImportMode::SelfIncrement:
        c.rbtEndeAnhaengen = c.rbtSelfInc = true;
        if (!forEdit) d.rbtUmbenennen = d.rbtIgnorieren = d.rbtAktualisieren = true;
        break;
    case ImportMode::Update:
        c.rbtAktualisieren = true;
        break;
    }
    return out;
}

}  // namespace kimport

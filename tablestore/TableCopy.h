// Copying a whole table into a new one, in its own format or the other one.
// The new table is built apart and replaces a table of that name only when it
// is complete; every value arrives exactly as it was, or the copy is refused
// before anything is replaced, naming the record, the field and the value.
#pragma once

#include "common/FileSystem.h"
#include "tablestore/TableImage.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace kimport {

enum class TargetVariant { Usual, Paradox3, Paradox4, Paradox5, Paradox7, DBase3, DBase4, FoxPro, VisualFoxPro };

// "paradox3", "paradox4", "paradox5", "paradox7", "dbase3", "dbase4", "foxpro", "vfp"; nullopt for anything else.
std::optional<TargetVariant> parseTargetVariant(const std::string& name);

struct CopyOptions {
    TargetVariant variant = TargetVariant::Usual;  // Usual: the source's own variant, or the usual one of the other format
    int sourceCodePage = 0;                        // for a source table that names no code page
};

// The structure of the new table: the source's own when formats and variants
// agree, else types that hold the source's values (widths and decimals of
// dBase numbers taken from the data). Throws TableError naming field and
// value when the target variant cannot hold a value exactly.
std::unique_ptr<TableImage> copyLayout(const TableImage& source, const std::string& destPath, TargetVariant variant);

struct CopyResult {
    std::uint64_t records = 0;        // copied
    std::uint32_t missingAtEnd = 0;   // records a source cut short no longer holds (not copied)
};

// Copies every record.
CopyResult copyTable(const std::string& sourcePath, const std::string& destPath, const CopyOptions& options,
                     FileSystem& fs = realFileSystem());

}  // namespace kimport

// Writing a TableImage back as .DBF with a fresh memo file, in the table's own
// version, through a FileSetWriter so the old files stay until all new ones are on disk.
//
// The whole file is written anew on every save, and the memo file only grows:
// values read from it keep their blocks, new ones go after them. A program that
// still has the old .DBF open then finds its values where they were, and no
// block a reader may hold is ever reused. Index files (.MDX, .CDX, .NDX, .IDX)
// are not maintained: a table that has one is refused rather than left with an
// index that no longer matches.
#include "tablestore/dbase/DbfWriter.h"

#include "common/CodePage.h"
#include "common/FileSets.h"
#include "common/Text.h"
#include "tablestore/FileSetWriter.h"
#include "tablestore/TableError.h"
#include "tablestore/TableFiles.h"
#include "tablestore/dbase/DbfHeader.h"
#include "tablestore/dbase/DbfLanguageDrivers.h"
#include "tablestore/dbase/DbfMemo.h"
#include "tablestore/dbase/DbfMemoPointer.h"
#include "tablestore/dbase/DbfPaths.h"

#include <algorithm>
#include <functional>
#include <cstdio>
#include <ctime>
#include <optional>
#include <set>
#include <unordered_map>

namespace kimport::dbase {

namespace {

// The versions a save may write. The others (dBase II, level 7, the SQL variants) are read only:
// their headers hold parts a save would not keep consistent.
bool isWritableVersion(int version) {
    switch (version) {
        case kDBaseIII:
        case kDBaseIIIMemo:
        case kDBase5:
        case kDBaseIVMemo:  // dBase III, IV and 5
        case kFoxPro2Memo:
        case kFoxBase:  // FoxPro 2, FoxBASE
        case kVisualFoxPro:
        case kVisualFoxPro + 1:
        case kVisualFoxProLast:  // Visual FoxPro
            return true;
        default:
            return false;
    }
}

void requireWritableVersion(const TableImage& image) {
    if (isWritableVersion(image.dbase.version)) return;
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned>(image.dbase.version) & 0xFFu);
    std::string kind = isLevel7(image.dbase.version) ? "dBase-Level-7-Tabellen" : "Tabellen dieser dBase-Version";
    throw TableError("Die Tabelle " + shownName(image.dataPath) + " hat die Version " + hex + "; " + kind +
                         " können gelesen, aber nicht geschrieben werden.",
                     TableError::Kind::Unsupported, image.dataPath);
}

// The memo file a save writes: the variant's own, unless the table came with another kind.
MemoStyle writingStyle(const TableImage& image, FileSystem& fs) {
    if (isFoxPro(image.dbase.version)) return MemoStyle::Fpt;
    // A dBase-version table that came with a FoxPro memo file (Clipper, FoxBASE) keeps that kind.
    if (!image.newStructure && existingMemoPath(image.dataPath, MemoStyle::DbtIII, fs).empty() &&
        !existingMemoPath(image.dataPath, MemoStyle::Fpt, fs).empty())
        return MemoStyle::Fpt;
    return (image.dbase.version & kDBaseIVMemoBit) || image.dbase.version == kDBase5 ? MemoStyle::DbtIV
                                                                                     : MemoStyle::DbtIII;
}

// Whether two field lists lay out the record alike: same names, letters, lengths, decimals and places.
bool sameStructure(const std::vector<FieldDef>& a, const std::vector<FieldDef>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].name != b[i].name || a[i].letter != b[i].letter || a[i].length != b[i].length ||
            a[i].decimals != b[i].decimals || a[i].offset != b[i].offset)
            return false;
    return true;
}

// The header as read, when it still describes the image's fields; it keeps the bytes we do not interpret.
bool originalHeaderFits(const TableImage& image) {
    if (image.originalHeader.empty()) return false;
    // Parsed again rather than trusted: a header that no longer parses, or describes other fields,
    // is made fresh instead.
    try {
        std::string_view bytes(image.originalHeader.data(), image.originalHeader.size());
        DbfLayout layout = parseHeader(bytes, UINT64_MAX, shownName(image.dataPath));
        return layout.headerLength == image.originalHeader.size() &&
               layout.recordLength == static_cast<std::uint32_t>(image.recordLength) &&
               sameStructure(layout.fields, image.fields);
    } catch (const TableError&) {
        return false;
    }
}

// A header made from the fields, for a new table or one whose fields changed: only what every
// reader needs (counts, lengths, descriptors); the reserved bytes stay zero.
std::string freshHeader(const TableImage& image) {
    const bool vfp = isVisualFoxPro(image.dbase.version);
    std::string h(kHeaderBytes + kDescriptorBytes * image.fields.size() + 1 + (vfp ? kBacklinkBytes : 0), '\0');
    putLe16(h.data() + kHeaderLengthAt, static_cast<std::uint32_t>(h.size()));
    putLe16(h.data() + kRecordLengthAt, static_cast<std::uint32_t>(image.recordLength));
    std::set<std::string> names;
    for (std::size_t i = 0; i < image.fields.size(); ++i) {
        const FieldDef& f = image.fields[i];
        char* d = h.data() + kHeaderBytes + kDescriptorBytes * i;
        std::string name;
        if (!encodeCodePageExactly(f.name, image.codePage, name, nullptr, kNameBytes - 1))
            throw TableError("Der Feldname \"" + f.name + "\" kann in der Codeseite " + std::to_string(image.codePage) +
                                 " der Tabelle " + shownName(image.dataPath) + " nicht gespeichert werden.",
                             TableError::Kind::Usage, image.dataPath);
        // The header keeps ten bytes of a name: two names that became one would be one field to every reader.
        if (!names.insert(asciiUpper(name)).second)
            throw TableError("Das Feld \"" + f.name + "\" hätte in der Tabelle " + shownName(image.dataPath) +
                                 " denselben Namen wie ein anderes (dBase-Feldnamen haben höchstens 10 Zeichen).",
                             TableError::Kind::Usage, image.dataPath);
        std::copy(name.begin(), name.end(), d + kNameAt);
        d[kLetterAt] = f.letter;
        if (vfp) {
            // Visual FoxPro reads a field where its descriptor says, not where the lengths before it end.
            putLe32(d + kFieldOffsetAt, static_cast<std::uint32_t>(f.offset));
            d[kFieldFlagsAt] = static_cast<char>(f.flags);
        }
        d[kLengthAt] = static_cast<char>(f.length & 0xFF);
        // Long C fields keep their high byte where the decimals would be, as FoxPro and Clipper do.
        d[kDecimalsAt] = static_cast<char>(f.letter == 'C' ? f.length >> 8 : f.decimals);
    }
    h[kHeaderBytes + kDescriptorBytes * image.fields.size()] = kHeaderEnd;
    return h;
}

// Raises the next value of each FoxPro autoincrement field above every value of these records.
void raiseAutoIncrement(std::string& header, const TableImage& image, std::size_t rows,
                        const std::function<const char*(std::size_t)>& row) {
    if (!isVisualFoxPro(image.dbase.version)) return;
    for (std::size_t i = 0; i < image.fields.size(); ++i) {
        const FieldDef& f = image.fields[i];
        if (f.letter != 'I' || !(f.flags & kAutoIncrement) || f.length != 4) continue;
        char* d = header.data() + kHeaderBytes + kDescriptorBytes * i;
        std::int64_t step = static_cast<unsigned char>(d[kAutoIncStepAt]);
        if (step == 0) step = 1;
        std::int64_t next = std::max<std::int64_t>(le32(d + kNextAutoIncAt), image.lastAutoInc + step);
        for (std::size_t r = 0; r < rows; ++r)
            next = std::max<std::int64_t>(next, static_cast<std::int32_t>(le32(row(r) + f.offset)) + step);
        putLe32(d + kNextAutoIncAt, static_cast<std::uint32_t>(std::min<std::int64_t>(next, INT32_MAX)));
        d[kAutoIncStepAt] = static_cast<char>(step);
    }
}

void updateAutoIncrement(std::string& header, const TableImage& image, const std::vector<std::uint32_t>& rows) {
    raiseAutoIncrement(header, image, rows.size(), [&](std::size_t k) { return image.row(rows[k]); });
}

// The stored driver, unless the image's code page was changed to one it does not name.
int languageDriverOf(const TableImage& image) {
    int named = codePageOfLanguageDriver(image.dbase.languageDriver);
    if ((named == 0 ? usualCodePage(image.dbase.version) : named) == image.codePage) return image.dbase.languageDriver;
    int driver = languageDriverForCodePage(image.codePage);
    return driver != 0 ? driver : image.dbase.languageDriver;
}

std::string buildHeader(const TableImage& image, const std::vector<std::uint32_t>& rows, bool withMemo) {
    std::string h = originalHeaderFits(image) ? std::string(image.originalHeader.begin(), image.originalHeader.end())
                                              : freshHeader(image);
    h[kVersionAt] = static_cast<char>(image.dbase.version);
    std::time_t now = std::time(nullptr);
    std::tm today{};
    localtime_r(&now, &today);
    // Years since 1900, as the format counts them: 2024 is 124, not a two-digit year.
    h[kUpdateDateAt] = static_cast<char>(today.tm_year);
    h[kUpdateDateAt + 1] = static_cast<char>(today.tm_mon + 1);
    h[kUpdateDateAt + 2] = static_cast<char>(today.tm_mday);
    putLe32(h.data() + kRecordCountAt, static_cast<std::uint32_t>(rows.size()));
    h[kLanguageDriverAt] = static_cast<char>(languageDriverOf(image));
    if (isVisualFoxPro(image.dbase.version)) {
        // Visual FoxPro marks a table with a memo file in its flags; the other flags stay.
        const auto flags = static_cast<unsigned char>(h[kTableFlagsAt]);
        h[kTableFlagsAt] = static_cast<char>(withMemo ? flags | kHasMemo : flags & ~kHasMemo);
    }
    updateAutoIncrement(h, image, rows);
    return h;
}

// Live rows in cursor order, with the deleted rows of the file put back where they were: before the
// first live row read after them. Rows added since go where the cursor put them.
std::vector<std::uint32_t> rowsInFileOrder(const TableImage& image) {
    std::vector<std::uint32_t> deleted = image.dbase.deletedRows;
    std::sort(deleted.begin(), deleted.end());
    std::vector<std::uint32_t> rows;
    rows.reserve(image.order.size() + deleted.size());
    std::size_t next = 0;
    image.order.forEach([&](std::uint32_t r) {
        // Before a row added since reading come all deleted rows of the file, the last ones too.
        const std::uint32_t before = r < image.dbase.rowsFromFile ? r : image.dbase.rowsFromFile;
        while (next < deleted.size() && deleted[next] < before) rows.push_back(deleted[next++]);
        rows.push_back(r);
    });
    rows.insert(rows.end(), deleted.begin() + static_cast<std::ptrdiff_t>(next), deleted.end());
    return rows;
}

// A table made anew drops the old table's memo file it no longer needs and its production index.
void removeStaleCompanions(const TableImage& image, MemoStyle kept, FileSetWriter& files, FileSystem& fs) {
    for (MemoStyle style : {MemoStyle::DbtIII, MemoStyle::Fpt}) {
        std::string path = existingMemoPath(image.dataPath, style, fs);
        bool sameFile = (style == MemoStyle::Fpt) == (kept == MemoStyle::Fpt) && kept != MemoStyle::None;
        if (!path.empty() && !sameFile) files.removeAtCommit(path);
    }
    for (const char* ext : {".MDX", ".CDX"}) {
        std::string path = existingCompanion(image.dataPath, ext, fs);
        if (!path.empty()) files.removeAtCommit(path);
    }
}

// The old memo file's values, byte for byte, behind the new header.
void copyOldValues(FileSystem& fs, const std::string& path, std::uint64_t from, std::uint64_t to,
                   BufferedOutput& out) {
    auto file = fs.openRead(path);
    file->seek(from);
    std::vector<char> buffer(1 << 20);
    for (std::uint64_t left = to > from ? to - from : 0; left > 0;) {
        std::size_t n = file->read(buffer.data(), static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size())));
        if (n == 0) throw IoError("Die Memodatei " + path + " ist kürzer geworden.");
        out.write(buffer.data(), n);
        left -= n;
    }
}

}  // namespace

void checkWritable(const TableImage& image, FileSystem& fs) {
    requireWritableVersion(image);
    if (image.newStructure) return;  // the old table's indexes go with it
    const std::string table = shownName(image.dataPath);
    std::vector<std::string> indexes;
    // A production index is opened with the table by dBase and FoxPro whenever the flag says so; an
    // .NDX or .IDX only when a program asks for it, but it would go stale all the same.
    const bool productionIndex =
        image.originalHeader.size() > kTableFlagsAt && (image.originalHeader[kTableFlagsAt] & kHasIndex);
    if (productionIndex) {
        for (const char* ext : {".MDX", ".CDX"}) {
            std::string path = existingCompanion(image.dataPath, ext, fs);
            if (!path.empty()) indexes.push_back(path);
        }
    }
    for (const char* ext : {".NDX", ".IDX"}) {
        std::string path = existingCompanion(image.dataPath, ext, fs);
        if (!path.empty()) indexes.push_back(path);
    }
    if (indexes.empty()) return;
    std::string index = shownName(indexes.front());
    std::string program = isFoxPro(image.dbase.version) || asciiUpper(extensionOf(index)) == ".CDX" ||
                                  asciiUpper(extensionOf(index)) == ".IDX"
                              ? "FoxPro"
                              : "dBASE";
    throw TableError("Die Tabelle " + table + " hat die Indexdatei " + index +
                         ", die beim Schreiben nicht nachgeführt werden kann. Bitte die Indexdatei entfernen oder die "
                         "Tabelle mit " +
                         program + " neu indizieren.",
                     TableError::Kind::Unsupported, image.dataPath);
}

std::string headerInPlace(const TableImage& image, std::uint32_t recordCount, const std::vector<const char*>& changed) {
    requireWritableVersion(image);
    if (!originalHeaderFits(image))
        throw TableError("Die Tabelle " + shownName(image.dataPath) + " kann nicht an Ort und Stelle geändert werden.",
                         TableError::Kind::Unsupported, image.dataPath);
    std::string h = buildHeader(image, {}, image.hasMemoFile);
    raiseAutoIncrement(h, image, changed.size(), [&](std::size_t k) { return changed[k]; });
    putLe32(h.data() + kRecordCountAt, recordCount);
    return h;
}

std::uint64_t maxRecords(const TableImage& image) {
    // The count is a u32 and so are the offsets many readers compute: the file stays below 4 GB.
    const std::uint64_t header = kHeaderBytes + kDescriptorBytes * image.fields.size() + 1 + kBacklinkBytes;
    return std::min<std::uint64_t>(UINT32_MAX, (UINT32_MAX - header) / static_cast<std::uint64_t>(image.recordLength));
}

void writeTable(TableImage& image, FileSystem& fs, FileSetWriter* joined) {
    requireWritableVersion(image);
    if (image.missingRecords > 0)
        throw TableError("Die Tabelle " + shownName(image.dataPath) + " ist unvollständig und wird nicht geschrieben.",
                         TableError::Kind::Damaged, image.dataPath);
    // Which rows are deleted is the image's list, whatever a row's first byte says.
    std::vector<std::uint32_t> rows = rowsInFileOrder(image);
    std::vector<char> isDeleted(image.rowCount(), 0);
    for (std::uint32_t r : image.dbase.deletedRows) isDeleted[r] = 1;
    if (rows.size() > UINT32_MAX)
        throw TableError("Die Tabelle " + shownName(image.dataPath) + " hat zu viele Datensätze.",
                         TableError::Kind::Limit, image.dataPath);

    std::vector<const FieldDef*> memoFields;
    for (const FieldDef& f : image.fields)
        if (f.type != FieldType::Unknown && isMemoField(f)) memoFields.push_back(&f);
    const MemoStyle style = memoFields.empty() ? MemoStyle::None : writingStyle(image, fs);
    MemoFileWriter memo(style, asciiUpper(baseNameOf(image.dataPath)),
                        static_cast<std::uint32_t>(image.dbase.memoBlockSize));

    // The memo file only grows: the values read from it keep their blocks, new ones are appended after
    // them. An old data file read meanwhile then still finds its values in the new memo file.
    const std::string oldMemo = style == MemoStyle::None ? std::string() : existingMemoPath(image.dataPath, style, fs);
    const bool append = style != MemoStyle::None && !image.newStructure && !oldMemo.empty() &&
                        oldMemo == image.dbase.memoPath && fs.identity(oldMemo) == image.dbase.memoIdentity &&
                        memo.blockSize() == static_cast<std::uint32_t>(image.dbase.memoBlockSize);
    std::uint64_t oldSize = 0, nextFree = memo.firstBlock();
    // New values start after the old file's last block, which its size tells for certain.
    if (append) {
        oldSize = fs.openRead(oldMemo)->size();
        nextFree = std::max(nextFree, (oldSize + memo.blockSize() - 1) / memo.blockSize());
    }
    const std::uint64_t firstNew = nextFree;
    // Block numbers are handed out in writing order; knowing the total first lets both files stream.
    std::unordered_map<std::uint32_t, std::uint64_t> placed;
    for (std::uint32_t r : rows)
        for (const FieldDef* f : memoFields) {
            std::uint32_t handle = BlobStore::handleAt(image.row(r) + f->offset);
            const std::string& value = image.blobs.get(handle);
            if (value.empty() || (append && image.blobs.origin(handle) != 0) || placed.count(handle)) continue;
            if (value.size() > UINT32_MAX - 16)
                throw TableError("Ein Memowert der Tabelle " + shownName(image.dataPath) + " ist zu groß.",
                                 TableError::Kind::Limit, image.dataPath);
            placed.emplace(handle, nextFree);
            nextFree += memo.blocksFor(value.size());
        }
    if (nextFree > UINT32_MAX)
        throw TableError("Die Memodatei der Tabelle " + shownName(image.dataPath) + " würde zu groß.",
                         TableError::Kind::Limit, image.dataPath);

    const std::string header = buildHeader(image, rows, style != MemoStyle::None);
    std::optional<FileSetWriter> own;
    FileSetWriter& files = joined ? *joined : own.emplace(fs, image.dataPath);
    FileHandle& dataFile = files.create(image.dataPath);
    BufferedOutput data(dataFile);
    data.write(header);

    // The memo file: its header, the old values byte for byte when they are kept, zeros up to the
    // first new block, then the new values in the order the records name them.
    std::unique_ptr<BufferedOutput> memoOut;
    std::string memoPath;
    if (style != MemoStyle::None) {
        memoPath = oldMemo.empty() ? memoPathFor(image.dataPath, style) : oldMemo;
        memoOut = std::make_unique<BufferedOutput>(files.create(memoPath));
        std::string head = memo.header(nextFree);
        memoOut->write(head);
        if (append) copyOldValues(fs, oldMemo, head.size(), oldSize, *memoOut);
        memoOut->fill('\0', static_cast<std::size_t>(firstNew * memo.blockSize() - memoOut->position()));
    }

    std::uint64_t written = firstNew;
    std::vector<char> record(static_cast<std::size_t>(image.recordLength));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::copy_n(image.row(rows[i]), image.recordLength, record.data());
        record[0] = isDeleted[rows[i]] ? kDeletedRecord : kLiveRecord;
        for (const FieldDef* f : memoFields) {
            char* field = record.data() + f->offset;
            std::uint32_t handle = BlobStore::handleAt(field);
            const std::string& value = image.blobs.get(handle);
            if (value.empty()) {
                putMemoPointer(image, *f, field, 0);
                continue;
            }
            // A value kept from the old file points where it was; a new one is written when its record
            // comes first to it (several records may share one value).
            auto at = placed.find(handle);
            std::uint64_t block = at == placed.end() ? image.blobs.origin(handle) : at->second;
            putMemoPointer(image, *f, field, block);
            if (block == written) {
                memo.writeValue(*memoOut, value, fptBlockType(*f));
                written += memo.blocksFor(value.size());
            }
        }
        data.write(record.data(), record.size());
    }
    data.write(&kEndOfFile, 1);
    data.flush();
    if (memoOut) memoOut->flush();
    if (image.newStructure) removeStaleCompanions(image, style, files, fs);
    files.commit();

    // The image now describes the files written: a next save appends to this memo file.
    for (const auto& [handle, block] : placed) image.blobs.setOrigin(handle, block);
    image.dbase.memoPath = memoPath;
    image.dbase.memoIdentity = memoPath.empty() ? std::string() : fs.identity(memoPath);
    image.dbase.memoBlockSize = static_cast<int>(memo.blockSize());
    image.originalHeader.assign(header.begin(), header.end());
    image.dbase.languageDriver = static_cast<unsigned char>(header[kLanguageDriverAt]);
    image.hasMemoFile = style != MemoStyle::None;
}

}  // namespace kimport::dbase

// Opening a .DBF: header, records and every memo value, loaded into a TableImage.
#include "common/FileSets.h"
#include "common/Text.h"
#include "tablestore/TableError.h"
#include "tablestore/TableFiles.h"
#include "tablestore/dbase/DbfHeader.h"
#include "tablestore/dbase/DbfMemo.h"
#include "tablestore/dbase/DbfPaths.h"

#include <algorithm>
#include <unordered_map>

namespace kimport::dbase {

namespace {

// The block number of a memo pointer; 0 for none, nullopt for a pointer that is no number.
std::optional<std::uint64_t> memoBlock(const FieldDef& f, const char* field) {
    if (hasBinaryMemoPointer(f)) return le32(field);
    std::string_view text(field, static_cast<std::size_t>(f.length));
    std::size_t first = text.find_first_not_of(std::string_view(" \0", 2));
    if (first == std::string_view::npos) return 0;
    std::size_t last = text.find_last_not_of(std::string_view(" \0", 2));
    text = text.substr(first, last - first + 1);
    if (text.size() > 10) return std::nullopt;
    std::uint64_t block = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        block = block * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return block;
}

MemoStyle readingStyle(int version) {
    if (isFoxPro(version)) return MemoStyle::Fpt;
    if (version == 0x83) return MemoStyle::DbtIII;
    return (version & 0x08) || isLevel7(version) || version == 0x05 ? MemoStyle::DbtIV : MemoStyle::DbtIII;
}

// Replaces every memo pointer of every row (deleted ones too) by a handle into the image's BlobStore.
void loadMemos(TableImage& image, const std::vector<const FieldDef*>& memoFields, FileSystem& fs) {
    MemoStyle style = readingStyle(image.version);
    std::string memoPath = existingMemoPath(image.dataPath, style, fs);
    if (memoPath.empty() && style != MemoStyle::Fpt) {
        // Clipper and FoxBASE tables of dBase versions may carry a FoxPro memo file.
        memoPath = existingMemoPath(image.dataPath, MemoStyle::Fpt, fs);
        if (!memoPath.empty()) style = MemoStyle::Fpt;
    }
    if (memoPath.empty())
        throw TableError("Die Memodatei " + shownName(memoPathFor(image.dataPath, style)) + " zur Tabelle " +
                         shownName(image.dataPath) + " fehlt; ohne sie können die Memofelder nicht gelesen werden.");
    image.memoIdentity = fs.identity(memoPath);
    image.memoPath = memoPath;
    MemoFileReader memo(fs.readAll(memoPath), style);
    image.hasMemoFile = true;
    image.memoBlockSize = static_cast<int>(memo.blockSize());

    // Shared pointers share one value. Sound files hold each block in one value
    // at most; once the values exceed twice the memo file, it is damaged and
    // the remaining values count as unreadable, so memory and time stay bounded.
    std::unordered_map<std::uint64_t, std::uint32_t> handleOfBlock;
    std::uint64_t budget = 2 * memo.size() + (1u << 20);
    bool exhausted = false;
    for (std::uint32_t r = 0; r < image.rowCount; ++r) {
        char* row = image.row(r);
        for (const FieldDef* f : memoFields) {
            char* field = row + f->offset;
            std::optional<std::uint64_t> block = memoBlock(*f, field);
            std::uint32_t handle = 0;
            if (block && *block != 0) {
                auto known = handleOfBlock.find(*block);
                if (known != handleOfBlock.end()) {
                    handle = known->second;
                } else if (!exhausted) {
                    std::optional<std::string_view> value = memo.valueAt(*block, budget, exhausted);
                    if (value) {
                        budget -= value->size();
                        handle = image.blobs.add(std::string(*value), *block);
                    }
                    handleOfBlock.emplace(*block, handle);
                }
            }
            std::fill_n(field, f->length, '\0');
            BlobStore::storeHandle(field, handle);
        }
    }
}

}  // namespace

std::unique_ptr<TableImage> readTable(const std::string& dataPath, FileSystem& fs, int codePageIfNone) {
    std::unique_ptr<FileHandle> file = fs.openRead(dataPath);
    const std::uint64_t fileSize = file->size();
    std::string head(static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, kMaxHeaderBytes)), '\0');
    head.resize(readFullyAt(*file, 0, head.data(), head.size()));
    DbfLayout layout = parseHeader(head, fileSize, shownName(dataPath), codePageIfNone);
    requireCodePage(layout.codePage, dataPath);

    auto image = std::make_unique<TableImage>();
    image->format = TableFormat::DBase;
    image->dataPath = dataPath;
    image->version = layout.version;
    image->codePage = layout.codePage;
    image->dbfLanguageDriver = layout.languageDriver;
    image->lastAutoInc = layout.lastAutoInc;
    image->missingRecords = layout.missingRecords;
    image->fields = std::move(layout.fields);
    image->recordLength = static_cast<int>(layout.recordLength);
    image->originalHeader.assign(head.begin(), head.begin() + layout.headerLength);

    const std::size_t dataBytes = static_cast<std::size_t>(layout.recordCount) * layout.recordLength;
    image->rows.resize(dataBytes);
    if (readFullyAt(*file, layout.headerLength, image->rows.data(), dataBytes) != dataBytes)
        throw TableError("Die Tabelle " + shownName(dataPath) + " ist beschädigt: die Datensätze sind unvollständig.");
    file.reset();
    image->rowCount = layout.recordCount;
    image->rowsFromFile = layout.recordCount;

    for (std::uint32_t r = 0; r < image->rowCount; ++r) {
        if (image->row(r)[0] == '*')
            image->deletedRows.push_back(r);
        else
            image->order.push_back(r);
    }

    std::vector<const FieldDef*> memoFields;
    for (const FieldDef& f : image->fields)
        if (f.type != FieldType::Unknown && isMemoField(f)) memoFields.push_back(&f);
    if (!memoFields.empty()) {
        if (image->version == 0xE5)
            throw TableError("Die Tabelle " + shownName(dataPath) +
                             " hat eine Memodatei im Format .SMT; dieses Format wird nicht unterstützt.");
        loadMemos(*image, memoFields, fs);
    }
    return image;
}

}  // namespace kimport::dbase

// Opening a .DBF: header, records and every memo value, loaded into a TableImage.
//
// Records are taken in the file's order, deleted ones too: they stay where
// they were when the table is written back, so that a program that counts
// records by their place (dBase's RECNO()) finds them there. Memo pointers are
// replaced by handles of the values read, so the image never points into a file.
#include "tablestore/dbase/DbfReader.h"

#include "common/FileSets.h"
#include "common/Text.h"
#include "tablestore/RowFeed.h"
#include "tablestore/TableError.h"
#include "tablestore/TableFiles.h"
#include "tablestore/dbase/DbfHeader.h"
#include "tablestore/dbase/DbfMemo.h"
#include "tablestore/dbase/DbfMemoPointer.h"
#include "tablestore/dbase/DbfPaths.h"

#include <algorithm>
#include <unordered_map>

namespace kimport::dbase {

namespace {

// The memo file beside a table, with the values its records point to.
struct MemoSource {
    std::string path;
    std::unique_ptr<MemoFileReader> reader;
    // Sound files hold each block in one value at most; once the values of one batch exceed twice the
    // memo file, it is damaged and the batch's remaining values count as unreadable, so memory and time
    // stay bounded. A whole read is one batch.
    std::uint64_t allowance = 0;
    std::uint64_t budget = 0;
    bool exhausted = false;
};

// Finds and opens the memo file of a table with memo fields; its identity is kept so that a save can
// tell whether the file it would append to is still the one read.
MemoSource openMemoFile(TableImage& image, FileSystem& fs) {
    MemoStyle style = memoStyleOf(image.dbase.version);
    std::string memoPath = existingMemoPath(image.dataPath, style, fs);
    if (memoPath.empty() && style != MemoStyle::Fpt) {
        // Clipper and FoxBASE tables of dBase versions may carry a FoxPro memo file.
        memoPath = existingMemoPath(image.dataPath, MemoStyle::Fpt, fs);
        if (!memoPath.empty()) style = MemoStyle::Fpt;
    }
    if (memoPath.empty())
        throw TableError("Die Memodatei " + shownName(memoPathFor(image.dataPath, style)) + " zur Tabelle " +
                             shownName(image.dataPath) + " fehlt; ohne sie können die Memofelder nicht gelesen werden.",
                         TableError::Kind::Missing, memoPathFor(image.dataPath, style));
    MemoSource memo{memoPath, nullptr};
    try {
        image.dbase.memoIdentity = fs.identity(memoPath);
        memo.reader = std::make_unique<MemoFileReader>(fs.openRead(memoPath), style);
    } catch (const IoError& e) {
        throw TableError(e.what(), TableError::Kind::Io, memoPath);
    }
    image.dbase.memoPath = memoPath;
    image.hasMemoFile = true;
    image.dbase.memoBlockSize = static_cast<int>(memo.reader->blockSize());
    // Twice the file: a sound file gives each block to one value, so its values never add up to more.
    // The extra megabyte lets small files with a few shared values through.
    memo.allowance = 2 * memo.reader->size() + (1u << 20);
    return memo;
}

// Replaces the memo pointers of the rows from `first` on (deleted ones too) by handles into the
// image's BlobStore. Pointers of one batch that share a block share one value.
void takeMemos(TableImage& image, std::uint32_t first, const std::vector<const FieldDef*>& memoFields, MemoSource& memo) {
    std::unordered_map<std::uint64_t, std::uint32_t> handleOfBlock;
    memo.budget = memo.allowance;
    memo.exhausted = false;
    for (std::uint32_t r = first; r < image.rowCount(); ++r) {
        char* row = image.row(r);
        for (const FieldDef* f : memoFields) {
            char* field = row + f->offset;
            std::optional<std::uint64_t> block = memoPointer(*f, field);
            std::uint32_t handle = 0;  // no value: a blank pointer, block 0 or one that is no number
            if (block && *block != 0) {
                auto known = handleOfBlock.find(*block);
                if (known != handleOfBlock.end()) {
                    handle = known->second;
                } else if (memo.exhausted) {
                    ++image.unreadableValues;
                } else {
                    std::optional<std::string> value;
                    try {
                        value = memo.reader->valueAt(*block, memo.budget, memo.exhausted);
                    } catch (const IoError& e) {
                        throw TableError(e.what(), TableError::Kind::Io, memo.path);
                    }
                    // The handle remembers the block, so that a save can leave the value where it is.
                    if (value) {
                        memo.budget -= value->size();
                        handle = image.blobs.add(std::move(*value), *block);
                    } else if (memo.exhausted) {
                        ++image.unreadableValues;
                    }
                    handleOfBlock.emplace(*block, handle);
                }
            }
            std::fill_n(field, f->length, '\0');
            BlobStore::storeHandle(field, handle);
        }
    }
}

// Hands out the records in the file's order, deleted ones among them as the file has them.
class RecordFeed : public RowFeed {
public:
    RecordFeed(std::unique_ptr<FileHandle> file, std::uint64_t headerLength, std::uint32_t recordCount,
               int recordLength, std::vector<const FieldDef*> memoFields, MemoSource memo, std::string dataPath)
        : file_(std::move(file)), headerLength_(headerLength), recordCount_(recordCount), recordLength_(recordLength),
          memoFields_(std::move(memoFields)), memo_(std::move(memo)), dataPath_(std::move(dataPath)) {}

    // The count a cursor shows before it has read the records: the ones not marked deleted.
    std::uint64_t liveRecords() override {
        // Only the deletion marks count; the records are read a piece at a time.
        std::uint64_t live = 0;
        std::vector<char> piece;
        for (std::uint32_t r = 0; r < recordCount_;) {
            const std::uint32_t n = std::min<std::uint32_t>(recordCount_ - r, piecesOf(1 << 20));
            piece.resize(static_cast<std::size_t>(n) * length());
            readRecords(r, n, piece.data());
            for (std::uint32_t i = 0; i < n; ++i)
                live += piece[static_cast<std::size_t>(i) * length()] != kDeletedRecord;
            r += n;
        }
        return live;
    }

    void restart() override { next_ = 0; }

    bool nextBatch(TableImage& image, std::size_t rows) override {
        if (next_ >= recordCount_) return false;
        const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(recordCount_ - next_, rows));
        const std::uint32_t first = image.rowCount();
        if (first > UINT32_MAX - n)
            throw TableError("Die Tabelle " + shownName(dataPath_) + " kann keine weiteren Datensätze aufnehmen",
                             TableError::Kind::Limit, dataPath_);
        // Read straight into the store, a chunk's room at a time.
        for (std::uint32_t done = 0; done < n;) {
            std::uint32_t got = 0;
            char* into = image.rows.grow(n - done, length(), got);
            readRecords(next_ + done, got, into);
            done += got;
        }
        if (first == 0 && next_ == 0) image.dbase.rowsFromFile = n;  // a whole read: the rows are the file's
        for (std::uint32_t r = first; r < image.rowCount(); ++r) {
            // Only '*' marks a deleted record; dBase treats every other byte there as live.
            if (image.row(r)[0] == kDeletedRecord)
                image.dbase.deletedRows.push_back(r);
            else
                image.order.push_back(r);
        }
        if (!memoFields_.empty()) takeMemos(image, first, memoFields_, memo_);
        next_ += n;
        return true;
    }

private:
    std::size_t length() const { return static_cast<std::size_t>(recordLength_); }
    std::uint32_t piecesOf(std::size_t bytes) const {
        return static_cast<std::uint32_t>(std::max<std::size_t>(1, bytes / length()));
    }
    void readRecords(std::uint32_t from, std::uint32_t n, char* into) {
        const std::size_t bytes = static_cast<std::size_t>(n) * length();
        std::size_t got = 0;
        try {
            got = readFullyAt(*file_, headerLength_ + static_cast<std::uint64_t>(from) * length(), into, bytes);
        } catch (const IoError& e) {
            throw TableError(e.what(), TableError::Kind::Io, dataPath_);
        }
        if (got != bytes)
            throw TableError(
                "Die Tabelle " + shownName(dataPath_) + " ist beschädigt: die Datensätze sind unvollständig.",
                TableError::Kind::Damaged, dataPath_);
    }

    std::unique_ptr<FileHandle> file_;
    std::uint64_t headerLength_;
    std::uint32_t recordCount_;
    int recordLength_;
    std::vector<const FieldDef*> memoFields_;
    MemoSource memo_;
    std::string dataPath_;
    std::uint32_t next_ = 0;
};

}  // namespace

TableStream openStream(const std::string& dataPath, FileSystem& fs, int codePageIfNone) {
    // The header is read first, then the records a batch at a time: the file is never held twice.
    std::unique_ptr<FileHandle> file;
    std::uint64_t fileSize = 0;
    std::string head;
    try {
        file = fs.openRead(dataPath);
        fileSize = file->size();
        head.resize(static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, kMaxHeaderBytes)));
        head.resize(readFullyAt(*file, 0, head.data(), head.size()));
    } catch (const IoError& e) {
        throw TableError(e.what(), TableError::Kind::Io, dataPath);
    }
    DbfLayout layout = parseHeader(head, fileSize, shownName(dataPath), codePageIfNone);
    requireCodePage(layout.codePage, dataPath);

    auto image = std::make_unique<TableImage>();
    image->format = TableFormat::DBase;
    image->dataPath = dataPath;
    image->dbase.version = layout.version;
    image->codePage = layout.codePage;
    image->dbase.languageDriver = layout.languageDriver;
    image->lastAutoInc = layout.lastAutoInc;
    image->missingRecords = layout.missingRecords;
    image->fields = std::move(layout.fields);
    image->recordLength = static_cast<int>(layout.recordLength);
    // Kept as read: a save writes it back with new counts when the fields are still the same, so the
    // bytes we do not interpret (index flags, a level-7 properties block) stay the writer's.
    image->originalHeader.assign(head.begin(), head.begin() + layout.headerLength);

    // A memo field we cannot read (a pointer too short) keeps its bytes and needs no memo file.
    std::vector<const FieldDef*> memoFields;
    for (const FieldDef& f : image->fields)
        if (f.type != FieldType::Unknown && isMemoField(f)) memoFields.push_back(&f);
    MemoSource memo;
    if (!memoFields.empty()) {
        if (image->dbase.version == kHiPerSixMemo)
            throw TableError("Die Tabelle " + shownName(dataPath) +
                                 " hat eine Memodatei im Format .SMT; dieses Format wird nicht unterstützt.",
                             TableError::Kind::Unsupported, dataPath);
        memo = openMemoFile(*image, fs);
    }
    auto feed = std::make_unique<RecordFeed>(std::move(file), layout.headerLength, layout.recordCount,
                                             image->recordLength, std::move(memoFields), std::move(memo), dataPath);
    return TableStream{std::move(image), std::move(feed)};
}

std::unique_ptr<TableImage> readTable(const std::string& dataPath, FileSystem& fs, int codePageIfNone) {
    return readWhole(openStream(dataPath, fs, codePageIfNone));
}

}  // namespace kimport::dbase

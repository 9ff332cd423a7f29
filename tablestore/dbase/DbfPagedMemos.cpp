#include "tablestore/dbase/DbfPagedMemos.h"

#include "common/FileSets.h"
#include "common/Text.h"
#include "tablestore/FileSetWriter.h"
#include "tablestore/PatchedFile.h"
#include "tablestore/TableError.h"
#include "tablestore/dbase/DbfMemoPointer.h"
#include "tablestore/dbase/DbfPaths.h"

#include <algorithm>

namespace kimport::dbase {

PagedMemos::PagedMemos(TableImage& image, FileSystem& fs) : image_(image), fs_(fs) {
    // The fields the reader turns into handles: one whose pointer is too short to read stays bytes.
    for (const FieldDef& f : image.fields)
        if (f.type != FieldType::Unknown && isMemoField(f)) fields_.push_back(&f);
    // A dBase version's table may have come with an .FPT, which the reader then took.
    style_ = asciiUpper(extensionOf(image.dbase.memoPath)) == ".FPT" ? MemoStyle::Fpt
                                                                     : memoStyleOf(image.dbase.version);
    open();
}

void PagedMemos::open() {
    try {
        reader_ = std::make_unique<MemoFileReader>(fs_.openRead(image_.dbase.memoPath), style_);
    } catch (const IoError& e) {
        throw TableError(e.what(), TableError::Kind::Io, image_.dbase.memoPath);
    }
}

void PagedMemos::toRow(char* row, const NewValues* values, std::vector<std::uint32_t>& added) {
    for (std::size_t k = 0; k < fields_.size(); ++k) {
        const FieldDef& f = *fields_[k];
        char* field = row + f.offset;
        std::uint32_t handle = 0;
        if (values && k < values->size() && !(*values)[k].empty()) {
            handle = image_.blobs.add((*values)[k]);
        } else if (const std::optional<std::uint64_t> block = memoPointer(f, field); block && *block != 0) {
            // No value can be longer than the file, so a damaged one costs at most that.
            bool tooLong = false;
            std::optional<std::string> value;
            try {
                value = reader_->valueAt(*block, reader_->size(), tooLong);
            } catch (const IoError& e) {
                throw TableError(e.what(), TableError::Kind::Io, image_.dbase.memoPath);
            }
            // The handle remembers the block, so that the value stays where it is when the record changes.
            if (value) handle = image_.blobs.add(std::move(*value), *block);
        }
        if (handle != 0) added.push_back(handle);
        std::fill_n(field, f.length, '\0');
        BlobStore::storeHandle(field, handle);
    }
}

void PagedMemos::fromRow(const char* row, char* record, NewValues& values) const {
    values.clear();
    for (std::size_t k = 0; k < fields_.size(); ++k) {
        const FieldDef& f = *fields_[k];
        const std::uint32_t handle = BlobStore::handleAt(row + f.offset);
        const std::string& value = image_.blobs.get(handle);
        const std::uint64_t block = value.empty() ? 0 : image_.blobs.origin(handle);
        putMemoPointer(image_, f, record + f.offset, block);
        if (value.empty() || block != 0) continue;
        values.resize(fields_.size());
        values[k] = value;
    }
}

void PagedMemos::release(std::vector<std::uint32_t>& handles) {
    for (std::uint32_t h : handles) image_.blobs.release(h);
    handles.clear();
}

std::vector<std::uint32_t> PagedMemos::handlesOf(const char* row) const {
    std::vector<std::uint32_t> handles;
    handles.reserve(fields_.size());
    for (const FieldDef* f : fields_) handles.push_back(BlobStore::handleAt(row + f->offset));
    return handles;
}

void PagedMemos::requireUnchanged() const {
    if (fs_.identity(image_.dbase.memoPath) != image_.dbase.memoIdentity)
        throw TableError("Die Memodatei " + shownName(image_.dbase.memoPath) + " der Tabelle " +
                             shownName(image_.dataPath) +
                             " ist inzwischen von einem anderen Programm geändert worden. Bitte öffnen Sie die "
                             "Tabelle erneut.",
                         TableError::Kind::Changed, image_.dataPath);
}

bool PagedMemos::append(FileSetWriter& files, const std::vector<Changed>& changed) {
    const bool any = std::any_of(changed.begin(), changed.end(), [](const Changed& c) {
        return std::any_of(c.values->begin(), c.values->end(), [](const std::string& v) { return !v.empty(); });
    });
    if (!any) return false;
    // The blocks stay as the file has them: a size the layout does not allow (a dBase IV file's that is
    // no multiple of 64) would make the values appended unreadable to dBase.
    const MemoFileWriter writer(style_, asciiUpper(baseNameOf(image_.dataPath)), reader_->blockSize());
    if (writer.blockSize() != reader_->blockSize())
        throw TableError("Die Memodatei " + shownName(image_.dbase.memoPath) + " hat eine Blockgröße von " +
                             std::to_string(reader_->blockSize()) +
                             " Bytes, an die keine Werte angehängt werden können.",
                         TableError::Kind::Unsupported, image_.dbase.memoPath);
    const std::uint64_t blockSize = writer.blockSize();
    PatchedFile memo(files, reader_->file(), image_.dbase.memoPath);
    // New values start after the old file's last block, which its size tells for certain.
    std::uint64_t next = std::max(writer.firstBlock(), (memo.size() + blockSize - 1) / blockSize);
    for (const Changed& c : changed) {
        for (std::size_t k = 0; k < c.values->size(); ++k) {
            const std::string& value = (*c.values)[k];
            if (value.empty()) continue;
            if (value.size() > UINT32_MAX - 16)
                throw TableError("Ein Memowert der Tabelle " + shownName(image_.dataPath) + " ist zu groß.",
                                 TableError::Kind::Limit, image_.dataPath);
            const FieldDef& f = *fields_[k];
            putMemoPointer(image_, f, c.record + f.offset, next);
            const std::string head = writer.valueHead(value.size(), fptBlockType(f));
            const std::string tail = writer.valueTail(value.size());
            const std::uint64_t at = next * blockSize;
            memo.write(at, head.data(), head.size());
            memo.write(at + head.size(), value.data(), value.size());
            memo.write(at + head.size() + value.size(), tail.data(), tail.size());
            next += writer.blocksFor(value.size());
        }
    }
    if (next > UINT32_MAX)
        throw TableError("Die Memodatei der Tabelle " + shownName(image_.dataPath) + " würde zu groß.",
                         TableError::Kind::Limit, image_.dataPath);
    const std::string nextFree = writer.nextFreeBytes(next);
    memo.write(writer.nextFreeAt(), nextFree.data(), nextFree.size());
    memo.finish();
    return true;
}

void PagedMemos::rebase() {
    open();
    image_.dbase.memoIdentity = fs_.identity(image_.dbase.memoPath);
}

}  // namespace kimport::dbase

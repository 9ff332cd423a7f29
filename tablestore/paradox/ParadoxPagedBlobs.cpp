#include "tablestore/paradox/ParadoxPagedBlobs.h"

#include "common/FileSets.h"
#include "tablestore/BlobStore.h"
#include "tablestore/Bytes.h"
#include "tablestore/TableError.h"
#include "tablestore/paradox/ParadoxFormat.h"

#include <cstring>

namespace kimport::paradox {

using namespace kimport::bytes;

PagedBlobs::PagedBlobs(TableImage& image, FileSystem& fs, BlockFile& files) : image_(image), fs_(fs), files_(files) {
    for (const FieldDef& f : image.fields)
        if (isBlobPhysical(f.physicalType)) fields_.push_back(&f);
    if (fields_.empty()) return;
    path_ = findIgnoringCase(directoryOf(image.dataPath) + baseNameOf(image.dataPath) + ".MB", fs);
    if (!fs.exists(path_))
        throw TableError("Die Memodatei " + fileNameOf(path_) + " der Tabelle " + fileNameOf(image.dataPath) + " fehlt.",
                         TableError::Kind::Missing, path_);
    memo_ = std::make_unique<MemoFile>(path_, fs);
}

PagedBlobs::~PagedBlobs() = default;

std::string PagedBlobs::valueOf(const char* field, const FieldDef& f) const {
    // A value appended since the save is not in the .MB as read.
    const std::uint32_t pointer = le32(field + f.length - kBlobTailBytes + kBlobPointerAt);
    if (pointer != 0) {
        auto found = appended_.find(pointer);
        if (found != appended_.end()) return found->second;
    }
    return memo_->valueOf(field, f.length, f.physicalType);
}

void PagedBlobs::toRow(char* row, std::vector<std::uint32_t>& added) {
    for (const FieldDef* f : fields_) {
        char* p = row + f->offset;
        const auto length = static_cast<std::size_t>(f->length);
        std::string bytes(p, length);
        std::string value = valueOf(p, *f);
        std::memset(p, 0, length);
        const std::uint32_t handle = image_.blobs.add(std::move(value));
        BlobStore::storeHandle(p, handle);
        if (handle == 0) continue;
        added.push_back(handle);
        readBytes_[handle] = std::move(bytes);
    }
}

MemoWriter& PagedBlobs::writer() {
    if (!writer_) {
        FileHandle& file = files_.companion(path_);
        std::vector<char> header(kMbUnit, 0);
        try {
            header.resize(readFullyAt(file, 0, header.data(), header.size()));
            writer_ = std::make_unique<MemoWriter>(file, std::move(header), file.size());
        } catch (const IoError& e) {
            throw TableError(e.what(), TableError::Kind::Io, path_);
        }
    }
    return *writer_;
}

void PagedBlobs::toRecord(char* record, std::vector<std::uint32_t>& stored) {
    for (const FieldDef* f : fields_) {
        char* p = record + f->offset;
        const std::uint32_t handle = BlobStore::handleAt(p);
        auto read = readBytes_.find(handle);
        if (handle != 0 && read != readBytes_.end()) {
            std::memcpy(p, read->second.data(), read->second.size());
            continue;
        }
        const std::string& value = image_.blobs.get(handle);
        writer().store(p, f->length, f->physicalType, value);
        const std::uint32_t pointer = le32(p + f->length - kBlobTailBytes + kBlobPointerAt);
        if (pointer != 0) appended_[pointer] = value;
        if (handle != 0) stored.push_back(handle);
    }
}

void PagedBlobs::release(std::vector<std::uint32_t>& handles) {
    for (std::uint32_t h : handles) {
        image_.blobs.release(h);
        readBytes_.erase(h);
    }
    handles.clear();
}

void PagedBlobs::finish() {
    if (!writer_) return;
    try {
        writer_->finish();
    } catch (const IoError& e) {
        throw TableError(e.what(), TableError::Kind::Io, path_);
    }
}

void PagedBlobs::rebase() {
    if (fields_.empty()) return;
    writer_.reset();
    appended_.clear();
    memo_ = std::make_unique<MemoFile>(path_, fs_);
}

}  // namespace kimport::paradox

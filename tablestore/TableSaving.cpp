// Opening, locking, saving and closing a table: everything that decides when
// and whether a table's files are read or replaced.
#include "common/FileSets.h"
#include "common/Text.h"
#include "tablestore/FeedRecords.h"
#include "tablestore/FileSetWriter.h"
#include "tablestore/ImageRecords.h"
#include "tablestore/Table.h"
#include "tablestore/TableFiles.h"
#include "tablestore/dbase/DbfPagedRecords.h"
#include "tablestore/paradox/ParadoxPagedRecords.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <functional>
#include <thread>

namespace kimport {

namespace {

// One step of opening a table: a failure lets go of the lock, and a file that cannot be read is
// reported as the table store's I/O error, whichever reader met it.
template <class Step>
void openingStep(std::unique_ptr<FileLock>& lock, const std::string& dataPath, Step&& step) {
    try {
        step();
    } catch (const IoError& e) {
        lock.reset();
        throw TableError(e.what(), TableError::Kind::Io, dataPath);
    } catch (...) {
        lock.reset();
        throw;
    }
}

}  // namespace

std::string lockFileOf(const std::string& dataPath) { return directoryOf(dataPath) + "PKIMPORT.LCK"; }

std::uint64_t lockByteOf(const std::string& dataPath, std::uint64_t directoryInode) {
    // One byte per table; the file itself is replaced on every save, the lock file stays. The folder's
    // inode counts too, the same however the folder is reached, so that tables of other folders never
    // share a byte, not even in the system's list of locks (which shows locks on deleted lock files).
    return std::hash<std::string>{}(std::to_string(directoryInode) + "/" + foldedUpper(fileNameOf(dataPath))) %
           (1ULL << 40);
}

void Table::lock(bool exclusive) {
    lock_.reset();
    lockExclusive_ = false;
    try {
        const std::string directory = directoryOf(dataPath_);
        lock_ = fs_.tryLock(lockFileOf(dataPath_), lockByteOf(dataPath_, fs_.inodeOf(directory.empty() ? "." : directory)),
                            exclusive);
    } catch (const IoError& e) {
        // Only a directory we may not write to has no lock file; its tables cannot be changed anyway.
        if (fs_.canWriteIn(directoryOf(dataPath_))) throw TableError(e.what(), TableError::Kind::Io, dataPath_);
        return;
    }
    if (!lock_)
        throw TableError("Die Tabelle " + displayName() + " wird von einem anderen Benutzer oder Programm " +
                         (exclusive ? "verwendet" : "exklusiv verwendet") + " und kann nicht geöffnet werden.",
                         TableError::Kind::Locked, dataPath_);
    lockExclusive_ = exclusive;
}

// Locks the table (exclusively when it can) and completes an interrupted save of it.
void Table::lockAndRecover(const std::string& given) {
    std::string dataPath = findIgnoringCase(given, fs_);
    if (!isParadoxPath(dataPath) && !isDBasePath(dataPath))
        throw TableError("Unbekannter Tabellentyp: " + TableName, TableError::Kind::Usage, dataPath);
    // A table reached through a symbolic link lives, with its companions and its lock, where the link points.
    dataPath_ = fs_.resolvedPath(dataPath);
    // An interrupted save is completed only by one who has the table to itself.
    bool alone = true;
    try {
        // A process killed during a save holds its lock until the system has finished ending it, a moment
        // after the kill (longer for a large one). What its save left shows it was at work: the lock is
        // then asked for again for up to two seconds, so that the first open after the crash completes or
        // removes that save. A lock held beyond that belongs to someone alive.
        for (int attempt = 1;; ++attempt) {
            try {
                lock(true);
                break;
            } catch (const TableError& e) {
                if (e.kind() != TableError::Kind::Locked || attempt >= 40 ||
                    (attempt == 1 && !FileSetWriter::hasRemains(fs_, dataPath_)))
                    throw;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    } catch (const TableError&) {
        if (Exclusive) throw;
        alone = false;
        lock(false);
    }
    openingStep(lock_, dataPath_, [&] {
        // A save of another user in progress, or one interrupted while others use the table: its files may
        // be half renamed, so the table is not read until the one who has it alone completes the save.
        if (!alone && fs_.exists(FileSetWriter::journalPath(dataPath_)))
            throw TableError("Die Tabelle " + displayName() + " wird gerade gespeichert oder ihr Speichern wurde "
                             "unterbrochen; sie kann erst geöffnet werden, wenn kein anderer sie verwendet.",
                             TableError::Kind::Locked, dataPath_);
        if (alone && lock_) {
            FileSetWriter::recover(fs_, dataPath_);
            if (!Exclusive) lockExclusive_ = !lock_->changeMode(false);
        }
    });
}

void Table::startBrowsing() {
    state_ = State::Browse;
    visibleFields_ = 0;
    for (const FieldDef& f : image_->fields) visibleFields_ += f.hidden ? 0 : 1;
    filter_.clear();
    MoveFirst();
}

void Table::OpenTable() {
    if (image_) return;
    std::string given = path();
    if (TableName.empty()) throw TableError("Es wurde kein Tabellenname angegeben.", TableError::Kind::Usage);
    lockAndRecover(given);
    openingStep(lock_, dataPath_, [&] {
        openedIdentity_ = fs_.identity(dataPath_);
        if (!fs_.exists(dataPath_) || fs_.isDirectory(dataPath_))
            throw TableError("Die Tabelle " + given + " existiert nicht.", TableError::Kind::Missing, dataPath_);
        if (Sequential) {
            adoptStream(streamOfFile());
        } else if (Paged) {
            holdPaged(streamOfFile());
        } else {
            holdWhole(readWhole(streamOfFile()));
        }
    });
    dirty_ = false;
    writableChecked_ = false;
    startBrowsing();
}

void Table::holdWhole(std::unique_ptr<TableImage> image) {
    auto store = std::make_unique<ImageRecords>(*image);
    store_ = std::move(store);
    image_ = std::move(image);
    streamed_ = false;
}

TableStream Table::streamOfFile() {
    return isParadoxPath(dataPath_) ? paradox::openStream(dataPath_, fs_, CodePageIfNone)
                                    : dbase::openStream(dataPath_, fs_, CodePageIfNone);
}

void Table::holdPaged(TableStream stream) {
    // A file cut short is only read: it is held whole.
    if (stream.image->missingRecords > 0) {
        holdWhole(readWhole(std::move(stream)));
        return;
    }
    stream.feed.reset();  // the store reads the file itself
    if (stream.image->format == TableFormat::Paradox) {
        try {
            auto store = std::make_unique<paradox::PagedRecords>(*stream.image, fs_);
            store_ = std::move(store);
        } catch (const TableError& e) {
            // A chain the store cannot keep as it is: the whole reader reads what it can of it.
            if (e.kind() != TableError::Kind::Damaged) throw;
            holdWhole(readWhole(streamOfFile()));
            return;
        }
    } else {
        store_ = std::make_unique<dbase::PagedRecords>(*stream.image, fs_);
    }
    image_ = std::move(stream.image);
    streamed_ = false;
}

void Table::holdWholeNow() {
    // Read again whole, as an open without Paged would: nothing may be pending.
    holdWhole(readWhole(streamOfFile()));
    openedIdentity_ = fs_.identity(dataPath_);
}

void Table::adoptStream(TableStream stream) {
    // What cannot be read at the start is reported by the opening.
    auto store = std::make_unique<FeedRecords>(*stream.image, std::move(stream.feed));
    store_ = std::move(store);
    image_ = std::move(stream.image);
    streamed_ = true;
}

void Table::OpenStream(TableStream stream) {
    if (image_)
        throw TableError("Die Tabelle " + displayName() + " ist bereits geöffnet.", TableError::Kind::Usage, dataPath_);
    Sequential = true;
    setPath(stream.image->dataPath);
    dataPath_ = stream.image->dataPath;
    adoptStream(std::move(stream));
    dirty_ = false;
    writableChecked_ = false;
    startBrowsing();
}

void Table::CreateTable(std::unique_ptr<TableImage> image) {
    if (image_)
        throw TableError("Die Tabelle " + displayName() + " ist bereits geöffnet.", TableError::Kind::Usage, dataPath_);
    if (TableName.empty()) throw TableError("Es wurde kein Tabellenname angegeben.", TableError::Kind::Usage);
    const std::string directory = DatabaseName.empty() ? "." : DatabaseName;
    if (!fs_.isDirectory(directory))
        throw TableError("Das Verzeichnis " + DatabaseName + " existiert nicht.", TableError::Kind::Missing,
                         DatabaseName);
    Exclusive = true;
    lockAndRecover(path());
    image->dataPath = dataPath_;
    image->newStructure = true;
    holdWhole(std::move(image));
    // What lies there now is what the new table replaces; a change by another program meanwhile is noticed.
    openedIdentity_ = fs_.identity(dataPath_);
    try {
        writableChecked_ = false;
        prepareWrite();
    } catch (...) {
        store_.reset();
        image_.reset();
        lock_.reset();
        throw;
    }
    dirty_ = true;
    startBrowsing();
}

void Table::requireFilesWritable() const {
    // The files of the table as they are now; a save replaces them all.
    const std::string real = fs_.resolvedPath(dataPath_);
    const std::string directory = directoryOf(real);
    std::string base = baseNameOf(real);
    for (const DirEntry& e : fs_.list(directory.empty() ? "." : directory)) {
        if (e.isDirectory || !equalsIgnoreCase(baseNameOf(e.name), base)) continue;
        std::string ext = asciiUpper(extensionOf(e.name));
        bool own = image_->format == TableFormat::Paradox ? (ext == ".DB" || ext == ".MB" || ext == ".PX")
                                                          : (ext == ".DBF" || ext == ".DBT" || ext == ".FPT");
        if (own && !fs_.canWrite(directory + e.name))
            throw TableError("Die Tabelle " + displayName() + " ist schreibgeschützt (Datei " + e.name +
                             ") und kann nicht geändert werden.", TableError::Kind::ReadOnly, dataPath_);
    }
    if (fs_.exists(real) && !fs_.canWrite(real))
        throw TableError("Die Tabelle " + displayName() + " ist schreibgeschützt und kann nicht geändert werden.",
                         TableError::Kind::ReadOnly, dataPath_);
    if (!fs_.canWriteIn(directory))
        throw TableError("Im Verzeichnis " + (directory.empty() ? std::string(".") : directory) +
                         " dürfen keine Dateien angelegt werden; die Tabelle " + displayName() +
                         " kann nicht geändert werden.", TableError::Kind::ReadOnly, dataPath_);
}

void Table::CheckWritable() { prepareWrite(); }

std::uint64_t Table::MaxRecords() const {
    requireActive();
    const std::uint64_t most = image_->format == TableFormat::Paradox ? paradox::maxRecords(*image_)
                                                                      : dbase::maxRecords(*image_);
    return std::min(most, recordLimit_);
}

void Table::CheckCapacity(std::uint64_t records) const {
    const std::uint64_t most = MaxRecords();
    if (records > most)
        throw TableError("Die Tabelle " + displayName() + " kann höchstens " + std::to_string(most) +
                             " Datensätze aufnehmen; " + std::to_string(records) + " wären zu viele.",
                         TableError::Kind::Limit, dataPath_);
}

void Table::ReserveRecords(std::uint64_t more) {
    requireActive();
    // A table read as needed that could not take so many more as it is (its blocks would run out)
    // is held whole while nothing is pending: its save may then choose larger blocks. So is a small
    // one about to change in large part, which a whole save writes quicker than block by block.
    if (store_->paged() && !HasUnsavedChanges()) {
        const bool large = more > store_->room();
        // The size first: counting a dBase table's records reads its deletion flags.
        std::uint64_t size = 0;
        try {
            size = fs_.openRead(dataPath_)->size();
        } catch (const IoError& e) {
            throw TableError(e.what(), TableError::Kind::Io, dataPath_);
        }
        const bool smallChangedMuch = size < kPagedPays && more * 4 >= store_->count();
        // Room for twice the records, as splits may leave blocks half full; a table that cannot have
        // it is held whole, where a save packs its blocks.
        bool remade = false;
        if (large) {
            try {
                remade = store_->makeRoom(fs_, 2 * (store_->count() + more));
            } catch (const TableError& e) {
                if (e.kind() != TableError::Kind::Limit) throw;
            }
        }
        if (remade) {
            // Written anew with larger blocks: read again as needed from the new files.
            openedIdentity_ = fs_.identity(dataPath_);
            holdPaged(streamOfFile());
            MoveFirst();
        } else if (large || smallChangedMuch) {
            holdWholeNow();
            MoveFirst();
        }
    }
    store_->reserve(more);
}

void Table::Flush() { save(nullptr); }

void Table::Flush(FileSetWriter& swap) {
    requireActive();
    if (!swap.belongsTo(dataPath_))
        throw TableError("Die Tabelle " + displayName() + " kann nur mit einem Journal neben ihrer Datendatei "
                         "gespeichert werden.", TableError::Kind::Usage, dataPath_);
    save(&swap);
}

void Table::save(FileSetWriter* swap) {
    if (!image_) return;
    if (state_ == State::Edit || state_ == State::Insert) PostRecord();
    if (!dirty_ && !swap) return;
    // What we hold must still be what is on the disk: a table another program changed, replaced or
    // deleted meanwhile is not overwritten.
    if (dirty_ && fs_.identity(dataPath_) != openedIdentity_)
        throw TableError("Die Tabelle " + displayName() + " ist inzwischen von einem anderen Programm geändert "
                         "worden. Bitte öffnen Sie sie erneut.", TableError::Kind::Changed, dataPath_);
    try {
        if (!dirty_)
            swap->commit();  // the other tables' files alone
        else
            store_->save(fs_, swap);
    } catch (const IoError& e) {
        if (fs_.exists(FileSetWriter::journalPath(dataPath_)))
            throw TableError("Die Tabelle " + displayName() + " konnte nicht vollständig gespeichert werden; das "
                             "Speichern wird beim nächsten Öffnen abgeschlossen.\r\n" + e.what(),
                             TableError::Kind::Unfinished, dataPath_);
        throw TableError("Die Tabelle " + displayName() + " konnte nicht gespeichert werden; sie ist unverändert "
                         "geblieben.\r\n" + e.what(), TableError::Kind::Io, dataPath_);
    }
    if (!dirty_) return;
    openedIdentity_ = fs_.identity(dataPath_);
    image_->newStructure = false;
    dirty_ = false;
}

void Table::CloseDiscarding() {
    if (!image_) return;
    store_.reset();
    image_.reset();
    streamed_ = false;
    lock_.reset();
    state_ = State::Inactive;
    eof_ = bof_ = true;
    filter_.clear();
    dirty_ = false;
}

void Table::CloseTable() {
    if (!image_) return;
    // A failed save still closes the table: its files are as they were before, and the lock must go.
    struct Release {
        Table& t;
        ~Release() { t.CloseDiscarding(); }
    } release{*this};
    // A record that cannot be posted is dropped; what was posted before is saved all the same.
    std::exception_ptr postError;
    if (state_ == State::Edit || state_ == State::Insert) {
        try {
            PostRecord();
        } catch (...) {
            postError = std::current_exception();
            CancelRecord();
        }
    }
    Flush();
    if (postError) std::rethrow_exception(postError);
}

void Table::prepareWrite() {
    requireActive();
    requireRandomAccess();
    if (writableChecked_) return;
    if (image_->missingRecords > 0)
        throw TableError("Die Tabelle " + displayName() + " ist unvollständig: " +
                             std::to_string(image_->missingRecords) +
                             " Datensätze fehlen am Dateiende. Sie kann gelesen, aber nicht geändert werden.",
                         TableError::Kind::Damaged, dataPath_);
    requireFilesWritable();
    if (image_->format == TableFormat::Paradox)
        paradox::checkWritable(*image_, fs_);
    else
        dbase::checkWritable(*image_, fs_);
    // Changes are written as whole files: others must not use the table meanwhile, and
    // what we hold must still be what is on the disk.
    if (lock_ && !lockExclusive_) {
        if (!lock_->changeMode(true))
            throw TableError("Die Tabelle " + displayName() + " wird von einem anderen Benutzer oder Programm "
                             "verwendet und kann nicht geändert werden.", TableError::Kind::Locked, dataPath_);
        lockExclusive_ = true;
        if (fs_.identity(dataPath_) != openedIdentity_) {
            lockExclusive_ = !lock_->changeMode(false);
            throw TableError("Die Tabelle " + displayName() + " ist inzwischen von einem anderen Programm geändert "
                             "worden. Bitte öffnen Sie sie erneut.", TableError::Kind::Changed, dataPath_);
        }
    }
    writableChecked_ = true;
}

void Table::PackTable() {
    requireActive();
    CancelRecord();
    if (image_->format != TableFormat::DBase) return;
    prepareWrite();
    store_->pack();
    dirty_ = true;
    MoveFirst();
}

}  // namespace kimport

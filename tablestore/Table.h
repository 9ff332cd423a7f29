// The record cursor over one table: open and close, structure, walking,
// field values, editing and appending, key lookup, clearing and filtering.
// The whole table is held in memory while open (a table read as a stream only
// a batch of it); changes reach the disk when the table is flushed or closed,
// all files of the table replaced at once. The cursor reaches the records
// through a RecordStore (RecordStore.h) and keeps the rest: its place, the
// record being edited, the filter's conditions, the lock and the saving.
//
// Every failure is a TableError whose kind says what went wrong (TableError.h);
// a text that a field's kind cannot take throws ConversionError instead, as the
// value conversions do. Unless a call says otherwise, a call that throws leaves
// the table as it was: open or closed, the record being edited still being
// edited, nothing written. Calls that need an open table throw Usage when it is
// closed. A Table is not shared between threads; the FileSystem given must
// outlive it.
#pragma once

#include "common/FileSystem.h"
#include "common/FormatSettings.h"
#include "tablestore/FieldDef.h"
#include "tablestore/RecordStore.h"
#include "tablestore/RowFeed.h"
#include "tablestore/TableError.h"
#include "tablestore/TableImage.h"
#include "tablestore/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kimport {

class FileSetWriter;

class Table {
public:
    enum class State { Inactive, Browse, Edit, Insert };

    explicit Table(FileSystem& fs = realFileSystem());
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    // Naming: a directory and a file name (".DB" Paradox, ".DBF" dBase).
    std::string DatabaseName;
    std::string TableName;
    bool Exclusive = false;
    void setPath(const std::string& path);
    std::string path() const;
    // The conversions of "general values" and of CopyRecords.
    FormatSettings regional = FormatSettings::german();
    // The code page of a table that names none (0: the format's usual one).
    int CodePageIfNone = 0;
    // Read as a stream (set before OpenTable): the cursor goes forward from the first record and only a
    // batch of records is held at a time, however large the table. For a table walked from the start,
    // like a run's source; it cannot be changed, sought, filtered or walked back.
    bool Sequential = false;
    // Read from the files as needed (set before OpenTable): the table is walked, changed and appended
    // to without being held in memory, and a save writes only what changed (see
    // dbase/DbfPagedRecords.h, paradox/ParadoxPagedRecords.h); it cannot be saved with other tables,
    // and a dBase table cannot be packed or inserted into before a record. A clear writes the table
    // afresh. A Paradox table with blob fields, or a file the store cannot follow, is held whole.
    bool Paged = false;
    // A paged table whose data file is smaller than this is held whole when told of a change of a
    // quarter of its records or more (ReserveRecords): such a change touches most of its blocks, and a
    // whole save makes it quicker in memory of the same order.
    static constexpr std::uint64_t kPagedPays = std::uint64_t{128} << 20;

    // Reads the table into memory (only its first batch when Sequential) and takes its lock, exclusive
    // when Exclusive is set, else shared. A save another process left unfinished is completed first,
    // by the one who gets the table alone. Does nothing when the table is open.
    // Throws TableError: Usage for no name or an extension that is no table's, Missing when the table
    // (or its memo file) is not there, Locked when another user or program holds it so that this open
    // cannot share it, or is saving it, Damaged, Unsupported or Io as the format's reader says; the
    // table then stays closed and holds no lock.
    void OpenTable();
    // Opens a table read as a stream from records the caller's feed makes (a text file's, say) rather
    // than from a table file: Sequential, with nothing locked, and it cannot be changed. Throws
    // TableError (Usage) when the table is open, and what the feed throws for its first batch.
    void OpenStream(TableStream stream);
    // Starts a new, empty table under this path, in the shape the image gives
    // (see newTableImage). Nothing reaches the disk before Flush or CloseTable;
    // then it replaces a table of that name, with all its files, at once.
    // Takes the lock exclusively and checks now what a save would check (CheckWritable), so that a
    // table that cannot be written is refused before anything is put into it. Throws TableError:
    // Usage when the table is open or has no name, Missing when the folder is not there, Locked when
    // another has the table, and what CheckWritable throws; the table then stays closed and holds no lock.
    void CreateTable(std::unique_ptr<TableImage> image);
    // Posts a record being edited, saves and lets go of the lock. The table is closed afterwards even
    // when this throws: it throws what Flush throws (the files are then as that kind says), or, after
    // saving what was posted before, what posting the record being edited threw (it is dropped).
    void CloseTable();
    // Closes without saving: every change since the last save is dropped. Throws nothing.
    void CloseDiscarding();
    // Writes pending changes to the disk (posting a record being edited first); the table stays open.
    // Throws what posting throws, and TableError: Changed when another program changed or replaced
    // the files since they were read (nothing written), Io when the save failed and left the files as
    // they were, Unfinished when it failed after its journal (completed at the next open), Unsupported
    // or Limit when the format cannot take the table as it now is. After a throw the changes are still
    // held as pending.
    void Flush();
    // The same as part of a larger swap: the table's files join `swap`, which holds the files of other
    // tables saved with it, and one commit of the swap replaces them all (without pending changes only the
    // others). The swap must be made for DataPath(), so that the next open of this table finds its journal
    // and completes or undoes it. Throws as Flush does; the swap is then left uncommitted, unless the
    // failure came after its journal (Kind::Unfinished).
    void Flush(FileSetWriter& swap);
    // Throws when this table may not be changed, before any work is done: TableError ReadOnly (files
    // or folder), Unsupported (an index we cannot keep, a version we only read), Damaged (a file cut
    // short), Locked (another user has it too), Changed (another program changed it since it was
    // read), Usage (closed, or read as a stream). Takes the lock exclusively for the changes to come.
    void CheckWritable();
    // Throws TableError (Limit) when the table could not hold this many records in its format.
    void CheckCapacity(std::uint64_t records) const;
    // The most records the table can hold: the format's limit, or a smaller one set.
    std::uint64_t MaxRecords() const;
    // A limit below the format's (a table as full as a test needs it without gigabytes of records).
    void LimitRecords(std::uint64_t most) { recordLimit_ = most; }
    // Makes room in memory for this many more records at once, instead of growing record by record
    // (a hint: nothing happens when the room cannot be had). A paged table with nothing pending is held
    // whole from here on when its blocks could not take so many, or when it is small and the change
    // large (kPagedPays); throws what reading it whole throws then.
    void ReserveRecords(std::uint64_t more);
    bool Active() const { return image_ != nullptr; }
    // The data file as the last open found it: letter case and symbolic links resolved.
    const std::string& DataPath() const { return dataPath_; }
    // True while changes (or a record being edited) have not reached the disk.
    bool HasUnsavedChanges() const { return image_ && (dirty_ || state_ == State::Edit || state_ == State::Insert); }
    State state() const { return state_; }
    TableFormat format() const;

    // Structure.
    int FieldCount() const;
    const FieldDef& FieldDefAt(int index) const {
        // Asked for every value written or read: the usual case without a call.
        if (image_ && index >= 0 && index < visibleFields_) return image_->fields[static_cast<std::size_t>(index)];
        return fieldDefChecked(index);
    }
    int DataSize(int index) const;
    bool InPrimaryIndex(int index) const;
    int KeyFieldCount() const;
    // Index of a field by name (letter case ignored); throws TableError (Usage) "%s: Feld '%s' nicht gefunden".
    int FieldNamed(const std::string& name) const;
    std::optional<int> LookupField(const std::string& name) const;

    // Walking in primary-key order (physical order without key). Each move posts a record being edited
    // first (throwing what PostRecord throws). A table read as a stream only goes forward: MoveLast,
    // MovePrior and GoToRecord throw Usage there, and a move that needs the next batch throws what the
    // format's reader throws for it (Damaged, Io).
    void MoveFirst();
    void MoveNext();
    void MoveLast();
    void MovePrior();
    // Moves to the record with this number (from 1, as RecordNumber counts); false when there is none.
    bool GoToRecord(std::int64_t number);
    bool AtEnd() const { return eof_; }
    bool AtStart() const { return bof_; }
    std::int64_t RecordNumber() const;  // from 1; 0 without a current record
    std::int64_t RecordCount() const;
    bool IsEmpty() const { return RecordCount() == 0; }

    // Field values of the current record (or of the record being edited). A field index outside the
    // visible fields throws TableError (Usage); the As... calls throw ConversionError for a value that
    // does not convert.
    Value GetValue(int index) const;  // in the field's own kind
    bool IsNull(int index) const;
    std::string AsString(int index, const FormatSettings& fs) const;
    double AsFloat(int index) const;
    std::int64_t AsInteger(int index) const;
    bool AsBoolean(int index) const;
    // Writes convert to the field's kind; text with the given settings. They need a record being edited
    // or appended (else Usage) and throw ConversionError for a text that is no value of the field's
    // kind, TableError (Value) for a value the field cannot hold; the field is then as it was.
    void SetValue(int index, const Value& value, const FormatSettings& fs);
    void SetValue(int index, const Value& value) { SetValue(index, value, regional); }
    void SetAsString(int index, const std::string& text, const FormatSettings& fs);
    // Text into a text field as SetValue would store it, without building a value first.
    void SetText(int index, std::string_view text);
    void SetAsFloat(int index, double value);
    void SetAsInteger(int index, std::int64_t value);
    void SetAsBoolean(int index, bool value);
    void Clear(int index);

    // Starting a change checks once that the table may be changed (CheckWritable, throwing what it
    // throws); editing needs a current record (else Usage).
    void BeginEdit();
    void BeginAppend();
    // A new record before the current one (at the end when there is none).
    void BeginInsert();
    // Puts the record being edited into the table (in key order when keyed) and hands out its
    // auto-increment value. Throws TableError: KeyViolation when another record has its key, Limit when
    // the table can take no more rows; the record then stays being edited.
    void PostRecord();
    void CancelRecord();
    // Removes the current record (a dBase record stays in the file, marked deleted, until PackTable).
    // Throws TableError (Usage) when there is none, and what CheckWritable throws.
    void DeleteRecord();

    // Looks up a primary key (the first values.size() key fields); the cursor
    // moves to the match. Values are converted like SetValue with the regional settings.
    // Throws TableError (Usage) without a primary key or with more values than key fields, and what
    // converting a value throws (ConversionError, TableError Value): such a value is no key of the table.
    bool SeekKey(const std::vector<Value>& values);

    // Removes every record; needs the table opened Exclusive (else Usage) and throws what
    // CheckWritable throws. Reaches the disk with the next save, as every change does.
    void ClearTable();
    // Removes the records marked deleted from a dBase table for good (the others move up) and has its
    // memo file written afresh at the next save; does nothing for a Paradox table. Throws what
    // CheckWritable throws.
    void PackTable();

    // "[Feld]='Wert'" or "[Feld]<>'Wert'", several joined by " AND "; empty clears the filter.
    // Throws TableError (Usage) for a condition of another form or an unknown field; the filter
    // set before stays.
    void FilterRecords(const std::string& condition);

    // The table as held; valid until the table is closed. Throws TableError (Usage) when it is closed.
    const TableImage& image() const;

private:
    std::uint64_t recordLimit_ = UINT64_MAX;
    struct Condition {
        int field;
        bool equal;
        std::string value;
    };

    void requireActive() const {
        if (!image_) notActive();
    }
    void requireEditing() const {
        if (!image_ || (state_ != State::Edit && state_ != State::Insert)) notEditing();
    }
    [[noreturn]] void notActive() const;
    [[noreturn]] void notEditing() const;
    void prepareWrite();
    void save(FileSetWriter* swap);
    bool passesFilter(const char* row) const;
    const char* currentRow() const;
    void assignAutoIncrement(char* row);
    std::string displayName() const;
    void lock(bool exclusive);
    void lockAndRecover(const std::string& given);
    void startBrowsing();
    void requireFilesWritable() const;
    void requireRandomAccess() const {
        if (streamed_) readOnlyForward();
    }
    [[noreturn]] void readOnlyForward() const;
    // Takes a table held whole, its records in the image.
    void holdWhole(std::unique_ptr<TableImage> image);
    // Takes a dBase table read as needed, or whole when it cannot be.
    void holdPaged(TableStream stream);
    void holdWholeNow();
    // The table's data file opened as a stream by its format's reader.
    TableStream streamOfFile();
    // Takes a stream's structure and its first batch.
    void adoptStream(TableStream stream);

    FileSystem& fs_;
    std::unique_ptr<TableImage> image_;
    // The records, reached only through the store; it is made over image_ and goes before it.
    std::unique_ptr<RecordStore> store_;
    std::unique_ptr<FileLock> lock_;
    bool streamed_ = false;  // read as a stream: forward only, never changed
    bool lockExclusive_ = false;
    std::string dataPath_;        // the data file as found on open
    std::string openedIdentity_;  // the data file when it was read, to notice a change by another program
    State state_ = State::Inactive;
    Place place_;  // the current record, unless both eof_ and bof_ are set
    bool eof_ = true, bof_ = true;
    std::vector<char> editRow_;
    std::optional<Place> insertBefore_;  // where BeginInsert stood, when it stood on a record
    bool dirty_ = false;
    bool writableChecked_ = false;
    std::vector<Condition> filter_;
    int visibleFields_ = 0;
    const FieldDef& fieldDefChecked(int index) const;
};

// A new, empty table image for this data path (.DB Paradox, .DBF dBase) with
// these fields; the first keyFieldCount fields form the primary key (Paradox only).
// Throws TableError: Usage for another extension, a key for a dBase table, or fields the
// format does not allow; Limit for records longer than it allows.
std::unique_ptr<TableImage> newTableImage(const std::string& dataPath, const std::vector<FieldSpec>& fields,
                                          int keyFieldCount = 0);

// Creates (or replaces) a table with these fields; the first keyFieldCount
// fields form the primary key (Paradox only). Throws what newTableImage, CreateTable and CloseTable throw;
// a table of that name is then as it was.
void MakeTable(const std::string& directory, const std::string& fileName, const std::vector<FieldSpec>& fields,
               int keyFieldCount = 0, FileSystem& fs = realFileSystem());

// Appends every record of source to destination, fields matched by position. A record that cannot
// be copied whole is not posted; the error, with its record, field and value added to the message,
// keeps its kind and file. The records posted before it stay (unsaved until destination is saved).
void CopyRecords(Table& source, Table& destination);

// The lock file of a directory's tables and the byte that stands for one table.
std::string lockFileOf(const std::string& dataPath);
std::uint64_t lockByteOf(const std::string& dataPath, std::uint64_t directoryInode);

}  // namespace kimport

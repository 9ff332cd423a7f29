#include "tablestore/Table.h"

#include "common/FileSets.h"
#include "common/Text.h"
#include "tablestore/FormatCodec.h"
#include "tablestore/KeyOrder.h"
#include "tablestore/RowFeed.h"
#include "tablestore/ValueConversion.h"
#include "tablestore/dbase/DbfFormat.h"

#include <cstring>

namespace kimport {

Table::Table(FileSystem& fs) : fs_(fs) {}

Table::~Table() {
    try {
        CloseTable();
    } catch (...) {
        // The old files are still intact; nothing better can be done in a destructor.
    }
}

void Table::setPath(const std::string& path) {
    DatabaseName = directoryOf(path);
    TableName = fileNameOf(path);
}

std::string Table::path() const {
    if (DatabaseName.empty()) return TableName;
    return withTrailingSlash(DatabaseName) + TableName;
}

std::string Table::displayName() const { return TableName.empty() ? path() : TableName; }

TableFormat Table::format() const {
    requireActive();
    return image_->format;
}

const TableImage& Table::image() const {
    requireActive();
    return *image_;
}

void Table::notActive() const {
    throw TableError("Die Tabelle " + displayName() + " ist nicht geöffnet.", TableError::Kind::Usage);
}

void Table::notEditing() const {
    requireActive();
    throw TableError("Datenmenge nicht im Bearbeitungs- oder Einfügemodus", TableError::Kind::Usage);
}

int Table::FieldCount() const {
    requireActive();
    return visibleFields_;
}

const FieldDef& Table::fieldDefChecked(int index) const {
    requireActive();
    // Hidden system fields (FoxPro _NullFlags) come last and are not counted.
    if (index < 0 || index >= FieldCount())
        throw TableError("Feldnummer " + std::to_string(index + 1) + " außerhalb des gültigen Bereichs",
                         TableError::Kind::Usage);
    return image_->fields[static_cast<std::size_t>(index)];
}

int Table::DataSize(int index) const {
    const FieldDef& f = FieldDefAt(index);
    switch (f.type) {
    case FieldType::String: return f.size + 1;
    case FieldType::SmallInt: case FieldType::Word: case FieldType::Boolean: return 2;
    case FieldType::Integer: case FieldType::AutoInc: case FieldType::Date: case FieldType::Time: return 4;
    case FieldType::Float: case FieldType::Currency: case FieldType::DateTime: return 8;
    case FieldType::BCD: return 34;
    case FieldType::Bytes: return f.size;
    case FieldType::VarBytes: return f.size + 2;
    default: return 0;
    }
}

bool Table::InPrimaryIndex(int index) const {
    requireActive();
    return index >= 0 && index < image_->keyFieldCount;
}

int Table::KeyFieldCount() const {
    requireActive();
    return image_->keyFieldCount;
}

std::optional<int> Table::LookupField(const std::string& name) const {
    requireActive();
    // Callers mostly spell a name as the table does: that is found without folding case.
    for (int i = 0; i < FieldCount(); ++i)
        if (image_->fields[static_cast<std::size_t>(i)].name == name) return i;
    for (int i = 0; i < FieldCount(); ++i)
        if (equalsIgnoreCase(image_->fields[static_cast<std::size_t>(i)].name, name)) return i;
    return std::nullopt;
}

int Table::FieldNamed(const std::string& name) const {
    if (auto i = LookupField(name)) return *i;
    throw TableError(formatMessage("%s: Feld '%s' nicht gefunden", {displayName(), name}), TableError::Kind::Usage,
                     path());
}

bool Table::visible(std::uint32_t row) const {
    if (filter_.empty()) return true;
    const char* r = image_->row(row);
    const FormatCodec& codec = codecFor(image_->format);
    for (const Condition& c : filter_) {
        std::string text = valueToText(codec.read(*image_, image_->fields[static_cast<std::size_t>(c.field)], r), regional);
        if ((text == c.value) != c.equal) return false;
    }
    return true;
}

void Table::position(std::size_t pos) {
    pos_ = pos;
    if (state_ == State::Edit || state_ == State::Insert) CancelRecord();
}

void Table::readOnlyForward() const {
    throw TableError("Die Tabelle " + displayName() + " wird nur der Reihe nach gelesen; dies ist dabei nicht möglich.",
                     TableError::Kind::Usage);
}

bool Table::nextBatch() {
    // About 1 MB of records at a time: large enough that a batch costs little, small enough to stay put in memory.
    const std::size_t rows = std::max<std::size_t>(64, (std::size_t{1} << 20) / static_cast<std::size_t>(image_->recordLength));
    for (;;) {
        image_->clearRows();
        ++orderVersion_;
        if (!feed_->nextBatch(*image_, rows)) return false;
        if (!image_->order.empty()) return true;  // a batch of deleted records only: on to the next
    }
}

void Table::rewindFeed() {
    feed_->restart();
    nextBatch();
    batchStart_ = 0;
    firstBatchHeld_ = true;
}

void Table::MoveFirst() {
    requireActive();
    if (state_ != State::Browse) PostRecord();
    if (feed_ && !firstBatchHeld_) rewindFeed();
    std::size_t n = image_->order.size();
    std::size_t p = 0;
    while (p < n && !visible(image_->order.at(p))) ++p;
    eof_ = p >= n;
    bof_ = true;
    pos_ = eof_ ? 0 : p;
}

void Table::MoveNext() {
    requireActive();
    if (state_ != State::Browse) PostRecord();
    if (eof_) return;
    std::size_t n = image_->order.size();
    std::size_t p = pos_ + 1;
    while (p < n && !visible(image_->order.at(p))) ++p;
    bof_ = false;
    if (p >= n && feed_) {
        firstBatchHeld_ = false;
        if (nextBatch()) {
            batchStart_ += static_cast<std::int64_t>(n);
            pos_ = 0;
            return;
        }
        // At the end nothing is held; the record number stays that of the last record.
        batchStart_ += static_cast<std::int64_t>(n) - 1;
        pos_ = 0;
    }
    if (p >= n) eof_ = true; else pos_ = p;
}

void Table::MoveLast() {
    requireActive();
    requireRandomAccess();
    if (state_ != State::Browse) PostRecord();
    std::size_t p = image_->order.size();
    while (p > 0 && !visible(image_->order.at(p - 1))) --p;
    eof_ = true;
    bof_ = p == 0;
    pos_ = p > 0 ? p - 1 : 0;
}

void Table::MovePrior() {
    requireActive();
    requireRandomAccess();
    if (state_ != State::Browse) PostRecord();
    std::size_t p = pos_;
    while (p > 0 && !visible(image_->order.at(p - 1))) --p;
    if (p == 0 || image_->order.empty()) { bof_ = true; return; }
    pos_ = p - 1;
    eof_ = false;
    bof_ = false;
}

bool Table::GoToRecord(std::int64_t number) {
    requireActive();
    requireRandomAccess();
    if (state_ != State::Browse) PostRecord();
    if (number < 1) return false;
    if (filter_.empty()) {
        if (static_cast<std::size_t>(number) > image_->order.size()) return false;
        pos_ = static_cast<std::size_t>(number - 1);
        eof_ = bof_ = false;
        return true;
    }
    std::int64_t seen = 0;
    for (std::size_t p = 0; p < image_->order.size(); ++p) {
        if (visible(image_->order.at(p)) && ++seen == number) {
            pos_ = p;
            eof_ = bof_ = false;
            return true;
        }
    }
    return false;
}

std::int64_t Table::RecordCount() const {
    requireActive();
    if (feed_) return feedRecords_;
    if (filter_.empty()) return static_cast<std::int64_t>(image_->order.size());
    std::int64_t n = 0;
    image_->order.forEach([&](std::uint32_t r) { n += visible(r) ? 1 : 0; });
    return n;
}

std::int64_t Table::RecordNumber() const {
    requireActive();
    if (feed_) return state_ == State::Insert || (eof_ && bof_) ? 0 : batchStart_ + static_cast<std::int64_t>(pos_) + 1;
    if (image_->order.empty() || state_ == State::Insert || (eof_ && bof_)) return 0;
    if (filter_.empty()) return static_cast<std::int64_t>(pos_) + 1;
    std::int64_t n = 0;
    for (std::size_t p = 0; p <= pos_; ++p) n += visible(image_->order.at(p)) ? 1 : 0;
    return n;
}

const char* Table::currentRow() const {
    if (state_ == State::Edit || state_ == State::Insert) return editRow_.data();
    if (image_->order.empty() || (eof_ && bof_)) return nullptr;
    if (cachedVersion_ != orderVersion_ || cachedPos_ != pos_) {
        cachedRow_ = image_->order.at(pos_);
        cachedPos_ = pos_;
        cachedVersion_ = orderVersion_;
    }
    return image_->row(cachedRow_);
}

Value Table::GetValue(int index) const {
    const FieldDef& f = FieldDefAt(index);
    const char* row = currentRow();
    if (!row) return Value::null();
    return codecFor(image_->format).read(*image_, f, row);
}

bool Table::IsNull(int index) const {
    const FieldDef& f = FieldDefAt(index);
    const char* row = currentRow();
    return !row || codecFor(image_->format).isNull(*image_, f, row);
}

std::string Table::AsString(int index, const FormatSettings& fs) const { return valueToText(GetValue(index), fs); }

double Table::AsFloat(int index) const {
    Value v = GetValue(index);
    return v.isNull() ? 0.0 : convertValue(v, Value::Kind::Float, regional).number;
}

std::int64_t Table::AsInteger(int index) const {
    Value v = GetValue(index);
    return v.isNull() ? 0 : convertValue(v, Value::Kind::Integer, regional).integer;
}

bool Table::AsBoolean(int index) const {
    Value v = GetValue(index);
    return v.isNull() ? false : convertValue(v, Value::Kind::Boolean, regional).boolean;
}

void Table::SetValue(int index, const Value& value, const FormatSettings& fs) {
    requireEditing();
    const FieldDef& f = FieldDefAt(index);
    const Value::Kind kind = naturalKind(f.type);
    const FormatCodec& codec = codecFor(image_->format);
    if (value.kind == kind || value.kind == Value::Kind::Null)
        codec.write(*image_, f, editRow_.data(), value);  // nothing to convert: no copy
    else if (value.kind == Value::Kind::Text && value.text.empty())
        codec.write(*image_, f, editRow_.data(), Value::null());  // an empty text clears a non-text field
    else
        codec.write(*image_, f, editRow_.data(), convertValue(value, kind, fs));
}

void Table::SetText(int index, std::string_view text) {
    requireEditing();
    const FieldDef& f = FieldDefAt(index);
    if (naturalKind(f.type) != Value::Kind::Text) return SetValue(index, Value::ofText(std::string(text)), regional);
    codecFor(image_->format).writeText(*image_, f, editRow_.data(), text);
}

void Table::SetAsString(int index, const std::string& text, const FormatSettings& fs) {
    SetValue(index, Value::ofText(text), fs);
}
void Table::SetAsFloat(int index, double value) { SetValue(index, Value::ofFloat(value), regional); }
void Table::SetAsInteger(int index, std::int64_t value) { SetValue(index, Value::ofInteger(value), regional); }
void Table::SetAsBoolean(int index, bool value) { SetValue(index, Value::ofBoolean(value), regional); }
void Table::Clear(int index) { SetValue(index, Value::null(), regional); }

void Table::BeginEdit() {
    requireActive();
    if (state_ != State::Browse) PostRecord();
    prepareWrite();
    const char* row = currentRow();
    if (!row)
        throw TableError("Die Tabelle " + displayName() + " enthält keinen Datensatz zum Bearbeiten.",
                         TableError::Kind::Usage);
    editRow_.assign(row, row + image_->recordLength);
    state_ = State::Edit;
}

void Table::BeginAppend() {
    requireActive();
    if (state_ != State::Browse) PostRecord();
    prepareWrite();
    const std::vector<char>& blank = image_->blankRow();
    editRow_.assign(blank.begin(), blank.end());
    insertHere_ = false;
    state_ = State::Insert;
}

void Table::BeginInsert() {
    requireActive();
    requireRandomAccess();
    if (state_ != State::Browse) PostRecord();
    bool atRecord = !image_->order.empty() && !eof_;
    std::size_t before = pos_;
    BeginAppend();
    insertHere_ = atRecord;
    insertBefore_ = before;
}

void Table::assignAutoIncrement(char* row) {
    const FormatCodec& codec = codecFor(image_->format);
    for (const FieldDef& f : image_->fields) {
        if (f.type != FieldType::AutoInc) continue;
        if (codec.isNull(*image_, f, row)) {
            codec.write(*image_, f, row, Value::ofInteger(image_->lastAutoInc + 1));
            ++image_->lastAutoInc;
        } else {
            std::int64_t v = codec.read(*image_, f, row).integer;
            if (v > image_->lastAutoInc) image_->lastAutoInc = v;
        }
    }
}

std::size_t Table::insertPosition(const char* row) const {
    // Records mostly come in key order: the search looks after the last one first.
    return image_->order.lowerBound(
        [&](std::uint32_t r) { return keyOrder_->compare(image_->row(r), row) < 0; });
}

void Table::PostRecord() {
    requireActive();
    if (state_ == State::Browse) return;
    const bool inserting = state_ == State::Insert;
    if (inserting) assignAutoIncrement(editRow_.data());
    std::optional<std::size_t> self;
    if (!inserting) self = pos_;
    // An edit that keeps the key can neither collide nor move.
    const bool keyMoves = keyOrder_ && (inserting || keyOrder_->compare(image_->row(image_->order.at(pos_)),
                                                                         editRow_.data()) != 0);
    std::size_t target = 0;
    if (keyMoves) {
        target = insertPosition(editRow_.data());
        auto isDuplicate = [&](std::size_t p) {
            return p < image_->order.size() && (!self || p != *self) &&
                   keyOrder_->compare(image_->row(image_->order.at(p)), editRow_.data()) == 0;
        };
        if (isDuplicate(target) || isDuplicate(target + 1))
            throw TableError("Schlüsselverletzung.\r\nTabelle: " + path(), TableError::Kind::KeyViolation, path());
    }
    if (inserting) {
        std::uint32_t r = image_->appendRow(editRow_.data());
        std::size_t at = keyOrder_ ? target : (insertHere_ ? insertBefore_ : image_->order.size());
        image_->order.insert(at, r);
        ++orderVersion_;
        pos_ = at;
    } else {
        std::uint32_t r = image_->order.at(pos_);
        std::memcpy(image_->row(r), editRow_.data(), editRow_.size());
        if (keyMoves) {
            image_->order.erase(pos_);
            std::size_t at = insertPosition(image_->row(r));
            image_->order.insert(at, r);
            ++orderVersion_;
            pos_ = at;
        }
    }
    state_ = State::Browse;
    eof_ = bof_ = false;
    dirty_ = true;
}

void Table::CancelRecord() {
    requireActive();
    if (state_ == State::Browse) return;
    state_ = State::Browse;
    editRow_.clear();
}

void Table::DeleteRecord() {
    requireActive();
    if (state_ == State::Insert) {
        CancelRecord();
        return;
    }
    CancelRecord();
    if (image_->order.empty() || currentRow() == nullptr)
        throw TableError("Die Tabelle " + displayName() + " enthält keinen Datensatz zum Löschen.",
                         TableError::Kind::Usage);
    prepareWrite();
    std::uint32_t r = image_->order.at(pos_);
    image_->order.erase(pos_);
    ++orderVersion_;
    if (image_->format == TableFormat::DBase) {
        image_->row(r)[0] = dbase::kDeletedRecord;  // as dBase marks it; the row stays in the file
        image_->dbase.deletedRows.push_back(r);
    }
    dirty_ = true;
    // The cursor moves to the next visible record.
    std::size_t n = image_->order.size();
    std::size_t p = pos_;
    while (p < n && !visible(image_->order.at(p))) ++p;
    if (p < n) {
        pos_ = p;
        eof_ = false;
    } else {
        MoveLast();
    }
}

bool Table::SeekKey(const std::vector<Value>& values) {
    requireActive();
    requireRandomAccess();
    if (state_ != State::Browse) PostRecord();
    if (!keyOrder_)
        throw TableError("Die Tabelle " + displayName() + " hat keinen Primärindex.", TableError::Kind::Usage);
    if (values.empty() || static_cast<int>(values.size()) > image_->keyFieldCount)
        throw TableError("Ungültige Anzahl von Schlüsselwerten für " + displayName() + ".", TableError::Kind::Usage);
    std::vector<char> probe(static_cast<std::size_t>(image_->recordLength), 0);
    const FormatCodec& codec = codecFor(image_->format);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const FieldDef& f = image_->fields[i];
        Value v = convertValue(values[i], naturalKind(f.type), regional);
        codec.write(*image_, f, probe.data(), v);
    }
    int n = static_cast<int>(values.size());
    std::size_t at = image_->order.lowerBound(
        [&](std::uint32_t r) { return keyOrder_->compare(image_->row(r), probe.data(), n) < 0; });
    if (at < image_->order.size() && keyOrder_->compare(image_->row(image_->order.at(at)), probe.data(), n) == 0) {
        pos_ = at;
        eof_ = bof_ = false;
        return true;
    }
    return false;
}

void Table::ClearTable() {
    requireActive();
    if (!Exclusive)
        throw TableError("Die Tabelle " + displayName() + " ist nicht exklusiv geöffnet.", TableError::Kind::Usage);
    CancelRecord();
    prepareWrite();
    image_->order.clear();
    ++orderVersion_;
    image_->dbase.deletedRows.clear();
    image_->rows = RowStore();
    image_->blobs.clear();
    dirty_ = true;
    eof_ = bof_ = true;
    pos_ = 0;
}

void Table::FilterRecords(const std::string& condition) {
    requireActive();
    requireRandomAccess();
    // Whatever is wrong with the condition, the message shows all of it as it was given.
    auto invalid = [&] { return TableError("Ungültige Filterbedingung: " + condition, TableError::Kind::Usage); };
    std::vector<Condition> parsed;
    std::string rest = trim(condition);
    while (!rest.empty()) {
        // [Feld]='Wert' or [Feld]<>'Wert'
        if (rest[0] != '[') throw invalid();
        auto close = rest.find(']');
        if (close == std::string::npos) throw invalid();
        Condition c;
        c.field = FieldNamed(rest.substr(1, close - 1));
        std::string after = trim(rest.substr(close + 1));
        if (startsWith(after, "<>")) { c.equal = false; after = trim(after.substr(2)); }
        else if (startsWith(after, "=")) { c.equal = true; after = trim(after.substr(1)); }
        else throw invalid();
        if (after.empty() || after[0] != '\'') throw invalid();
        std::size_t i = 1;
        for (;; ++i) {
            if (i >= after.size()) throw invalid();
            if (after[i] == '\'') {
                if (i + 1 < after.size() && after[i + 1] == '\'') { c.value += '\''; ++i; continue; }
                break;
            }
            c.value += after[i];
        }
        parsed.push_back(std::move(c));
        rest = trim(after.substr(i + 1));
        if (rest.empty()) break;
        if (asciiUpper(rest.substr(0, 4)) != "AND ") throw invalid();
        rest = trim(rest.substr(4));
    }
    filter_ = std::move(parsed);
    MoveFirst();
}

}  // namespace kimport

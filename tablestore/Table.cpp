#include "tablestore/Table.h"

#include "common/FileSets.h"
#include "common/Text.h"
#include "tablestore/FormatCodec.h"
#include "tablestore/ImageRecords.h"
#include "tablestore/ValueConversion.h"

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
    store_->settle();
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

bool Table::passesFilter(const char* row) const {
    const FormatCodec& codec = codecFor(image_->format);
    for (const Condition& c : filter_) {
        const FieldDef& f = image_->fields[static_cast<std::size_t>(c.field)];
        const std::string text = valueToText(codec.read(*image_, f, row), regional);
        if ((text == c.value) != c.equal) return false;
    }
    return true;
}

void Table::readOnlyForward() const {
    throw TableError("Die Tabelle " + displayName() + " wird nur der Reihe nach gelesen; dies ist dabei nicht möglich.",
                     TableError::Kind::Usage);
}

void Table::MoveFirst() {
    requireActive();
    if (state_ != State::Browse) PostRecord();
    const std::optional<Place> p = store_->first();
    eof_ = !p;
    bof_ = true;
    place_ = p.value_or(Place{});
}

void Table::MoveNext() {
    requireActive();
    if (state_ != State::Browse) PostRecord();
    if (eof_) return;
    bof_ = false;
    // Past the last record the cursor stays on it, at the end.
    if (const std::optional<Place> p = store_->next(place_))
        place_ = *p;
    else
        eof_ = true;
}

void Table::MoveLast() {
    requireActive();
    requireRandomAccess();
    if (state_ != State::Browse) PostRecord();
    const std::optional<Place> p = store_->last();
    eof_ = true;
    bof_ = !p;
    place_ = p.value_or(Place{});
}

void Table::MovePrior() {
    requireActive();
    requireRandomAccess();
    if (state_ != State::Browse) PostRecord();
    const std::optional<Place> p = store_->prior(place_);
    if (!p) {
        bof_ = true;
        return;
    }
    place_ = *p;
    eof_ = false;
    bof_ = false;
}

bool Table::GoToRecord(std::int64_t number) {
    requireActive();
    requireRandomAccess();
    if (state_ != State::Browse) PostRecord();
    if (number < 1) return false;
    const std::optional<Place> p = store_->atNumber(static_cast<std::uint64_t>(number));
    if (!p) return false;
    place_ = *p;
    eof_ = bof_ = false;
    return true;
}

std::int64_t Table::RecordCount() const {
    requireActive();
    return static_cast<std::int64_t>(store_->count());
}

std::int64_t Table::RecordNumber() const {
    requireActive();
    if (state_ == State::Insert || (eof_ && bof_)) return 0;
    return static_cast<std::int64_t>(store_->numberOf(place_));
}

const char* Table::currentRow() const {
    if (state_ == State::Edit || state_ == State::Insert) return editRow_.data();
    if (eof_ && bof_) return nullptr;
    return store_->row(place_);
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
    insertBefore_.reset();
    state_ = State::Insert;
}

void Table::BeginInsert() {
    requireActive();
    requireRandomAccess();
    if (state_ != State::Browse) PostRecord();
    std::optional<Place> before;
    if (!eof_ && currentRow()) before = place_;
    BeginAppend();
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

void Table::PostRecord() {
    requireActive();
    if (state_ == State::Browse) return;
    std::optional<Place> posted;
    if (state_ == State::Insert) {
        assignAutoIncrement(editRow_.data());
        posted = store_->insert(editRow_.data(), insertBefore_);
    } else {
        posted = store_->update(place_, editRow_.data());
    }
    if (!posted) throw TableError("Schlüsselverletzung.\r\nTabelle: " + path(), TableError::Kind::KeyViolation, path());
    place_ = *posted;
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
    if (currentRow() == nullptr)
        throw TableError("Die Tabelle " + displayName() + " enthält keinen Datensatz zum Löschen.",
                         TableError::Kind::Usage);
    prepareWrite();
    const std::optional<Place> next = store_->erase(place_);
    dirty_ = true;
    // The cursor moves to the next record the filter lets through, else to the last.
    if (next) {
        place_ = *next;
        eof_ = false;
    } else {
        MoveLast();
    }
}

bool Table::SeekKey(const std::vector<Value>& values) {
    requireActive();
    requireRandomAccess();
    if (state_ != State::Browse) PostRecord();
    if (!store_->keyed())
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
    const std::optional<Place> p = store_->seek(probe.data(), static_cast<int>(values.size()));
    if (!p) return false;
    place_ = *p;
    eof_ = bof_ = false;
    return true;
}

void Table::ClearTable() {
    requireActive();
    if (!Exclusive)
        throw TableError("Die Tabelle " + displayName() + " ist nicht exklusiv geöffnet.", TableError::Kind::Usage);
    CancelRecord();
    prepareWrite();
    // A table read as needed is emptied as one held whole: its save writes the empty table afresh.
    if (store_->paged()) store_ = std::make_unique<ImageRecords>(*image_);
    store_->clear();
    dirty_ = true;
    eof_ = bof_ = true;
    place_ = Place{};
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
    if (filter_.empty())
        store_->setFilter(nullptr);
    else
        store_->setFilter([this](const char* row) { return passesFilter(row); });
    MoveFirst();
}

}  // namespace kimport

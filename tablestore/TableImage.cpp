#include "tablestore/TableImage.h"

#include "tablestore/TableError.h"

namespace kimport {

const std::vector<char>& TableImage::blankRow() const {
    if (blankRow_.size() == static_cast<std::size_t>(recordLength)) return blankRow_;
    blankRow_.assign(static_cast<std::size_t>(recordLength), format == TableFormat::DBase ? ' ' : '\0');
    if (format == TableFormat::DBase) {
        // Binary FoxPro fields and _NullFlags start as zero bytes, not blanks.
        for (const FieldDef& f : fields)
            if (f.letter == 'I' || f.letter == 'B' || f.letter == 'Y' || f.letter == 'T' || f.letter == '0' ||
                f.letter == 'M' || f.letter == 'G' || f.letter == 'P' || f.letter == 'W' || f.letter == '+' ||
                f.letter == '@' || f.letter == 'O')
                std::fill_n(blankRow_.data() + f.offset, f.length, '\0');
        // A nullable field of a blank record holds no value (for binary numbers 0 would be one).
        const FieldDef* flags = nullptr;
        for (const FieldDef& f : fields)
            if (f.letter == '0') flags = &f;
        for (const FieldDef& f : fields)
            if (flags && f.nullBit >= 0 && f.nullBit < 8 * flags->length)
                blankRow_[static_cast<std::size_t>(flags->offset + f.nullBit / 8)] |= static_cast<char>(1 << (f.nullBit % 8));
    }
    return blankRow_;
}

std::uint32_t TableImage::appendRow(const char* bytes) {
    if (rowCount() == UINT32_MAX)
        throw TableError("Die Tabelle " + dataPath + " kann keine weiteren Datensätze aufnehmen",
                         TableError::Kind::Limit, dataPath);
    rows.append(bytes, static_cast<std::size_t>(recordLength));
    return rowCount() - 1;
}

void TableImage::compact() {
    const auto length = static_cast<std::size_t>(recordLength);
    RowStore packed;
    packed.reserve(order.size() + dbase.deletedRows.size(), length);
    RecordOrder newOrder;
    std::uint32_t next = 0;
    order.forEach([&](std::uint32_t r) {
        packed.append(row(r), length);
        newOrder.push_back(next++);
    });
    std::vector<std::uint32_t> newDeleted;
    for (std::uint32_t r : dbase.deletedRows) {
        packed.append(row(r), length);
        newDeleted.push_back(next++);
    }
    rows = std::move(packed);
    order = std::move(newOrder);
    dbase.deletedRows = std::move(newDeleted);
}

}  // namespace kimport

// The order of primary keys in a keyed Paradox table. Encoded numbers, dates
// and times compare byte-wise (their sign bit is inverted for that reason);
// text compares byte-wise under the "ascii" sort order and, under the
// language sort orders, by letters without regard to case and accents first
// (an approximation of those collations, whose tables we do not have), then
// byte-wise.
#pragma once

#include "tablestore/TableImage.h"

namespace kimport {

class KeyOrder {
public:
    explicit KeyOrder(const TableImage& image);
    // Compares the first `fields` key fields of two rows: <0, 0, >0.
    int compare(const char* a, const char* b, int fields) const;
    int compare(const char* a, const char* b) const { return compare(a, b, keyFields_); }
    int keyFields() const { return keyFields_; }

private:
    const TableImage& image_;
    int keyFields_;
    bool byteOrder_;
    unsigned char weight_[256];
};

}  // namespace kimport

#include "settings/CatalogueChange.h"

#include "common/FileSets.h"
#include "tablestore/TableError.h"

namespace kimport {

CatalogueChange::CatalogueChange(SettingsTables& t) : rows_(t.impList), fs_(t.fs), programDir_(t.programDir) {
    if (!rows_.Active()) rows_.OpenTable();
    // The journal lies beside ImpList's data file as the table found it, where its next open looks.
    swap_.emplace(fs_, rows_.DataPath());
}

CatalogueChange::~CatalogueChange() {
    if (committed_) return;
    swap_.reset();  // its temporary files go before ImpList is read again
    if (!rows_.Active()) return;
    rows_.CancelRecord();
    if (!rows_.HasUnsavedChanges()) return;
    rows_.CloseDiscarding();
    try {
        rows_.OpenTable();
    } catch (const TableError&) {
        // Closed it stays; whoever looks at the catalogue next opens it and hears why it cannot.
    }
}

bool CatalogueChange::copyMapping(const std::string& fromDirectory, const std::string& fromBase,
                                  const std::string& toBase) {
    return addFileSetCopy(*swap_, fs_, fromDirectory, fromBase, programDir_, toBase, true) > 0;
}

void CatalogueChange::removeMapping(const std::string& baseName) {
    for (const DirEntry& e : fileSetEntries(programDir_, baseName, fs_)) swap_->removeAtCommit(programDir_ + e.name);
}

void CatalogueChange::commit() {
    try {
        rows_.Flush(*swap_);
        committed_ = true;
        return;
    } catch (const TableError& e) {
        if (e.kind() != TableError::Kind::Unfinished) throw;
    }
    // Past its journal the swap counts: the next open of ImpList completes it, and that open is now.
    committed_ = true;
    swap_.reset();
    rows_.CloseDiscarding();
    rows_.OpenTable();
}

}  // namespace kimport

// One change of the settings catalogue that touches ImpList's rows and mapping
// tables together: a setting saved, copied, read in or deleted. The rows change
// in memory, the mapping files are written beside their final names, and the
// save of ImpList swaps all of them in through one journal, ImpList's own. A
// failure or a crash at any point leaves the old rows with their old mapping
// files or the new rows with the new ones, never a row without its mapping:
// a swap that died after its journal is completed the next time ImpList is
// opened, one that died before it is undone (its temporary files go).
#pragma once

#include "settings/SettingsStore.h"
#include "tablestore/FileSetWriter.h"

#include <optional>
#include <string>

namespace kimport {

class CatalogueChange {
public:
    // Opens ImpList when it is closed. Throws TableError (IoError when an earlier swap cannot be completed).
    // The SettingsTables must outlive the change.
    explicit CatalogueChange(SettingsTables& t);
    // Without a commit the rows changed in memory are dropped: ImpList is read again from the disk (it
    // stays closed when it cannot be opened; the next look at the catalogue says why).
    ~CatalogueChange();
    CatalogueChange(const CatalogueChange&) = delete;
    CatalogueChange& operator=(const CatalogueChange&) = delete;

    // The table files of fromBase in fromDirectory, copied into the program directory under toBase at the
    // commit (files of toBase the copy lacks go with it). False when there are none: the change must then
    // not be committed. Throws IoError.
    bool copyMapping(const std::string& fromDirectory, const std::string& fromBase, const std::string& toBase);
    // The table files of baseName in the program directory, removed at the commit.
    void removeMapping(const std::string& baseName);
    // Saves ImpList's rows as they are in memory and swaps in every file at once. Returns once the new
    // rows and files are in place (a swap stopped after its journal is completed by reading ImpList again).
    // Throws TableError: the disk then holds the old rows with the old files, or, when even reading ImpList
    // again failed (Kind::Unfinished or the reason ImpList cannot be read), a journal that the next open
    // of ImpList completes.
    void commit();

private:
    Table& rows_;
    FileSystem& fs_;
    std::string programDir_;
    std::optional<FileSetWriter> swap_;
    bool committed_ = false;
};

}  // namespace kimport

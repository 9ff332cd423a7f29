// The text pages: the layout kind, the fixed breaks on the character grid, the
// separated values with their preview and column names, and the options
// window; leaving them reads the text file into its staging table, which is
// then the source of the mapping and the run.
#pragma once

#include "settings/SettingsCatalog.h"
#include "textsource/ColumnLayout.h"
#include "wizard/PageController.h"

namespace kimport {

class TextLayoutController : public PageController {
public:
    using PageController::PageController;

    void btnZurueckTxtClick();
    void btnWeiterTxtClick();
    // A separator, the quote, the first-line flag or edtAndere changed on TXTVariabel: the preview follows.
    void textLayoutChanged();
    // The mouse on the character grid of TXTFix (the column under it).
    void stgQuellDatFixClick(int column);
    bool stgQuellDatFixMouseDown(int column);
    void stgQuellDatFixDragOver(int column);
    void stgQuellDatFixDragDrop();
    void stgQuellDatFixDblClick(int column);
    // The options window ("&Optionen" on the source page and the first text tab): shown without
    // blocking; closing it applies its settings, and a changed DOS switch converts or reloads the text.
    void btnQOptionenClick();
    void qOptionenClose();
    // The renaming of columns on TXTVariabel.
    void btnErsteClick();
    void btnLinksClick();
    void btnRechtsClick();
    void btnLetzteClick();
    void stgQuellDatVarSelect(int column);

    // Leaving the target page with a text source: the text box shows the file, a layout kind is suggested.
    void loadTextSource();
    // A saved setting's layout back into the text pages' controls and the preview.
    void restoreLayout(const SavedSetting& setting);
    // A setting run unchanged: the text file read into its staging table with the stored layout, which
    // is then the run's source (the stored mapping stays as it is).
    void stageForRun();

private:
    void buildTextPreview();
    bool buildTextStagingTable();
    LayoutMemory textLayoutMemory_;
    int fixDragged_ = -1;  // the slot of the marker being dragged
};

}  // namespace kimport

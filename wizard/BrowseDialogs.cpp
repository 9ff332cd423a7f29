#include "wizard/BrowseDialogs.h"

#include "common/FileSets.h"
#include "common/ProgramDirectory.h"
#include "common/Text.h"
#include "wizard/WizardContext.h"

namespace kimport {

FileFilter fileFilter(const std::string& description, std::initializer_list<const char*> extensions) {
    std::string patterns;
    for (const char* e : extensions) {
        if (!patterns.empty()) patterns += ' ';
        patterns += std::string("*.") + e + " *." + asciiUpper(e);
    }
    return {description, patterns};
}

FileDialogSpec browseDialog(const WizardContext& c, bool source) {
    const WizardState& state = c.state;
    FileSystem& fs = c.env.fs;
    FileDialogSpec dialog;
    dialog.title = source ? "Quelldatei auswählen" : "Zieldatenbank auswählen";
    dialog.filters = {{"Alle Dateien", "*"},
                      fileFilter("Paradox; dBase", {"db", "dbf"}),
                      fileFilter("Paradox", {"db"}),
                      fileFilter("dBase", {"dbf"})};
    if (source) dialog.filters.push_back(fileFilter("Text", {"txt"}));
    // The source's own folder; the target's when it exists, else the source's.
    std::string dir = directoryOf(state.edtQuelle);
    if (!source) {
        const std::string targetDir = directoryOf(state.edtZiel);
        if (!targetDir.empty() && fs.isDirectory(targetDir)) dir = targetDir;
    }
    if (!dir.empty() && fs.isDirectory(dir)) {
        dialog.initialDir = dir;
    } else if (!c.browseDirectory.empty()) {
        dialog.initialDir = c.browseDirectory;
    } else if (fs.isDirectory(c.env.programDir + "Demos")) {
        // Before any choice: the demo tables on a first run, else the user's home.
        dialog.initialDir = c.env.programDir + "Demos";
    } else {
        const std::string home = userHomeDirectory();
        dialog.initialDir = home.empty() ? c.env.programDir : home;
    }
    if (source) dialog.initialFile = fileNameOf(state.edtQuelle);
    return dialog;
}

void browseForFile(WizardContext& c, bool source) {
    if (std::optional<std::string> file = c.env.prompter.openFile(browseDialog(c, source))) {
        (source ? c.state.edtQuelle : c.state.edtZiel) = *file;
        c.browseDirectory = directoryOf(*file);
    }
}

}  // namespace kimport

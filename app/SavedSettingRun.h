// `kimport run --setting NAME`: a saved setting run unchanged, as the wizard's
// unchanged load prepares it — the mapping put back, the files found, the
// formats and the text layout restored, the backup copy made when asked for,
// the day of the run recorded.
#pragma once

#include "common/FormatSettings.h"
#include "common/Prompter.h"
#include "textsource/TextLayout.h"

#include <optional>
#include <string>

namespace kimport {

struct SettingForRun {
    std::string source, target;
    int mode = 1;
    bool emptyTarget = false;
    bool textSource = false;
    TextLayout layout;  // of a text source
};

// Prepares the program directory's working mapping and the formats for the setting; the overrides
// replace the stored file names. None after the message (no such setting, missing mapping files,
// a file that is gone, a backup copy that failed).
std::optional<SettingForRun> prepareSavedSetting(const std::string& programDir, const std::string& name,
                                                 const std::string& sourceOverride, const std::string& targetOverride,
                                                 ProcessFormats& formats, Prompter& prompter);

}  // namespace kimport

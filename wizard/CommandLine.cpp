#include "wizard/CommandLine.h"

#include "common/FileSets.h"

namespace kimport {

namespace {

bool isOption(const std::string& p, char letter) {
    return p.size() == 2 && p[0] == '/' && (p[1] == letter || p[1] == letter - 'a' + 'A');
}

std::string quotedMissing(const std::string& what, const std::string& file) {
    return "Die per Parameter übergebene " + what + " \"" + file + "\" existiert leider nicht.";
}

}  // namespace

CommandLineResult evaluateCommandLine(const std::vector<std::string>& p, FileSystem& fs) {
    CommandLineResult r;
    auto fail = [&](std::string message) {
        r.error = std::move(message);
        r.source.clear();
        r.target.clear();
        return r;
    };
    switch (p.size()) {
    case 0:
        return r;
    case 1:
        if (!fileExistsIgnoringCase(p[0], fs)) return fail(quotedMissing("Datei", p[0]));
        r.source = p[0];
        return r;
    case 2:
        if (isOption(p[0], 'q')) {
            if (!fileExistsIgnoringCase(p[1], fs)) return fail(quotedMissing("Datei", p[1]));
            r.source = p[1];
            return r;
        }
        if (isOption(p[0], 'z')) {
            if (!fileExistsIgnoringCase(p[1], fs)) return fail(quotedMissing("Zieldatei", p[1]));
            r.target = p[1];
            return r;
        }
        if (fileExistsIgnoringCase(p[0], fs) && fileExistsIgnoringCase(p[1], fs)) {
            r.source = p[0];
            r.target = p[1];
            return r;
        }
        return fail("Die übergebenen Parameter können weder als Quelldatei\r\nnoch als Zieldatei verwendet werden");
    case 3:
        if (p[0] != "!" && p[0] != "/!") return r;  // nothing is taken over
        if (!fileExistsIgnoringCase(p[1], fs)) return fail(quotedMissing("Zieldatei", p[1]));
        if (!fileExistsIgnoringCase(p[2], fs)) return fail(quotedMissing("Quelldatei", p[2]));
        r.target = p[1];
        r.source = p[2];
        return r;
    case 4: {
        bool sourceFirst = isOption(p[0], 'q') && isOption(p[2], 'z');
        bool targetFirst = isOption(p[0], 'z') && isOption(p[2], 'q');
        if (!sourceFirst && !targetFirst) return fail("Die übergebenen Parameter sind ungültig.");
        const std::string& source = sourceFirst ? p[1] : p[3];
        const std::string& target = sourceFirst ? p[3] : p[1];
        std::string missingSource = "Die per Parameter übergebene Quelldatei\r\n\"" + source + "\"\r\nexistiert leider nicht";
        if (sourceFirst) missingSource += ".";
        std::string missingTarget = "Die per Parameter übergebene Zieldatei\r\n\"" + target + "\"\r\nexistiert leider nicht.";
        if (sourceFirst) {
            if (!fileExistsIgnoringCase(source, fs)) return fail(missingSource);
            if (!fileExistsIgnoringCase(target, fs)) return fail(missingTarget);
        } else {
            if (!fileExistsIgnoringCase(target, fs)) return fail(missingTarget);
            if (!fileExistsIgnoringCase(source, fs)) return fail(missingSource);
        }
        r.source = source;
        r.target = target;
        return r;
    }
    default:
        return fail("Die übergebenen Parameter sind ungültig.\r\n\r\nHinweis: Möglicherweise haben Sie\r\nzu viele "
                    "Parameter eingegeben.");
    }
}

}  // namespace kimport

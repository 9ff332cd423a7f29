// Small helpers every window uses: object names (the controls' names, which tests look up),
// text between the core's UTF-8 strings and Qt, and the fixed-pitch font of text previews.
// Windows of every folder share them from here; no core file includes this folder.
#pragma once

#include <QFont>
#include <QString>

#include <string>
#include <string_view>

namespace kimport {

template <class W>
W* named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

inline QString qs(const std::string& s) { return QString::fromStdString(s); }
inline std::string ss(const QString& s) { return s.toStdString(); }
// A text with the core's "\r\n" line breaks as Qt shows them.
inline QString qsLines(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
        .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// "Courier New" where installed; otherwise another font whose characters are equally wide,
// so that the columns of a fixed-width file line up.
inline QFont fixedPitchFont() {
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

}  // namespace kimport

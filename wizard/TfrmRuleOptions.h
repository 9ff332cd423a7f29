// The options panel tpcOptionen of the mapping page: four pages without tabs
// (String_Zahl, Zahl_String, String_String, Zahl_Zahl), one of them active.
// It shows the RuleOptions view and reports the user's clicks and edits by the
// controls' names.
#pragma once

#include "mapping/RuleOptions.h"

#include <QStackedWidget>

#include <list>
#include <optional>
#include <string>
#include <utility>

class QGridLayout;
class QLabel;
class QLineEdit;
class QWidget;

namespace kimport {

class TfrmRuleOptions : public QStackedWidget {
    Q_OBJECT
public:
    explicit TfrmRuleOptions(QWidget* parent = nullptr);
    void applyView(const RuleOptionsView& view);
    // The edit or memo of the panel that has the focus and its text: what the user typed last and has
    // not left yet (a keyboard shortcut runs its handler without moving the focus).
    std::optional<std::pair<std::string, std::string>> focusedEdit() const;

    // The active page alone decides the size: the other pages are never seen together with it.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void clicked(const std::string& control, bool checked);
    void edited(const std::string& control, const std::string& text);
    void left(const std::string& control);
    // The formula editor on the text formula (true) or the number formula.
    void zoomRequested(bool textFormula);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildNumberPage(const char* pageName, const char* infix, const char* updateName);
    QWidget* buildZahlString();
    QWidget* buildStringString();
    QWidget* check(const char* name, const QString& caption);
    QWidget* edit(const char* name, int maxLength = 0);
    static bool isCutOutEdit(const QLineEdit* e);
    QWidget* memo(const char* name, bool textFormula);
    QWidget* zoom(const char* name, bool textFormula);
    QLabel* label(const char* name, const QString& text);
    QLabel* pageLabel(const char* name);
    QWidget* updateBox(const char* name);
    bool applying_ = false;
    std::list<std::string> names_;  // control names made from parts (a list: their texts never move)
};

}  // namespace kimport

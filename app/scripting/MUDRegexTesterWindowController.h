#pragma once

#include "app/views/CVWindowController.h"

class QPlainTextEdit;

// A small window for trying a regular expression against sample text: each
// match gets a faint yellow background and its capture groups blue text.
// The pattern is compiled as triggers compile it (case-insensitive, dot
// matches line separators); an invalid pattern leaves the marks as they
// were. Main thread.
class MUDRegexTesterWindowController : public CVWindowController {
    Q_OBJECT
public:
    explicit MUDRegexTesterWindowController(QWidget* parent = nullptr);

    void setRegex(const QString& regex, const QString& testString);
    QPlainTextEdit* patternView() const { return m_patternView; }
    QPlainTextEdit* testView() const { return m_testView; }

    static QColor matchBackgroundColor();
    static QColor groupForegroundColor();

private:
    void textDidChange();

    QPlainTextEdit* m_patternView;
    QPlainTextEdit* m_testView;
};

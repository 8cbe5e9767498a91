#pragma once

#include <QString>

#include "app/views/CVWindowController.h"

class CVHighlightableTextView;

// The sheet in which a connection's login script is edited, with
// JavaScript highlighting. Ends with 1 (save) or 0 (cancel); the editor
// reads script() when it ended with 1. Main thread.
class MUDConnectionLoginScriptWindow : public CVWindowController {
    Q_OBJECT
public:
    explicit MUDConnectionLoginScriptWindow(const QString& script, QWidget* parent = nullptr);

    // The text it was opened with ("" for none).
    QString initialScript() const { return m_script; }
    // The text view's current text.
    QString script() const;
    CVHighlightableTextView* textView() const { return m_textView; }

    void onSave();
    void onCancel();

private:
    QString m_script;
    CVHighlightableTextView* m_textView;
};

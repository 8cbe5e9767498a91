#pragma once

#include <QPlainTextEdit>
#include <QPointer>
#include <QStringList>
#include <optional>

#include "app/views/MUDCommandInput.h"

class MUDCommandTextViewDelegate;
class MUDDisplayScrollView;
class QLineEdit;

// The input line of a session window: plain text that grows with its
// content up to a limit. Return, Up and Down (on the first and last line)
// go to the delegate, Tab cycles through completions of the word before the
// cursor, paste takes plain text only, and find goes to the output view.
// In password mode a masked one-line field covers it and takes the typing
// (a line edit's password mode also keeps the text from copies, input
// methods and screen readers); what was typed before waits underneath.
// Main thread.
class MUDCommandTextView : public QPlainTextEdit, public MUDCommandInput {
    Q_OBJECT
public:
    static constexpr int MinimumHeight = 20;
    // The line grows up to this many text lines, then scrolls.
    static constexpr int MaximumVisibleLines = 8;

    explicit MUDCommandTextView(QWidget* parent = nullptr);

    void setDelegate(MUDCommandTextViewDelegate* delegate) { m_delegate = delegate; }
    void setMainTextView(MUDDisplayScrollView* mainTextView);

    // MUDCommandInput: the password field's text in password mode.
    QString text() const override;
    void setText(const QString& text) override;
    void selectAll() override;

    void setPasswordMode(bool passwordMode);
    bool isPasswordMode() const { return m_passwordMode; }
    QLineEdit* passwordField() const { return m_passwordField; }

    // The zero-based line of the cursor; `lineCount` gets the number of lines.
    int lineIndexForCursor(int* lineCount) const;

    void processTabKey();
    void insertCompletionFromScratch();
    void insertNextCompletion();
    void clearCompletion();
    bool isCompleting() const { return m_partialList.has_value(); }

    // Opens the find bar of the output view (find always searches the output).
    void performFindPanelAction();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The height the content asks for, within the minimum and the limit.
    int contentHeight() const;

signals:
    // The line's height changed with its content.
    void heightChanged(int height);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void replaceCompletionWord(qsizetype end, const QString& word);
    void updateHeight();

    MUDCommandTextViewDelegate* m_delegate = nullptr;
    QPointer<MUDDisplayScrollView> m_mainTextView;
    std::optional<QStringList> m_partialList;
    qsizetype m_completionStartLocation = 0;
    qsizetype m_keywordsIndex = 0;
    int m_height = 0;
    QLineEdit* m_passwordField = nullptr;
    bool m_passwordMode = false;
};

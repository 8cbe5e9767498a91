#pragma once

#include <QStringList>

class MUDCommandTextView;

// What the input line asks of its session: Return sends the line, the
// arrows on the first and last line browse the history, Tab completes from
// the keywords. Main thread.
class MUDCommandTextViewDelegate {
public:
    virtual ~MUDCommandTextViewDelegate() = default;

    virtual void MUDCommandTextViewReturnKey(MUDCommandTextView* view) = 0;
    virtual void MUDCommandTextViewUpArrow(MUDCommandTextView* view) = 0;
    virtual void MUDCommandTextViewDownArrow(MUDCommandTextView* view) = 0;
    // Ordered completion words.
    virtual QStringList MUDCommandTextWantsKeywords(MUDCommandTextView* view) = 0;
};

#pragma once

#include <QString>

// The session's view of its input line: the text typed and the selection
// that makes the next keystroke replace it. The input line widget implements
// it; tests use a plain recorder. Main thread.
class MUDCommandInput {
public:
    virtual ~MUDCommandInput() = default;

    virtual QString text() const = 0;
    virtual void setText(const QString& text) = 0;
    virtual void selectAll() = 0;
};

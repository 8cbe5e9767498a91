#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QTextCharFormat>
#include <gtest/gtest.h>
#include <memory>

#include "app/views/MUDCommandTextView.h"
#include "app/views/MUDDisplayScrollView.h"
#include "app/views/MUDDisplayTextView.h"
#include "engine/decoding/MUDOutputModel.h"

// An output view over its own output model, shown offscreen with a pinned
// font, with an input line beside it for the keys and clicks it hands on.
class OutputViewFixture : public ::testing::Test {
protected:
    void SetUp() override;

    MUDDisplayTextView& textView() { return *view->textView(); }
    // Appends as the session does: the text, then a request to follow the end.
    void append(const QString& text, const QTextCharFormat& format = {});
    void appendLines(int count, const QString& prefix = QStringLiteral("line"));
    qsizetype lastLine() const { return model.lineCount() - 2; }
    // The centre of the character at `offset` in view coordinates.
    QPoint pointOfCharacter(qsizetype offset);
    // A point just inside the left edge of the character at `offset`: a press there puts the cursor before it.
    QPoint pointBeforeCharacter(qsizetype offset);
    QImage grabText() { return textView().grab().toImage(); }
    // Pixels that differ from the view's background.
    int inkPixels(const QImage& image);

    MUDOutputModel model;
    std::unique_ptr<MUDDisplayScrollView> view;
    std::unique_ptr<MUDCommandTextView> input;
};

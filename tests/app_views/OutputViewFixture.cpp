#include "OutputViewFixture.h"

#include <QTest>

void OutputViewFixture::SetUp()
{
    view = std::make_unique<MUDDisplayScrollView>(model);
    input = std::make_unique<MUDCommandTextView>();
    textView().setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 11));
    textView().setCommandTextView(input.get());
    input->setMainTextView(view.get());
    view->resize(600, 400);
    view->show();
    input->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
}

void OutputViewFixture::append(const QString& text, const QTextCharFormat& format)
{
    model.append(text, format);
    view->scrollToBottom(false);
}

void OutputViewFixture::appendLines(int count, const QString& prefix)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("%1 %2\r\n").arg(prefix).arg(i);
    append(text);
}

QPoint OutputViewFixture::pointBeforeCharacter(qsizetype offset)
{
    const QPoint centre = pointOfCharacter(offset);
    const QPoint next = pointOfCharacter(offset + 1);
    return {centre.x() - (next.x() - centre.x()) / 2 + 1, centre.y()};
}

QPoint OutputViewFixture::pointOfCharacter(qsizetype offset)
{
    const MUDDisplayLayoutManager& layout = textView().layoutManager();
    const qsizetype line = layout.displayLineForOffset(offset);
    for (const auto& visible : textView().visibleLines()) {
        if (visible.line != line)
            continue;
        const qsizetype inLine = offset - layout.displayedRange(line).location;
        const QRectF rect = textView().layoutManager().rangeRects(line, {inLine, 1}).value(0);
        return (rect.center() + QPointF(MUDDisplayLayoutManager::Margin, visible.top)).toPoint();
    }
    ADD_FAILURE() << "character " << offset << " is not on screen";
    return {};
}

int OutputViewFixture::inkPixels(const QImage& image)
{
    const QRgb background = textView().palette().color(QPalette::Base).rgb();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) != background;
    return count;
}

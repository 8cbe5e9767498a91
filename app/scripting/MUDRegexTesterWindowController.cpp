#include "app/scripting/MUDRegexTesterWindowController.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QVBoxLayout>

#include "engine/automation/MUDRegularExpression.h"

MUDRegexTesterWindowController::MUDRegexTesterWindowController(QWidget* parent)
    : CVWindowController(parent)
    , m_patternView(new QPlainTextEdit(this))
    , m_testView(new QPlainTextEdit(this))
{
    setWindowTitle(QStringLiteral("Regular Expression Tester"));
    resize(520, 360);
    m_patternView->setMaximumHeight(70);
    m_patternView->setPlaceholderText(QStringLiteral("Regular expression"));
    m_testView->setPlaceholderText(QStringLiteral("Text to match"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 28, 12, 12);
    // Each label names its text area for screen readers too.
    auto* patternLabel = new QLabel(QStringLiteral("Pattern:"), this);
    patternLabel->setBuddy(m_patternView);
    layout->addWidget(patternLabel);
    layout->addWidget(m_patternView);
    auto* testLabel = new QLabel(QStringLiteral("Test text:"), this);
    testLabel->setBuddy(m_testView);
    layout->addWidget(testLabel);
    layout->addWidget(m_testView, 1);
    addCloseButton();
    connect(m_patternView, &QPlainTextEdit::textChanged, this, &MUDRegexTesterWindowController::textDidChange);
    connect(m_testView, &QPlainTextEdit::textChanged, this, &MUDRegexTesterWindowController::textDidChange);
}

QColor MUDRegexTesterWindowController::matchBackgroundColor()
{
    QColor color(Qt::yellow);
    color.setAlphaF(0.3);
    return color;
}

QColor MUDRegexTesterWindowController::groupForegroundColor()
{
    return QColor(Qt::blue);
}

void MUDRegexTesterWindowController::setRegex(const QString& regex, const QString& testString)
{
    m_patternView->setPlainText(regex);
    m_testView->setPlainText(testString);
}

void MUDRegexTesterWindowController::textDidChange()
{
    // Marks are extra selections, so the texts themselves stay plain.
    const auto regex =
        MUDRegularExpression::compile(m_patternView->toPlainText(), MUDRegularExpression::CaseInsensitive |
                                                                        MUDRegularExpression::DotMatchesLineSeparators);
    if (!regex)
        return;
    const QString text = m_testView->toPlainText();
    const auto mark = [this](const CVRange& range, const QTextCharFormat& format) {
        QTextEdit::ExtraSelection selection;
        selection.cursor = QTextCursor(m_testView->document());
        selection.cursor.setPosition(int(range.location));
        selection.cursor.setPosition(int(range.end()), QTextCursor::KeepAnchor);
        selection.format = format;
        return selection;
    };
    QTextCharFormat matchFormat;
    matchFormat.setBackground(matchBackgroundColor());
    QTextCharFormat groupFormat;
    groupFormat.setForeground(groupForegroundColor());
    QList<QTextEdit::ExtraSelection> selections;
    for (const MUDRegularExpressionMatch& match : regex->matchesInString(text, CVRange{0, text.size()})) {
        selections.append(mark(match.range(), matchFormat));
        for (qsizetype group = 1; group < match.groups.size(); ++group) {
            if (!match.groups[group].isNotFound())
                selections.append(mark(match.groups[group], groupFormat));
        }
    }
    m_testView->setExtraSelections(selections);
}
